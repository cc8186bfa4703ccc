// Figures for a full movie list: 65,536 adds with an in-memory reader, and the
// save and load of the resulting project file on disk.
#include "framework/archive.h"
#include "framework/disk_file.h"
#include "model/movie_list.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

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
    CYoutubeFileList list(&reader);
    constexpr int kMovies = 65536;

    auto start = std::chrono::steady_clock::now();
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
    return 0;
}
