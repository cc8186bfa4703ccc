#include "download/decimal.h"

#include <limits>

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
} // namespace

std::int32_t ParseDecimal32(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > limit)
            value = limit; // stays saturated; no overflow of the 64-bit value
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::optional<std::uint64_t> ParseContentLength(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (i >= text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            return std::nullopt;
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

std::optional<CContentRange> ParseContentRange(std::wstring_view text) {
    constexpr std::wstring_view kUnit = L"bytes ";
    if (text.substr(0, kUnit.size()) != kUnit)
        return std::nullopt;
    text.remove_prefix(kUnit.size());
    const std::size_t dash = text.find(L'-');
    const std::size_t slash = text.find(L'/');
    if (dash == std::wstring_view::npos || slash == std::wstring_view::npos || slash < dash)
        return std::nullopt;
    const auto first = ParseContentLength(text.substr(0, dash));
    const auto last = ParseContentLength(text.substr(dash + 1, slash - dash - 1));
    const auto total = ParseContentLength(text.substr(slash + 1));
    if (!first || !last || !total || *last < *first || *last >= *total)
        return std::nullopt;
    return CContentRange{*first, *total};
}
