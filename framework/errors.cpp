#include "framework/errors.h"

CArchiveException::CArchiveException(Cause cause)
    : CException(cause == endOfFile ? kUnexpectedFileFormat : kFailedToOpenDocument),
      m_cause(cause) {}

CFileException::CFileException(Cause cause, std::wstring path, long osError)
    : CException(MessageFor(cause, path)), m_cause(cause), m_strFileName(std::move(path)),
      m_lOsError(osError) {}

std::wstring CFileException::MessageFor(Cause cause, const std::wstring& path) {
    const wchar_t* pattern = L"An unknown error occurred while accessing %1.";
    switch (cause) {
    case genericException:
        break;
    case fileNotFound:
        pattern = L"%1 was not found.";
        break;
    case badPath:
        pattern = L"%1 contains an incorrect path.";
        break;
    case tooManyOpenFiles:
        pattern = L"Could not open %1 because there are too many open files.";
        break;
    case accessDenied:
        pattern = L"Access to %1 was denied.";
        break;
    case invalidFile:
        pattern = L"An incorrect file handle was associated with %1.";
        break;
    case directoryFull:
        pattern = L"Could not create %1 because the directory is full.";
        break;
    case badSeek:
        pattern = L"Seek failed on %1";
        break;
    case hardIO:
        pattern = L"Encountered a hardware I/O error while accessing %1.";
        break;
    case sharingViolation:
        pattern = L"Encountered a sharing violation while accessing %1.";
        break;
    case lockViolation:
        pattern = L"Encountered a locking violation while accessing %1.";
        break;
    case diskFull:
        pattern = L"Disk full while accessing %1.";
        break;
    case endOfFile:
        pattern = L"Attempted to access %1 past its end.";
        break;
    }
    std::wstring text = pattern;
    if (auto at = text.find(L"%1"); at != std::wstring::npos)
        text.replace(at, 2, path);
    return text;
}
