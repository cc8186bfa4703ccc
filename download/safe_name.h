#pragma once
// Output file names from movie titles. A title comes from a web page, so it
// may hold path separators ("..\\..\\x" must not leave the output folder),
// characters Windows forbids in names, control characters or a reserved device
// name; any of these is made harmless. Everything else of the title is kept,
// trailing dots and blanks included (the extension follows them), so two
// movies share one file only when their titles are the same.
#include <cstddef>
#include <string>

// The longest path Windows opens without the long-path prefix: 260 characters
// with the terminator.
inline constexpr std::size_t kMaxPathChars = 259;
inline constexpr wchar_t kEmptyTitleName[] = L"Video";
inline constexpr wchar_t kVideoExtension[] = L".flv";

// `title` as a file name of at most `maxChars` UTF-16 units (at least 1 is
// used), before the extension is added. An empty result becomes "Video".
std::wstring SafeFileName(const std::wstring& title, std::size_t maxChars);

// The output file of a movie: the folder text unchanged, "\\", the safe name,
// ".flv"; the name is cut so the whole path stays within kMaxPathChars when
// the folder leaves room for it.
std::wstring OutputFilePath(const std::wstring& folder, const std::wstring& title);
