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

// Deletes a temporary file unless told it was handed over.
class TempFileGuard {
public:
    explicit TempFileGuard(std::wstring path) : m_path(std::move(path)) {}
    ~TempFileGuard() {
        if (!m_path.empty())
            DeleteFileW(m_path.c_str());
    }
    void Release() { m_path.clear(); }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

private:
    std::wstring m_path;
};

} // namespace

CFileException MakeFileException(unsigned long osError, const std::wstring& path) {
    return CFileException(FileErrorCauseFromOs(osError), FullPath(path),
                          static_cast<long>(osError));
}

CDiskFile::CDiskFile(const std::wstring& path, Mode mode) : m_strPath(path) {
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
        if (!WriteFile(m_hFile, bytes + done, chunk, &put, nullptr))
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

void WriteStream(const std::wstring& path, const SerializeFn& serialize) {
    CDiskFile file(path, CDiskFile::Mode::CreateExclusive);
    CArchive ar(file, CArchive::store);
    serialize(ar);
    ar.Close();
    file.Close();
}

// The temporary's name when there is room for one, or empty.
std::wstring TempFileBeside(const std::wstring& target) {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &attributes))
        return {}; // no existing file: write the target itself
    const std::uint64_t oldSize =
        (std::uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;

    std::wstring folder = target;
    const auto slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash + 1);
    ULARGE_INTEGER freeBytes;
    if (!GetDiskFreeSpaceExW(folder.c_str(), &freeBytes, nullptr, nullptr) ||
        freeBytes.QuadPart <= 2 * oldSize)
        return {};
    wchar_t temp[MAX_PATH + 1];
    if (!GetTempFileNameW(folder.c_str(), L"MFC", 0, temp))
        return {};
    return temp;
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

void SaveToFile(const std::wstring& path, const SerializeFn& serialize) {
    const std::wstring target = FullPath(path); // replacing needs absolute paths
    const std::wstring temp = TempFileBeside(target);
    if (temp.empty()) {
        WriteStream(target, serialize);
        return;
    }
    TempFileGuard guard(temp);
    WriteStream(temp, serialize);
    CopyCreationTimeAndRights(target, temp);
    if (!ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                      nullptr, nullptr)) {
        const DWORD error = GetLastError();
        throw MakeFileException(error, target);
    }
    guard.Release();
}
