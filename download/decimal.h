#pragma once
// Numbers in HTTP header texts as the transfer reads them.
#include <cstdint>
#include <optional>
#include <string_view>

// Leading blanks skipped, an optional sign, digits up to the first other
// character; saturates at the limits of a signed 32-bit value. No digits: 0.
std::int32_t ParseDecimal32(std::wstring_view text);
// A Content-Length: optional blanks, then digits only (saturating at the
// largest 64-bit value); nothing when the text holds no digits or anything else.
std::optional<std::uint64_t> ParseContentLength(std::wstring_view text);
// A Content-Range of a 206 answer, "bytes <first>-<last>/<total>": first and
// total; nothing for any other form (an unknown total "*" included).
struct CContentRange {
    std::uint64_t first = 0;
    std::uint64_t total = 0;
};
std::optional<CContentRange> ParseContentRange(std::wstring_view text);
