// Project files on disk under Wine: the safe replace, and the user's messages
// for files that cannot be opened.
#include "framework/archive.h"
#include "framework/disk_file.h"
#include "model/movie_list.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<char>;

class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        m_path = std::wstring(base) + L"tb_project_" + std::to_wstring(GetCurrentProcessId()) +
                 L"_" + std::to_wstring(GetTickCount64());
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const auto& name : Files())
            DeleteFileW((m_path + L"\\" + name).c_str());
        RemoveDirectoryW(m_path.c_str());
    }
    std::wstring Path(const std::wstring& name) const { return m_path + L"\\" + name; }
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(data.cFileName);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return names;
    }

private:
    std::wstring m_path;
};

Bytes ReadAll(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::wstring& path, const Bytes& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct NamedReader : IWatchPageReader {
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        title = L"T " + url;
        return L"v " + url;
    }
};

} // namespace

TEST(ProjectFile, SaveAndLoadThroughTheDisk) {
    TempFolder folder;
    NamedReader reader;
    CYoutubeFileList list(&reader);
    for (int i = 0; i < 300; ++i) // larger than one archive buffer
        list.AddMovie(L"http://site/watch?v=" + std::to_wstring(i));
    const std::wstring path = folder.Path(L"a.torvane");
    SaveToFile(path, [&](CArchive& ar) { list.Serialize(ar); });

    CYoutubeFileList loaded(&reader);
    EXPECT_TRUE(LoadFromFile(path, [&](CArchive& ar) { loaded.Serialize(ar); }));
    EXPECT_EQ(loaded.GetCount(), 300u);

    // Saved again, the replacement goes through a temporary that is gone after.
    SaveToFile(path, [&](CArchive& ar) { loaded.Serialize(ar); });
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"a.torvane"});
}

TEST(ProjectFile, FailedSaveLeavesTheOldFileByteForByte) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"keep.torvane");
    const Bytes old = {1, 0, 0, 0, 0, 0, 0, 0, 1, 'a', 1, 'b', 0,
                       0, 0, 0, 1, 0, 0, 0, 0, 0, 0,   0, 0};
    WriteAll(path, old);

    const auto failingWriter = [](CArchive& ar) {
        for (std::uint32_t i = 0; i < 5000; ++i) // past several buffer flushes
            ar << i;
        throw CArchiveException(CArchiveException::badLength);
    };
    EXPECT_THROW(SaveToFile(path, failingWriter), CArchiveException);
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"keep.torvane"});

    // A successful save replaces it. (That the creation time is carried over
    // cannot be seen here: Wine on a Linux file system keeps no settable one.)
    SaveToFile(path, [](CArchive& ar) { ar << std::int32_t{0}; });
    EXPECT_EQ(ReadAll(path), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"keep.torvane"});
}

TEST(ProjectFile, OpenErrorsCarryTheUsersMessageWithTheFullPath) {
    TempFolder folder;
    const std::wstring missing = folder.Path(L"missing.torvane");
    try {
        LoadFromFile(missing, [](CArchive&) {});
        FAIL() << "no error";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.GetErrorMessage(), missing + L" was not found.");
    }
    try {
        LoadFromFile(folder.Path(L"no\\such\\folder.torvane"), [](CArchive&) {});
        FAIL() << "no error";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetErrorMessage(),
                  folder.Path(L"no\\such\\folder.torvane") + L" contains an incorrect path.");
    }
}

TEST(ProjectFile, EmptyFileIsOpenedWithoutReading) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"empty.torvane");
    WriteAll(path, {});
    bool ran = false;
    EXPECT_FALSE(LoadFromFile(path, [&](CArchive&) { ran = true; }));
    EXPECT_FALSE(ran);
}

TEST(ProjectFile, TruncatedFileGivesUnexpectedFormat) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"cut.torvane");
    WriteAll(path, {2, 0, 0, 0, 0, 0, 0, 0});
    CYoutubeFileList list;
    try {
        LoadFromFile(path, [&](CArchive& ar) { list.Serialize(ar); });
        FAIL() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.GetErrorMessage(), L"Unexpected file format.");
    }
}
