#include "model/movie.h"

#include "framework/archive.h"

#include <cstdio>

const wchar_t* MovieStatusText(std::int32_t status) noexcept {
    switch (status) {
    case Ready:
        return L"Ready";
    case Downloading:
        return L"Downloading";
    case Completed:
        return L"Completed";
    case Failed:
        return L"Failed";
    case Waiting:
        return L"Waiting";
    case Cancelled:
        return L"Cancelled";
    default:
        return L"";
    }
}

std::wstring FormatMovieSize(std::uint32_t size) {
    constexpr std::uint32_t kMiB = 0x100000;
    constexpr std::uint32_t kGiB = 0x40000000;
    char text[32];
    if (size == 0)
        return {};
    if (size <= kMiB)
        std::snprintf(text, sizeof text, "%u Bytes", static_cast<unsigned>(size));
    else if (size <= kGiB)
        std::snprintf(text, sizeof text, "%5.2fMB", static_cast<double>(size) / kMiB);
    else
        std::snprintf(text, sizeof text, "%5.2fGB", static_cast<double>(size) / kGiB);
    // The formatted text is ASCII: widen it unit by unit.
    std::wstring wide;
    for (const char* p = text; *p; ++p)
        wide.push_back(static_cast<wchar_t>(*p));
    return wide;
}

std::wstring CYoutubeFile::GetStatusText() const {
    return MovieStatusText(m_nStatus.load());
}

std::wstring CYoutubeFile::GetSizeText() const {
    return FormatMovieSize(m_dwSize.load());
}

void CYoutubeFile::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteString(m_strUrl);
        ar.WriteString(m_strTitle);
        ar << m_dwSize.load() << m_nStatus.load() << m_bChecked.load();
        ar.WriteString(m_strVideoUrl);
    } else {
        m_strUrl = ar.ReadString();
        m_strTitle = ar.ReadString();
        std::uint32_t size;
        std::int32_t status, checked;
        ar >> size >> status >> checked;
        m_dwSize = size;
        m_nStatus = status;
        m_bChecked = checked;
        m_strVideoUrl = ar.ReadString();
    }
}
