#include "framework/strings.h"

#include <windows.h>

std::wstring LoadResString(unsigned id) {
    // With a zero buffer size LoadStringW hands out a pointer into the resource
    // itself, so texts of any length come back whole.
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return {};
    return std::wstring(text, static_cast<std::size_t>(length));
}
