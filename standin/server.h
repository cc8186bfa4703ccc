#pragma once
// The stand-in video site: a small HTTP/1.1 server on the loopback interface
// that serves what the program reads from a video site (watch pages, link
// pages, video files) and, on request, the faults a real network produces.
// Tests, benchmarks and the `standin-site` program all use this one class.
//
//   standin::Server site;                       // listens on 127.0.0.1:<ephemeral>
//   std::string root = site.Root();             // "http://127.0.0.1:<port>/"
//   site.AddPage("/odd", "<html>...</html>");   // a page of the test's own
//   site.SetFault("/get_video", {standin::Fault::Chunked});
//   ... fetch root + "watch?v=" + standin::Catalogue()[0].id ...
//   auto log = site.Requests();                 // what the client sent
//
// Built-in addresses (all relative to Root()):
//   ""                                  index page linking everything below
//   "watch?v=<id>[&more]"               watch page of a catalogue movie (404 page
//                                       for an unknown id)
//   "links"                             link page: every catalogue movie, with
//                                       repeats and extra parameters (see LinkPage)
//   "get_video?video_id=<id>&t=<token>%3d"
//                                       the movie's video file: FLV header, then
//                                       deterministic bytes, Content-Length; a wrong
//                                       token gives 404
// Byte ranges: a request for a 200 body with "Range: bytes=<first>-[<last>]"
// gets 206 with Content-Range and just those bytes (416 when <first> lies
// past the end), as a real file server answers; SetRangeSupport(false) makes
// the site ignore ranges and send the whole body. Faults count their bytes
// from the start of what the response sends.
// Registered pages and bodies are looked up by the whole target first
// ("/page?x=1"), then by its path ("/page"), before the built-in ones.
//
// Threads: every member function may be called from any thread while the
// server runs; the destructor stops the server and joins its threads (a stalled
// response is cut short).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin {

// One movie of the site. Texts are UTF-8 bytes.
struct Movie {
    std::string id;         // 11 characters
    std::string token;      // 44 characters
    std::string title;      // shown after the 10-character title prefix
    std::uint64_t size = 0; // bytes of the video file, FLV header included
};

// The built-in movies (some titles are non-ASCII UTF-8).
const std::vector<Movie>& Catalogue();

// Every page title begins with these 10 characters (the reader skips them).
inline constexpr std::string_view kTitlePrefix = "Standin - ";
// Length of the FLV file header every video body begins with.
inline constexpr std::size_t kFlvHeaderSize = 13;

// The bytes of the video file of movie `id`: `count` bytes from `offset`.
// The content depends only on the id and the offset, so a file of any size
// can be checked piece by piece.
void FillVideoBytes(std::string_view id, std::uint64_t offset, char* out, std::size_t count);
// The whole video file of `size` bytes (for small sizes).
std::string VideoBytes(std::string_view id, std::uint64_t size);

// The watch page of a movie: `"video_id": "<id>"`, `"t": "<token>"` and
// `<title>Standin - <title></title>` in a page of realistic shape.
std::string WatchPage(const Movie& movie);
// The site-relative video address of a movie, as the reader builds it
// ("get_video?video_id=<id>&t=<token>%3d").
std::string VideoTarget(const Movie& movie);
// A link page listing the movies as relative watch links ("/watch?v=<id>"), in
// order, each id followed by the repeats and noise the harvester must cope
// with: a repeat with an extra parameter, a single-quoted and an absolute link
// (not to be found). Harvesting it yields exactly one address per movie, in order.
std::string LinkPage(const std::vector<Movie>& movies);
// What harvesting LinkPage(movies) yields, relative to the root: one
// "watch?v=<id>[&feature=channel]" per movie, in order.
std::vector<std::string> LinkPageTargets(const std::vector<Movie>& movies);

// A body produced on demand: `fill(offset, out, count)` writes `count` bytes.
using BodyFiller = std::function<void(std::uint64_t offset, char* out, std::size_t count)>;

enum class Fault {
    None,
    Redirect,        // `status` (302) with Location: `location` (may name another server)
    NotFound,        // 404 with a small HTML body
    NoContentLength, // the body without Content-Length; the connection closes after it
    Chunked,         // Transfer-Encoding: chunked
    Stall,           // send `afterBytes` of the body, then wait for ReleaseStalls()
    Trickle,         // send the body `pieceBytes` at a time, `delay` between pieces
    EarlyClose,      // full Content-Length, but close after `afterBytes` of the body
    Reset,           // send `afterBytes` of the body, then reset the connection
    RangeStart,      // answer a byte range from `afterBytes` on, whatever start was asked
};

struct FaultSpec {
    Fault kind = Fault::None;
    std::string location;               // Redirect
    int status = 302;                   // Redirect
    std::uint64_t afterBytes = 0;       // Stall, EarlyClose, Reset, RangeStart
    std::size_t pieceBytes = 1;         // Trickle
    std::chrono::milliseconds delay{5}; // Trickle
    int times = -1;                     // requests it applies to; -1: all
};

// How far the body of a response had gone out at a moment: `bytes` of it
// were handed to the network by `at`.
struct SentMark {
    std::chrono::steady_clock::time_point at;
    std::uint64_t bytes = 0;
};

// One request as it arrived.
struct Request {
    std::string line;                                         // "GET /watch?v=... HTTP/1.1"
    std::string method;                                       // "GET"
    std::string target;                                       // "/watch?v=..."
    std::string path;                                         // "/watch"
    std::vector<std::pair<std::string, std::string>> headers; // in order, as sent
    // The value of the first header of this name (any case); empty if absent.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
};

class Server {
public:
    // Binds 127.0.0.1 on `port` (0: an ephemeral port) and starts serving.
    // Throws std::runtime_error when the port cannot be bound.
    explicit Server(std::uint16_t port = 0);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::uint16_t Port() const;
    // "http://127.0.0.1:<port>/" and the same as wide text.
    std::string Root() const;
    std::wstring WideRoot() const;

    // A page or body of the test's own at `target` ("/path" or "/path?query").
    void AddPage(std::string target, std::string body,
                 std::string contentType = "text/html; charset=utf-8", int status = 200);
    void AddBody(std::string target, std::uint64_t size, BodyFiller fill,
                 std::string contentType = "application/octet-stream", int status = 200);
    // A movie of the test's own: served at its watch and video addresses like
    // the built-in ones (e.g. a 256 MiB one; bodies are never held in memory).
    void AddMovie(Movie movie);
    // Serves a redirect at `target` (shorthand for SetFault with Fault::Redirect).
    void AddRedirect(std::string target, std::string location, int status = 302);

    // Whether byte ranges are honoured (on at the start).
    void SetRangeSupport(bool on);

    // The fault applies to requests whose target or path equals `target`.
    void SetFault(std::string target, FaultSpec fault);
    void ClearFaults();
    // Lets every stalled response (now and later) go on.
    void ReleaseStalls();
    // Waits until at least `count` responses are stalled right now (their first
    // `afterBytes` sent); false on timeout.
    bool WaitForStalls(std::size_t count, std::chrono::milliseconds timeout) const;

    // The request log, in arrival order.
    std::vector<Request> Requests() const;
    std::size_t RequestCount() const;
    // Requests whose path equals `path`.
    std::size_t RequestCount(std::string_view path) const;
    void ClearRequests();
    // Waits until at least `count` requests have arrived; false on timeout.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    // The send log of the bodies served for `path`, in time order, one mark
    // per piece sent (a new response starts again from its first bytes).
    std::vector<SentMark> SendLog(std::string_view path) const;
    // Connections currently open (a client that closed is gone within ~0.1 s).
    std::size_t OpenConnections() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Movies that the site of the run command offers beside the catalogue: large,
// and served at a capped rate per connection, so that each download takes
// several seconds and a person watches its progress bar move.
const std::vector<Movie>& ShowcaseMovies();
// The cap: `pieceBytes` every `delay`, about 2.6 MB/s per connection.
FaultSpec ShowcaseRate();
// Serves the showcase movies at that rate on `site`, and a link page at
// "links" listing the catalogue followed by the showcase.
void AddShowcase(Server& site);

} // namespace standin
