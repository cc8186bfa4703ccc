#pragma once
// Errors the framework raises. Each carries the text the user is shown; the
// command dispatcher is the one place that catches them and shows a message box.
#include <cstdint>
#include <exception>
#include <string>

class CException : public std::exception {
public:
    explicit CException(std::wstring text = {}) : m_strText(std::move(text)) {}
    // The text for the message box; empty means the dispatcher's generic text.
    const std::wstring& GetErrorMessage() const noexcept { return m_strText; }
    const char* what() const noexcept override { return "Torvane Brenlow error"; }

protected:
    std::wstring m_strText;
};

// An error with no text of its own: the dispatcher shows "Command failed.".
class CUserException : public CException {};

// A failure reported by WinInet: the system error code and the system's own
// description of it (wininet.dll's message table), filled in at the Win32 edge.
class CInternetException : public CException {
public:
    CInternetException(std::uint32_t code, std::wstring text)
        : CException(std::move(text)), m_dwError(code) {}
    std::uint32_t m_dwError;
};

// A resource the program needs could not be made (for instance a window class
// that would not register).
class CResourceException : public CException {};

// A malformed or truncated project stream.
class CArchiveException : public CException {
public:
    enum Cause {
        endOfFile, // "Unexpected file format."
        badLength, // "Failed to open document."
    };
    explicit CArchiveException(Cause cause);
    Cause m_cause;
};

// A file-layer failure: the cause, the file's full path and the system code.
class CFileException : public CException {
public:
    enum Cause {
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };
    CFileException(Cause cause, std::wstring path, long osError = 0);
    // The user's message for a cause, with %1 replaced by the path.
    static std::wstring MessageFor(Cause cause, const std::wstring& path);
    Cause m_cause;
    std::wstring m_strFileName;
    long m_lOsError;
};

// Load and save failures that are not file errors.
inline constexpr wchar_t kFailedToOpenDocument[] = L"Failed to open document.";
inline constexpr wchar_t kFailedToSaveDocument[] = L"Failed to save document.";
inline constexpr wchar_t kUnexpectedFileFormat[] = L"Unexpected file format.";
inline constexpr wchar_t kCommandFailed[] = L"Command failed.";
