#include "framework/disk_file.h"

#include "framework/archive.h"

#include <windows.h>

#include <aclapi.h>

#include <memory>
#include <vector>

CFileException::Cause FileErrorCauseFromOs(unsigned long osError) noexcept {
    switch (osError) {
    case ERROR_FILE_NOT_FOUND:
        return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
        return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
        return CFileException::accessDenied;
    case ERROR_INVALID_HANDLE:
        return CFileException::invalidFile;
    case ERROR_CANNOT_MAKE:
        return CFileException::directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
        return CFileException::badSeek;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
        return CFileException::hardIO;
    case ERROR_SHARING_VIOLATION:
        return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION:
        return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return CFileException::diskFull;
    case ERROR_HANDLE_EOF:
        return CFileException::endOfFile;
    default:
        return CFileException::genericException;
    }
}

namespace {

std::wstring FullPath(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    full.resize(n);
    return full;
}

struct HandleCloser {
    void operator()(void* h) const {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

} // namespace

CFileException MakeFileException(unsigned long osError, const std::wstring& path) {
    return CFileException(FileErrorCauseFromOs(osError), FullPath(path),
                          static_cast<long>(osError));
}

CDiskFile::CDiskFile(const std::wstring& path, Mode mode, WriteStep write)
    : m_strPath(path), m_write(std::move(write)) {
    const bool reading = mode == Mode::ReadDenyWrite;
    m_hFile = CreateFileW(path.c_str(), reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                          reading ? FILE_SHARE_READ : 0, nullptr,
                          reading ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        throw MakeFileException(GetLastError(), path);
    if (reading) {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(m_hFile, &size)) {
            const DWORD error = GetLastError();
            CloseHandle(m_hFile);
            throw MakeFileException(error, path);
        }
        m_length = static_cast<std::uint64_t>(size.QuadPart);
    }
}

CDiskFile::~CDiskFile() {
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
}

void CDiskFile::Close() {
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    HANDLE h = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h))
        throw MakeFileException(GetLastError(), m_strPath);
}

std::size_t CDiskFile::Read(void* buffer, std::size_t count) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(m_hFile, bytes + done, chunk, &got, nullptr))
            throw MakeFileException(GetLastError(), m_strPath);
        if (got == 0)
            break;
        done += got;
    }
    m_position += done;
    return done;
}

void CDiskFile::Write(const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD put = 0;
        const bool ok = m_write ? m_write(m_hFile, bytes + done, chunk, &put)
                                : WriteFile(m_hFile, bytes + done, chunk, &put, nullptr) != FALSE;
        if (!ok)
            throw MakeFileException(GetLastError(), m_strPath);
        if (put == 0)
            throw MakeFileException(ERROR_DISK_FULL, m_strPath);
        done += put;
    }
    m_position += done;
    m_length = std::max(m_length, m_position);
}

bool LoadFromFile(const std::wstring& path, const SerializeFn& serialize) {
    CDiskFile file(path, CDiskFile::Mode::ReadDenyWrite);
    if (file.GetLength() == 0)
        return false;
    CArchive ar(file, CArchive::load);
    serialize(ar);
    ar.Close();
    file.Close();
    return true;
}

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The size of the file at `path`, or -1 when there is none.
std::int64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
}

std::wstring FolderOf(const std::wstring& fullPath) {
    const auto slash = fullPath.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : fullPath.substr(0, slash + 1);
}

// A new, empty, uniquely named file in `folder`; raises the system's error
// for `target` when none can be made there.
std::wstring MakeTempFile(const std::wstring& folder, const std::wstring& target) {
    wchar_t name[MAX_PATH + 1];
    if (!GetTempFileNameW(folder.c_str(), L"MFC", 0, name))
        throw MakeFileException(GetLastError(), target);
    return name;
}

// Deletes a file this save made unless told it must stay.
class TempFileGuard {
public:
    explicit TempFileGuard(std::wstring path) : m_path(std::move(path)) {}
    ~TempFileGuard() {
        if (!m_path.empty())
            DeleteFileW(m_path.c_str());
    }
    void Keep() { m_path.clear(); }
    const std::wstring& Path() const { return m_path; }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

private:
    std::wstring m_path;
};

void WriteStream(const std::wstring& path, const std::wstring& target, const SerializeFn& serialize,
                 const WriteStep& write) {
    try {
        CDiskFile file(path, CDiskFile::Mode::CreateExclusive, write);
        CArchive ar(file, CArchive::store);
        serialize(ar);
        ar.Close();
        file.Close();
    } catch (const CFileException& e) {
        // The temporary's name means nothing to the user: the project failed.
        throw CFileException(e.m_cause, target, e.m_lOsError);
    }
}
// The new file keeps the identity the user sees: creation time and rights.
void CopyCreationTimeAndRights(const std::wstring& from, const std::wstring& to) {
    std::unique_ptr<void, HandleCloser> source(
        CreateFileW(from.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (source.get() == INVALID_HANDLE_VALUE)
        return;
    std::unique_ptr<void, HandleCloser> dest(
        CreateFileW(to.c_str(), FILE_WRITE_ATTRIBUTES | WRITE_DAC, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (dest.get() == INVALID_HANDLE_VALUE)
        return;
    FILETIME created;
    if (GetFileTime(source.get(), &created, nullptr, nullptr))
        SetFileTime(dest.get(), &created, nullptr, nullptr);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(source.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &dacl, nullptr, &descriptor) == ERROR_SUCCESS) {
        SetSecurityInfo(dest.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        dacl, nullptr);
        LocalFree(descriptor);
    }
}

} // namespace

void SaveToFile(const std::wstring& path, const SerializeFn& serialize, const SaveSteps& steps) {
    const std::wstring target = FullPath(path); // replacing needs absolute paths
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw MakeFileException(ERROR_ACCESS_DENIED, target);
    const std::int64_t oldSize = SizeOf(target);
    const std::wstring folder = FolderOf(target);

    // The target is never written itself: a write that fails part-way (a full
    // disk) would leave a cut-off project behind.
    TempFileGuard temp(MakeTempFile(folder, target));
    WriteStream(temp.Path(), target, serialize, steps.write);

    const auto move = [&](const std::wstring& from, const std::wstring& to) {
        return steps.move ? steps.move(from.c_str(), to.c_str())
                          : MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
    };
    if (oldSize < 0) {
        if (!move(temp.Path(), target))
            throw MakeFileException(GetLastError(), target);
        temp.Keep();
        return;
    }

    CopyCreationTimeAndRights(target, temp.Path());
    // The old file is kept under a name of our own while the new one moves in,
    // so no failure of the replace can leave the target with nothing.
    TempFileGuard backup(MakeTempFile(folder, target));
    const bool replaced =
        steps.replace ? steps.replace(target.c_str(), temp.Path().c_str(), backup.Path().c_str())
                      : ReplaceFileW(target.c_str(), temp.Path().c_str(), backup.Path().c_str(),
                                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
    if (replaced) {
        temp.Keep(); // it is the target now
        return;      // the backup, the old file, goes
    }
    const DWORD error = GetLastError();
    if (IsFile(target)) {
        if (!IsFile(temp.Path())) {
            // The system moved the new file in after all: the save is done.
            temp.Keep();
            return;
        }
        // The old file is still in place; the new copy and the backup go.
        throw MakeFileException(error, target);
    }
    // The target is empty: the old file went to the backup name (or nowhere).
    // Put the old one back if it is there, else the complete new one.
    if (SizeOf(backup.Path()) == oldSize && move(backup.Path(), target)) {
        backup.Keep();
        throw MakeFileException(error, target);
    }
    if (move(temp.Path(), target)) {
        temp.Keep();
        return;
    }
    // Neither copy could be moved: both stay where they are, whatever else.
    temp.Keep();
    if (SizeOf(backup.Path()) == oldSize)
        backup.Keep();
    throw MakeFileException(error, target);
}
