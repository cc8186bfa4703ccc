#include "download/safe_name.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

bool ForbiddenInName(wchar_t c) {
    return c < 0x20 || c == 0x7F ||
           std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos;
}

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// The digits Windows accepts after COM and LPT in a device name: 1 to 9 and
// the superscripts one, two and three.
bool IsDeviceDigit(wchar_t c) {
    return (c >= L'1' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (and COM or LPT with a superscript 1-3)
// name devices whatever extension follows (and Windows ignores blanks before
// that extension).
bool IsReservedDeviceName(const std::wstring& name) {
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    static constexpr std::array<std::wstring_view, 4> kPlain = {L"CON", L"PRN", L"AUX", L"NUL"};
    if (std::find(kPlain.begin(), kPlain.end(), stem) != kPlain.end())
        return true;
    return stem.size() == 4 &&
           (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           IsDeviceDigit(stem[3]);
}

} // namespace

std::wstring SafeFileName(const std::wstring& title, std::size_t maxChars) {
    maxChars = std::max<std::size_t>(maxChars, 1);
    std::wstring name = title;
    for (wchar_t& c : name) {
        if (ForbiddenInName(c))
            c = L'_';
    }
    if (name.size() > maxChars) {
        std::size_t cut = maxChars;
        // Never split a surrogate pair.
        if (cut > 1 && IsHighSurrogate(name[cut - 1]))
            --cut;
        name.resize(cut);
    }
    // Trailing dots and blanks stay: the extension always follows them, so the
    // file system keeps them, and trimming would give "Wait for it..." the file
    // of the movie titled "Wait for it".
    // Checked after the cut, which could have made "CONSOLE" into "CON".
    if (IsReservedDeviceName(name)) {
        name.insert(name.begin(), L'_');
        if (name.size() > maxChars)
            name.resize(maxChars);
    }
    if (name.empty())
        name = kEmptyTitleName;
    return name;
}

std::wstring OutputFilePath(const std::wstring& folder, const std::wstring& title) {
    const std::size_t fixed =
        folder.size() + 1 + std::char_traits<wchar_t>::length(kVideoExtension);
    const std::size_t room = fixed < kMaxPathChars ? kMaxPathChars - fixed : 1;
    return folder + L"\\" + SafeFileName(title, room) + kVideoExtension;
}
