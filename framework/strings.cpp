#include "framework/strings.h"

std::wstring PromptPart(const std::wstring& entry) { return entry.substr(0, entry.find(L'\n')); }

std::wstring TooltipPart(const std::wstring& entry) {
    auto at = entry.find(L'\n');
    return at == std::wstring::npos ? std::wstring() : entry.substr(at + 1);
}

std::wstring GetField(const std::wstring& text, int index) {
    if (index < 0)
        return {};
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        auto at = text.find(L'\n', start);
        if (at == std::wstring::npos)
            return {};
        start = at + 1;
    }
    auto end = text.find(L'\n', start);
    return text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}
