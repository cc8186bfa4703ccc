// The stand-in site's content: the built-in movies, their pages and the bytes
// of their video files.
#include "standin/server.h"

#include <algorithm>
#include <cstring>

namespace standin {

const std::vector<Movie>& Catalogue() {
    // Sizes are small enough for quick tests and odd enough that a transfer
    // cut at a block boundary shows.
    static const std::vector<Movie> movies = {
        {"Hq7bT2xLp0A", "vjVQa03Xg4kLhCq8RzM2nWbPy6TfUoE1sKdJ9Ac5Ge7I", "Harbour Lights at Dusk",
         4096},
        {"c9Zr-4MwQe1", "QmX2pLr8ZtW6nVb0YcKs4JhFd1GaEu9Io7Ty3Rk5Ne_M",
         "Caf\xC3\xA9 M\xC3\xBCller \xE2\x80\x93 Rehearsal", 70001},
        {"P0o_9iUyTr3", "Aa1Bb2Cc3Dd4Ee5Ff6Gg7Hh8Ii9Jj0Kk1Ll2Mm3Nn4Oo", "Tidal Bore on the Severn",
         1000003},
        {"mN5bV6cX7zL", "Zz9Yy8Xx7Ww6Vv5Uu4Tt3Ss2Rr1Qq0Pp9Oo8Nn7Mm6Ll",
         "\xC3\x9C"
         "ber den Wolken",
         131072},
        {"kJ8hG7fD6sA", "Wq4Er5Ty6Ui7Op8As9Df0Gh1Jk2Lz3Xc4Vb5Nm6Qw7E-",
         "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C Night Walk", 2500},
        {"Rt5-Yu6_Io7", "Lk3Jh4Gf5Ds6Aq7Ws8Ed9Rf0Tg1Yh2Uj3Ik4Ol5Pm6Nb",
         "Ma\xC3\xB1"
         "ana en Sevilla",
         524288},
    };
    return movies;
}

namespace {

std::uint64_t SplitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::uint64_t Seed(std::string_view id) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (unsigned char c : id)
        h = (h ^ c) * 0x100000001B3ull;
    return h;
}

constexpr unsigned char kFlvHeader[kFlvHeaderSize] = {'F', 'L', 'V', 0x01, 0x05, 0, 0,
                                                      0,   9,   0,   0,    0,    0};

std::string HtmlText(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

void FillVideoBytes(std::string_view id, std::uint64_t offset, char* out, std::size_t count) {
    const std::uint64_t seed = Seed(id);
    while (count > 0 && offset < kFlvHeaderSize) {
        *out++ = static_cast<char>(kFlvHeader[offset++]);
        --count;
    }
    // Eight bytes per hashed word, taken little end first.
    while (count > 0) {
        const std::uint64_t word = SplitMix(seed + offset / 8);
        for (unsigned i = static_cast<unsigned>(offset % 8); i < 8 && count > 0; ++i) {
            *out++ = static_cast<char>(word >> (8 * i));
            ++offset;
            --count;
        }
    }
}

std::string VideoBytes(std::string_view id, std::uint64_t size) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    FillVideoBytes(id, 0, bytes.data(), bytes.size());
    return bytes;
}

std::string VideoTarget(const Movie& movie) {
    return "get_video?video_id=" + movie.id + "&t=" + movie.token + "%3d";
}

std::string WatchPage(const Movie& movie) {
    const std::string title = HtmlText(movie.title);
    std::string page;
    page += "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n"
            "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n";
    page += "<title>" + std::string(kTitlePrefix) + title + "</title>\r\n";
    page += "<link rel=\"stylesheet\" href=\"/static/site.css\">\r\n</head>\r\n<body>\r\n"
            "<div id=\"masthead\"><a href=\"/\">Home</a> | <a href=\"/links\">More videos</a>"
            "</div>\r\n";
    page += "<h1 class=\"watch-title\">" + title + "</h1>\r\n<div id=\"player\"></div>\r\n";
    page += "<script type=\"text/javascript\">\r\nvar playerArgs = {\"video_id\": \"" + movie.id +
            "\", \"l\": 214, \"sk\": \"k4F0bq\", \"fmt_map\": \"34/0/9/0/115\", \"t\": \"" +
            movie.token + "\", \"hl\": \"en\", \"plid\": \"AARf2c\"};\r\n</script>\r\n";
    page += "<div id=\"description\">\r\n";
    // Enough ordinary text around the markers that a page is several read
    // pieces long, as real pages are.
    for (int i = 0; i < 24; ++i)
        page += "<p>Filmed and uploaded by a viewer; comments and ratings below. Line " +
                std::to_string(i) + ".</p>\r\n";
    page += "</div>\r\n<div id=\"related\">\r\n";
    for (const Movie& other : Catalogue())
        if (other.id != movie.id)
            page += "<a href=\"/watch?v=" + other.id + "&amp;feature=related\">" +
                    HtmlText(other.title) + "</a><br>\r\n";
    page += "</div>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string LinkPage(const std::vector<Movie>& movies) {
    std::string page = "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<title>" +
                       std::string(kTitlePrefix) + "Most viewed</title>\r\n</head>\r\n<body>\r\n";
    for (std::size_t i = 0; i < movies.size(); ++i) {
        const Movie& m = movies[i];
        const std::string title = HtmlText(m.title);
        // The first link decides the address; odd rows carry a parameter there.
        const std::string first =
            i % 2 ? "/watch?v=" + m.id + "&feature=channel" : "/watch?v=" + m.id;
        page += "<div class=\"video\">\r\n<a href=\"" + first + "\">" + title + "</a>\r\n";
        page += "<a href='/watch?v=" + m.id + "'>single quotes</a>\r\n";
        page += "<a href=\"http://127.0.0.1/watch?v=" + m.id + "\">absolute</a>\r\n";
        page += "<a href=\"/watch?v=" + m.id + "&amp;feature=related\">" + title + "</a>\r\n";
        page += "<a href=\"/watch?v=" + m.id + "\">again</a>\r\n</div>\r\n";
    }
    page += "</body>\r\n</html>\r\n";
    return page;
}

std::vector<std::string> LinkPageTargets(const std::vector<Movie>& movies) {
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < movies.size(); ++i)
        targets.push_back(i % 2 ? "watch?v=" + movies[i].id + "&feature=channel"
                                : "watch?v=" + movies[i].id);
    return targets;
}

const std::vector<Movie>& ShowcaseMovies() {
    // Tens of megabytes each: at the capped rate the three take about 8, 12
    // and 18 seconds, and the reads of the program's transfer (1 MiB blocks)
    // move each bar several times a second.
    static const std::vector<Movie> movies = {
        {"Sl0wB0atL1g", "Sb1Lc2Md3Ne4Of5Pg6Qh7Ri8Sj9Tk0Ul1Vm2Wn3Xo4Yp",
         "Slow Boat to the Lighthouse", 31457293},
        {"Nt8TrainR0w", "Ta9Ub8Vc7Wd6Xe5Yf4Zg3Ah2Bi1Cj0Dk9El8Fm7Gn6Ho",
         "Night Train Across the Plains", 20971529},
        {"Gl4c13rT1me", "Gq1Hr2Is3Jt4Ku5Lv6Mw7Nx8Oy9Pz0Qa1Rb2Sc3Td4Ue",
         "Glacier Timelapse, One Year", 47185951},
    };
    return movies;
}

FaultSpec ShowcaseRate() {
    FaultSpec rate;
    rate.kind = Fault::Trickle;
    rate.pieceBytes = 64 * 1024;
    rate.delay = std::chrono::milliseconds(25);
    return rate;
}

void AddShowcase(Server& site) {
    std::vector<Movie> all = Catalogue();
    for (const Movie& movie : ShowcaseMovies()) {
        site.AddMovie(movie);
        site.SetFault("/" + VideoTarget(movie), ShowcaseRate());
        all.push_back(movie);
    }
    site.AddPage("/links", LinkPage(all));
}

} // namespace standin
