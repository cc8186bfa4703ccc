#pragma once
// Documents on disk: a Win32 file as the archive's byte stream, the mapping of
// system errors to the user's file-error messages, and the two ways a document
// meets the disk: loading from a path, and saving with safe replacement.
#include "framework/errors.h"
#include "framework/file.h"

#include <cstdint>
#include <functional>
#include <string>

class CArchive;

// The file-error cause for a system error code (GetLastError()).
CFileException::Cause FileErrorCauseFromOs(unsigned long osError) noexcept;
// A CFileException for `osError` on `path`, with the path made full.
CFileException MakeFileException(unsigned long osError, const std::wstring& path);

// WriteFile's shape: writes up to `size` bytes of `data` to the open file
// `handle`, stores how many in `written`; false with the last error set on
// failure.
using WriteStep =
    std::function<bool(void* handle, const void* data, unsigned long size, unsigned long* written)>;

// A disk file owned by this object. Errors raise CFileException with the path.
class CDiskFile final : public CFile {
public:
    enum class Mode {
        ReadDenyWrite,   // open existing for reading; others may read only
        CreateExclusive, // create or truncate for reading and writing; no sharing
    };
    // `write` stands in for the system's write (empty: the system's).
    CDiskFile(const std::wstring& path, Mode mode, WriteStep write = {});
    ~CDiskFile() override;
    CDiskFile(const CDiskFile&) = delete;
    CDiskFile& operator=(const CDiskFile&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t GetLength() const override { return m_length; }
    std::uint64_t GetPosition() const override { return m_position; }
    // Closes the handle, reporting a failure to complete the writes.
    void Close();

private:
    void* m_hFile;
    std::wstring m_strPath;
    WriteStep m_write;
    std::uint64_t m_length = 0;
    std::uint64_t m_position = 0;
};

using SerializeFn = std::function<void(CArchive&)>;

// Loads a document: opens `path` for reading (denying others write access)
// and, unless the file is empty, runs `serialize` on a loading archive.
// Returns false for an empty file, whose reading was skipped.
bool LoadFromFile(const std::wstring& path, const SerializeFn& serialize);

// The system calls a save makes that can fail after the old file was touched,
// each replaceable so that tests can fail them the ways the system can (a full
// disk, a replace that stops half-way). An empty member is the system's call.
struct SaveSteps {
    WriteStep write;
    // ReplaceFileW's shape, always with a backup name: false with the last
    // error set, the three files then left as the system left them.
    std::function<bool(const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup)>
        replace;
    // MoveFileExW's shape without replacing: false with the last error set.
    std::function<bool(const wchar_t* from, const wchar_t* to)> move;
};

// Saves a document to `path`. The stream is always written whole to a
// temporary file in the target's folder (prefix "MFC") and closed first; only
// then does it take the target's place: by the system's replace, which keeps
// the old file under a backup name until the new one is in place, or by a move
// when there was no file. The new file takes over the old one's creation time
// and access rights.
//
// A save that fails leaves the target holding the complete old project (or,
// when the system got as far as moving the new one in, the complete new one,
// and the save counts as done) and the folder as it was. Should the system
// leave the old file under the backup name and refuse to move either copy to
// the target, both copies stay, never deleted. Errors raise CFileException
// naming `path` (made full); a directory at `path` is access denied.
void SaveToFile(const std::wstring& path, const SerializeFn& serialize,
                const SaveSteps& steps = {});
