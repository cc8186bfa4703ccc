#include "framework/codepage.h"

#ifdef _WIN32
#include <windows.h>
#endif

wchar_t Cp1252ToWide(unsigned char byte) noexcept {
    // 0x80..0x9F differ from Latin-1; the five unassigned bytes map to
    // themselves, as the system's table does.
    static constexpr wchar_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (byte >= 0x80 && byte <= 0x9F)
        return kHigh[byte - 0x80];
    return static_cast<wchar_t>(byte);
}

void AppendAnsiAsWide(std::wstring& out, const char* bytes, std::size_t count, AnsiSource source) {
    if (count == 0)
        return;
#ifdef _WIN32
    const UINT cp = source == AnsiSource::Thread ? CP_THREAD_ACP : CP_ACP;
    // A single-byte code page never yields more units than bytes, a double-byte
    // one neither; the count is bounded by the caller's checked length.
    const int n = static_cast<int>(count);
    const int units = MultiByteToWideChar(cp, 0, bytes, n, nullptr, 0);
    if (units <= 0)
        return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(units));
    MultiByteToWideChar(cp, 0, bytes, n, out.data() + at, units);
#else
    (void)source;
    const std::size_t at = out.size();
    out.resize(at + count);
    for (std::size_t i = 0; i < count; ++i)
        out[at + i] = Cp1252ToWide(static_cast<unsigned char>(bytes[i]));
#endif
}
