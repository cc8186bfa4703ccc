#pragma once
// One movie of the list: its watch-page address, the title and video address
// taken from that page, the state of its download and where the file goes.
//
// The fields a download thread writes (status, size, progress, check mark) are
// atomic 32-bit values: one store, one load, and every reader sees either the
// value from just before or from just after a concurrent write. The texts are
// written only while no worker holds the record.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class CArchive;

enum MovieStatus : std::int32_t {
    Ready = 1,
    Downloading = 2,
    Completed = 3,
    Failed = 4,
    Waiting = 5,
    Cancelled = 6,
};

class CYoutubeFile {
public:
    CYoutubeFile() = default;
    CYoutubeFile(const CYoutubeFile&) = delete;
    CYoutubeFile& operator=(const CYoutubeFile&) = delete;
    ~CYoutubeFile() = default;

    // Stores or loads the six persistent fields: address, title, size,
    // status, check mark, video address.
    void Serialize(CArchive& ar);

    std::wstring GetUrl() const { return m_strUrl; }
    std::wstring GetStatusText() const;
    std::wstring GetSizeText() const;

    std::wstring m_strUrl;
    std::wstring m_strTitle;
    std::atomic<std::uint32_t> m_dwSize{0};
    std::atomic<std::int32_t> m_nStatus{Ready};
    std::atomic<std::int32_t> m_bChecked{0};
    std::atomic<std::int32_t> m_nProgress{0};
    // Saved when the record is queued; Ready until then, so a loaded Waiting
    // record that is un-queued before it was ever queued becomes Ready.
    std::int32_t m_nPrevStatus = Ready;
    std::wstring m_strVideoUrl;
    std::wstring m_strFolder;
    std::wstring m_strFilePath;
};

// Records are shared: the collection, list rows and a running worker each hold
// one reference, and a record lives exactly as long as one of them does.
using MoviePtr = std::shared_ptr<CYoutubeFile>;

// Display text of a status code; the empty text for codes outside 1..6.
const wchar_t* MovieStatusText(std::int32_t status) noexcept;
// Display text of a size in bytes: "", "%d Bytes", "%5.2fMB" or "%5.2fGB".
std::wstring FormatMovieSize(std::uint32_t size);
