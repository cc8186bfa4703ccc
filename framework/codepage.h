#pragma once
// Bytes become text only at the edges. Narrow project texts and page bytes are
// widened from the ANSI code page: the system's on Windows, Windows-1252 in the
// native build (what a Western system does, and what Wine reports).
#include <cstddef>
#include <string>

enum class AnsiSource {
    System, // the user's ANSI code page (CP_ACP): narrow texts in project files
    Thread, // the calling thread's ANSI code page (CP_THREAD_ACP): page text
};

// Appends the widened bytes to `out`.
void AppendAnsiAsWide(std::wstring& out, const char* bytes, std::size_t count,
                      AnsiSource source = AnsiSource::System);

// Windows-1252 to UTF-16, the stand-in where no system code page exists.
wchar_t Cp1252ToWide(unsigned char byte) noexcept;
