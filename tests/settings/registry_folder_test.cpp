// The output folder on Windows: the registry value, the program folder, the
// folder chooser on the test display, and the shell seam.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A key of the test's own, so the user's setting is never touched.
class RegistryFolderTest : public ::testing::Test {
protected:
    RegistryFolderTest() { RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str()); }
    ~RegistryFolderTest() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str());
        std::error_code ec;
        fs::remove_all(m_temp, ec);
    }
    bool KeyExists() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    void SetRaw(DWORD type, const void* data, DWORD bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, kOutputFolderValue, 0, type, static_cast<const BYTE*>(data), bytes);
        RegCloseKey(key);
    }

    std::wstring m_key =
        L"Software\\TorvaneBrenlowTests\\OutputFolder" + std::to_wstring(GetCurrentProcessId());
    CRegistryOutputFolder m_system{m_key};
    fs::path m_temp = fs::temp_directory_path() /
                      ("tb_settings_" + std::to_string(GetCurrentProcessId()));
};

TEST_F(RegistryFolderTest, ReadingCreatesTheKeyAndNothingStoredMeansTheDefault) {
    ASSERT_FALSE(KeyExists());
    std::wstring folder;
    EXPECT_FALSE(m_system.ReadStored(folder));
    EXPECT_TRUE(KeyExists());
    EXPECT_EQ(ReadOutputFolder(m_system, L"dflt"), L"dflt");
    SetRaw(REG_SZ, L"", sizeof(wchar_t)); // the empty text counts as none
    EXPECT_EQ(GetOutputFolder(m_system), GetProgramFolder() + L"Output\\");
}

TEST_F(RegistryFolderTest, WrittenAsExpandableTextWithItsTerminatorAndReadBackUnexpanded) {
    const std::wstring folder = L"C:\\Videos\\%USERNAME%";
    EXPECT_EQ(m_system.WriteStored(folder), 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, bytes = 0;
    RegQueryValueExW(key, kOutputFolderValue, nullptr, &type, nullptr, &bytes);
    std::vector<wchar_t> data(bytes / sizeof(wchar_t));
    RegQueryValueExW(key, kOutputFolderValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                     &bytes);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    ASSERT_EQ(bytes, (folder.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(data.back(), L'\0');
    std::wstring read;
    EXPECT_TRUE(m_system.ReadStored(read));
    EXPECT_EQ(read, folder);
}

TEST_F(RegistryFolderTest, AnyValueTypeReadsAsTextUpToItsFirstZero) {
    struct Case {
        DWORD type;
        std::wstring data; // stored without a terminator unless it holds one
        std::wstring text;
    };
    for (const Case& c : {Case{REG_SZ, L"D:\\NoTerminator", L"D:\\NoTerminator"},
                          Case{REG_BINARY, std::wstring(L"E:\\Bin\0rest", 11), L"E:\\Bin"},
                          Case{REG_MULTI_SZ, std::wstring(L"F:\\A\0G:\\B\0\0", 11), L"F:\\A"}}) {
        SetRaw(c.type, c.data.data(), static_cast<DWORD>(c.data.size() * sizeof(wchar_t)));
        std::wstring read;
        EXPECT_TRUE(m_system.ReadStored(read));
        EXPECT_EQ(read, c.text);
    }
}

TEST_F(RegistryFolderTest, RemovedFolderComesBackButNotWhenItsParentIsGone) {
    const fs::path folder = m_temp / "a" / "b";
    fs::create_directories(folder);
    ASSERT_EQ(m_system.WriteStored(folder.wstring()), 0);
    fs::remove(folder);
    EXPECT_EQ(GetOutputFolder(m_system), folder.wstring());
    EXPECT_TRUE(fs::is_directory(folder));
    fs::remove_all(m_temp / "a");
    EXPECT_EQ(GetOutputFolder(m_system), folder.wstring());
    EXPECT_FALSE(fs::exists(folder));
}

TEST(ProgramFolder, IsTheModulesFolderWithItsTrailingBackslash) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(std::wstring(path).substr(0, folder.size()), folder);
    EXPECT_EQ(std::wstring(path).find(L'\\', folder.size()), std::wstring::npos);
}

// The shell seam: the commands' chooser and shell calls as a test sees them.
class RecordingShell : public IFolderShell {
public:
    bool Browse(std::wstring& folder) override {
        browsed.push_back(folder);
        folder = choice;
        return !choice.empty();
    }
    void Open(const std::wstring& folder) override {
        opened.push_back(folder);
        existedWhenOpened = fs::is_directory(folder);
    }
    std::wstring choice;
    std::vector<std::wstring> browsed, opened;
    bool existedWhenOpened = false;
};

TEST_F(RegistryFolderTest, CommandsReachTheChooserAndTheShellThroughTheSeam) {
    RecordingShell shell;
    SetFolderShell(&shell);
    const fs::path folder = m_temp / "out";
    fs::create_directories(m_temp);
    m_system.WriteStored(folder.wstring());
    OpenOutputFolder(m_system);
    EXPECT_EQ(shell.opened, std::vector<std::wstring>{folder.wstring()});
    EXPECT_TRUE(shell.existedWhenOpened);
    shell.choice = L"C:\\Chosen";
    ChooseOutputFolder(m_system);
    SetFolderShell(nullptr);
    EXPECT_EQ(shell.browsed, std::vector<std::wstring>{folder.wstring()});
    std::wstring stored;
    EXPECT_TRUE(m_system.ReadStored(stored));
    EXPECT_EQ(stored, L"C:\\Chosen");
}

// ---- The real chooser on the test display ----

HWND FindChooser() {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t cls[64] = {}, title[128] = {};
            GetClassNameW(hwnd, cls, 64);
            GetWindowTextW(hwnd, title, 128);
            if (pid == GetCurrentProcessId() && std::wstring(cls) == L"#32770" &&
                std::wstring(title) == L"Browse for Folder" && IsWindowVisible(hwnd)) {
                reinterpret_cast<Search*>(lp)->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTree(HWND parent) {
    HWND found = nullptr;
    EnumChildWindows(
        parent,
        [](HWND hwnd, LPARAM lp) -> BOOL {
            wchar_t cls[64] = {};
            GetClassNameW(hwnd, cls, 64);
            if (std::wstring(cls) == WC_TREEVIEWW) {
                *reinterpret_cast<HWND*>(lp) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring SelectedText(HWND tree) {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item)
        return {};
    wchar_t text[MAX_PATH] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

TEST_F(RegistryFolderTest, RealChooserOpensOnTheFolderAndConfirmsIt) {
    // The default folder's form: with its trailing backslash.
    const fs::path folder = m_temp / "Chosen Output";
    fs::create_directories(folder);
    std::wstring text;
    std::wstring selected;
    bool chose = false;
    // In a new Wine prefix the shell sometimes does not know a folder made a
    // moment ago when the chooser first asks for it, and the selection stops
    // at a parent. That is Wine's first-use race, not the chooser's rule: the
    // chooser is cancelled and opened once more then.
    for (int attempt = 0; attempt < 2 && selected != L"Chosen Output"; ++attempt) {
        text = folder.wstring() + L"\\";
        selected.clear();
        std::atomic<bool> answered{false};
        std::thread driver([&] {
            const auto end = std::chrono::steady_clock::now() + 30s;
            while (std::chrono::steady_clock::now() < end) {
                if (HWND dlg = FindChooser()) {
                    // The selection is made from the chooser's callback once it is up.
                    HWND tree = FindTree(dlg);
                    for (int i = 0; i < 500 && tree && SelectedText(tree) != L"Chosen Output"; ++i)
                        std::this_thread::sleep_for(10ms);
                    if (tree)
                        selected = SelectedText(tree);
                    PostMessageW(dlg, WM_COMMAND, selected == L"Chosen Output" ? IDOK : IDCANCEL,
                                 0);
                    answered = true;
                    return;
                }
                std::this_thread::sleep_for(20ms);
            }
        });
        chose = BrowseForFolder(text);
        driver.join();
        ASSERT_TRUE(answered);
    }
    EXPECT_EQ(selected, L"Chosen Output");
    EXPECT_TRUE(chose);
    EXPECT_EQ(fs::path(text), folder); // no trailing backslash now
}

} // namespace
