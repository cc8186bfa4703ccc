#pragma once
// A watch-page reader that answers from memory and counts its calls.
#include "model/movie_list.h"

#include <stdexcept>

class FakeReader : public IWatchPageReader {
public:
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        ++calls;
        title.clear();
        if (failWith)
            throw *failWith;
        title = L"Title of " + url;
        return L"http://video.example/get_video?video_id=" + url;
    }
    int calls = 0;
    const std::runtime_error* failWith = nullptr;
};
