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
#include <map>
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
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(m_path), ignored);
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

    // Every entry with its bytes; a directory shows as "<dir>" and its entries.
    std::map<std::wstring, Bytes> Snapshot() const;

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

std::map<std::wstring, Bytes> TempFolder::Snapshot() const {
    namespace fs = std::filesystem;
    std::map<std::wstring, Bytes> entries;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(m_path))) {
        const std::wstring name = fs::relative(e.path(), fs::path(m_path)).wstring();
        entries[name] = e.is_directory() ? Bytes{'<', 'd', 'i', 'r', '>'} : ReadAll(e.path());
    }
    return entries;
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

namespace {

const Bytes kOld = {1, 0, 0, 0, 0, 0, 0, 0, 1, 'a', 1, 'b', 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes kNew = {0, 0, 0, 0};

void WriteNew(CArchive& ar) {
    ar << std::int32_t{0};
}

// A write that gives out after `room` bytes as a full disk does.
WriteStep DiskFullAfter(std::size_t room) {
    auto left = std::make_shared<std::size_t>(room);
    return [left](void* handle, const void* data, unsigned long size, unsigned long* written) {
        if (*left < size) {
            *written = 0;
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        *left -= size;
        return WriteFile(handle, data, size, written, nullptr) != FALSE;
    };
}

std::wstring MessageOf(const std::function<void()>& save) {
    try {
        save();
    } catch (const CException& e) {
        return e.GetErrorMessage();
    }
    return L"(saved)";
}

} // namespace

// The system's replace can fail after it has moved the old file away. Whatever
// it left, the target ends up holding a complete old or new project, and only
// a copy that can be moved nowhere is kept beside it.
TEST(ProjectFile, ReplaceThatStopsHalfWayNeverLeavesTheTargetWithout) {
    using Replace = decltype(SaveSteps::replace);
    using Move = decltype(SaveSteps::move);
    const auto failWith = [](DWORD error) {
        SetLastError(error);
        return false;
    };
    // The old file went to the backup name, the new one kept its temporary name.
    const Replace oldToBackup = [&](const wchar_t* replaced, const wchar_t*,
                                    const wchar_t* backup) {
        MoveFileExW(replaced, backup, MOVEFILE_REPLACE_EXISTING);
        return failWith(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    };
    const Move realMove = {};
    const Move noMoves = [&](const wchar_t*, const wchar_t*) {
        return failWith(ERROR_SHARING_VIOLATION);
    };
    struct Case {
        const char* name;
        Replace replace;
        Move move;
        const Bytes* target;           // what the target holds afterwards, if anything
        std::vector<Bytes> leftBeside; // copies kept under other names
    };
    const Case cases[] = {
        {"1176: both files keep their names",
         [&](const wchar_t*, const wchar_t*, const wchar_t*) {
             return failWith(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
         },
         realMove,
         &kOld,
         {}},
        {"1177: the old file is moved back", oldToBackup, realMove, &kOld, {}},
        {"1177 and the old file cannot move back: the new one goes in",
         oldToBackup,
         [&](const wchar_t* from, const wchar_t* to) {
             return std::wstring(from).find(L"MFC") != std::wstring::npos && ReadAll(from) == kOld
                        ? failWith(ERROR_SHARING_VIOLATION)
                        : MoveFileExW(from, to, 0) != FALSE;
         },
         &kNew,
         {}},
        {"1177 and nothing can move: both copies stay",
         oldToBackup,
         noMoves,
         nullptr,
         {kNew, kOld}},
        {"1176 without a backup: the old file is gone, the new one goes in",
         [&](const wchar_t* replaced, const wchar_t*, const wchar_t*) {
             DeleteFileW(replaced);
             return failWith(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
         },
         realMove,
         &kNew,
         {}},
        {"an error reported after the new file moved in",
         [&](const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup) {
             ReplaceFileW(replaced, replacement, backup, 0, nullptr, nullptr);
             return failWith(ERROR_UNABLE_TO_REMOVE_REPLACED);
         },
         realMove,
         &kNew,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::wstring path = folder.Path(L"p.torvane");
        WriteAll(path, kOld);
        SaveSteps steps;
        steps.replace = c.replace;
        steps.move = c.move;
        const std::wstring message = MessageOf([&] { SaveToFile(path, WriteNew, steps); });
        if (c.target == &kNew) {
            EXPECT_EQ(message, L"(saved)");
        } else {
            EXPECT_EQ(message.substr(message.find(L" while accessing ")),
                      L" while accessing " + path + L".");
        }

        auto entries = folder.Snapshot();
        EXPECT_EQ(entries.count(L"p.torvane"), c.target ? 1u : 0u);
        if (c.target) {
            EXPECT_EQ(entries[L"p.torvane"], *c.target);
        }
        entries.erase(L"p.torvane");
        std::vector<Bytes> beside;
        for (const auto& [name, bytes] : entries)
            beside.push_back(bytes);
        std::sort(beside.begin(), beside.end());
        auto expected = c.leftBeside;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(beside, expected);
    }
}

// A save that cannot finish leaves the folder exactly as it was and names the
// project, not a temporary file, in its message.
TEST(ProjectFile, FailedSaveChangesNothingInTheFolder) {
    struct Case {
        const char* name;
        bool existed;
        std::function<void(const std::wstring& path)> prepare;
        SerializeFn serialize;
        WriteStep write;
        const wchar_t* message; // after the full path
    };
    HANDLE held = INVALID_HANDLE_VALUE;
    const SerializeFn big = [](CArchive& ar) {
        for (std::uint32_t i = 0; i < 3000; ++i) // past several buffer flushes
            ar << i;
    };
    const Case cases[] = {
        {"disk full over an old project", true, nullptr, big, DiskFullAfter(8192),
         L"Disk full while accessing %."},
        {"disk full for a new project", false, nullptr, big, DiskFullAfter(100),
         L"Disk full while accessing %."},
        {"disk full in the last flush", true, nullptr, WriteNew, DiskFullAfter(0),
         L"Disk full while accessing %."},
        {"held open by another program", true,
         [&](const std::wstring& path) {
             held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
         },
         big, nullptr, L"Encountered a sharing violation while accessing %."},
        {"a directory at the path", false,
         [](const std::wstring& path) {
             CreateDirectoryW(path.c_str(), nullptr);
             CreateDirectoryW((path + L"\\inside").c_str(), nullptr);
         },
         WriteNew, nullptr, L"Access to % was denied."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::wstring path = folder.Path(L"p.torvane");
        if (c.existed)
            WriteAll(path, kOld);
        if (c.prepare)
            c.prepare(path);
        const auto before = folder.Snapshot();
        SaveSteps steps;
        steps.write = c.write;
        std::wstring expected = c.message;
        expected.replace(expected.find(L'%'), 1, path);
        EXPECT_EQ(MessageOf([&] { SaveToFile(path, c.serialize, steps); }), expected);
        if (held != INVALID_HANDLE_VALUE) {
            CloseHandle(held);
            held = INVALID_HANDLE_VALUE;
        }
        EXPECT_EQ(folder.Snapshot(), before);
    }
}

TEST(ProjectFile, SaveIntoAMissingFolderCreatesNothing) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"gone\\p.torvane");
    EXPECT_EQ(MessageOf([&] { SaveToFile(path, WriteNew); }),
              path + L" contains an incorrect path.");
    EXPECT_TRUE(folder.Snapshot().empty());
}
