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

// A disk file owned by this object. Errors raise CFileException with the path.
class CDiskFile final : public CFile {
public:
    enum class Mode {
        ReadDenyWrite,   // open existing for reading; others may read only
        CreateExclusive, // create or truncate for reading and writing; no sharing
    };
    CDiskFile(const std::wstring& path, Mode mode);
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
    std::uint64_t m_length = 0;
    std::uint64_t m_position = 0;
};

using SerializeFn = std::function<void(CArchive&)>;

// Loads a document: opens `path` for reading (denying others write access)
// and, unless the file is empty, runs `serialize` on a loading archive.
// Returns false for an empty file, whose reading was skipped.
bool LoadFromFile(const std::wstring& path, const SerializeFn& serialize);

// Saves a document to `path`. An existing file is replaced only after the whole
// stream was written to a temporary file in the same folder (prefix "MFC") and
// closed, and the temporary takes over the old file's creation time and access
// rights; on any failure the temporary goes and the old file stays as it was.
// Without room for a temporary (free space not above twice the old size), or
// when the target does not exist, the target itself is written.
void SaveToFile(const std::wstring& path, const SerializeFn& serialize);
