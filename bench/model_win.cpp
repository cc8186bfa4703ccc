// Figures for a full movie list: 65,536 adds with an in-memory reader, and the
// save and load of the resulting project file on disk.
//
// Building tens of MB of fresh records is bound by page faults on fresh
// memory in this environment, so the floor is measured in the same run:
// fresh_records_65536_ms allocates 65,536 records with the three texts of the
// same lengths and nothing else, and the add and load figures are also
// printed as ratios to it.
#include "framework/archive.h"
#include "framework/disk_file.h"
#include "model/movie_list.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct MemoryReader : IWatchPageReader {
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        title = L"A movie with an ordinary title " + url.substr(url.size() - 11);
        return L"http://www.youtube.com/get_video?video_id=" + url.substr(url.size() - 11) +
               L"&t=vjVQa1PpcFMJxVmB3lHtV8c6SrKXGEZj8S6c2ak5Xag%3d";
    }
};

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

std::wstring Id(int i) {
    wchar_t id[16];
    std::swprintf(id, 16, L"%011d", i);
    return id;
}

} // namespace

int main() {
    MemoryReader reader;
    constexpr int kMovies = 65536;

    // The floor: the same records and texts, fresh memory, no collection.
    // They stay alive, so the adds below get fresh memory as well.
    std::vector<MoviePtr> floorRecords;
    floorRecords.reserve(kMovies);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMovies; ++i) {
        auto movie = std::make_shared<CYoutubeFile>();
        movie->m_strUrl = L"http://www.youtube.com/watch?v=" + Id(i);
        movie->m_strVideoUrl = reader.GetVideoUrl(movie->m_strUrl, movie->m_strTitle);
        floorRecords.push_back(std::move(movie));
    }
    const double floorMs = MsSince(start);

    CYoutubeFileList list(&reader);

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMovies; ++i)
        list.AddMovie(L"http://www.youtube.com/watch?v=" + Id(i));
    const double addMs = MsSince(start);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"tb_bench_65536.torvane";

    start = std::chrono::steady_clock::now();
    SaveToFile(path, [&](CArchive& ar) { list.Serialize(ar); });
    const double saveMs = MsSince(start);

    CYoutubeFileList loaded(&reader);
    start = std::chrono::steady_clock::now();
    LoadFromFile(path, [&](CArchive& ar) { loaded.Serialize(ar); });
    const double loadMs = MsSince(start);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    DeleteFileW(path.c_str());
    if (loaded.GetCount() != static_cast<std::size_t>(kMovies)) {
        std::fprintf(stderr, "bench_model: loaded %zu movies\n", loaded.GetCount());
        return 1;
    }

    std::printf("add_65536_ms: %.1f ms\n", addMs);
    std::printf("save_65536_ms: %.1f ms\n", saveMs);
    std::printf("load_65536_ms: %.1f ms\n", loadMs);
    std::printf("file_bytes_65536: %lu bytes\n", static_cast<unsigned long>(data.nFileSizeLow));
    std::printf("fresh_records_65536_ms: %.1f ms\n", floorMs);
    std::printf("add_vs_floor_ratio: %.2f x\n", addMs / floorMs);
    std::printf("load_vs_floor_ratio: %.2f x\n", loadMs / floorMs);
    return 0;
}
