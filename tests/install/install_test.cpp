// The packages as a user meets them: the installer run silently for the
// current user, the program started from where it was installed, opened
// through the shell and removed again; and the portable zip's folder run from
// a folder of the user's.
#include "../app/program_driver.h"
#include "res/version.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

using namespace tb_test;
namespace fs = std::filesystem;

namespace {

constexpr wchar_t kUninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kEntry[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TorvaneBrenlow";
constexpr wchar_t kProgId[] = L"Software\\Classes\\Velmora.Document";
constexpr wchar_t kProgram[] = L"TorvaneBrenlow.exe";
constexpr wchar_t kOlderVersion[] = L"0.9.0.0";

const std::vector<std::uint8_t> kEmptyProject = {0, 0, 0, 0};
// One movie under key 0: address "ab", title "T", size 74,565, Completed.
const std::vector<std::uint8_t> kOneMovie = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFE, 0xFF, 0x02, 0x61,
    0x00, 0x62, 0x00, 0xFF, 0xFE, 0xFF, 0x01, 0x54, 0x00, 0x45, 0x23, 0x01, 0x00,
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFE, 0xFF, 0x00};

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        result = path;
    CoTaskMemFree(path);
    return result;
}

// The installers the build made: this version's beside the program's build,
// and an older one (shipping one file more) beside this test.
std::wstring Installer(const std::wstring& version) {
    if (version == kOlderVersion)
        return ModuleFolder() + L"TorvaneBrenlow-" + version + L"-setup.exe";
    return ModuleFolder() + L"..\\..\\package\\TorvaneBrenlow-" + version + L"-setup.exe";
}
const std::wstring kVersion = TEXT(TB_VERSION_TEXT);

std::wstring InstallFolder() {
    return KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Torvane Brenlow\\";
}
std::wstring ShortcutPath() {
    return KnownFolder(FOLDERID_Programs) + L"\\Torvane Brenlow.lnk";
}

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

std::wstring RegText(const std::wstring& key, const wchar_t* value) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

DWORD RegNumber(const std::wstring& key, const wchar_t* value) {
    DWORD data = 0xFFFFFFFF;
    DWORD size = sizeof data;
    RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size);
    return data;
}

// The removal entries, of any key name, that carry the program's name.
int EntriesNamedForTheProgram() {
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallRoot, 0, KEY_READ, &root) != ERROR_SUCCESS)
        return 0;
    int count = 0;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(root, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (RegText(std::wstring(kUninstallRoot) + L"\\" + name, L"DisplayName") ==
            L"Torvane Brenlow")
            ++count;
    }
    RegCloseKey(root);
    return count;
}

// Runs a command line and waits for it; its exit code, or -1.
// Waits for the processes that `parent` started; the uninstaller hands its
// work to a copy of itself in the temporary folder and ends at once.
void WaitForChildren(DWORD parent) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parent)
            continue;
        if (HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            WaitForSingleObject(child, 120000);
            CloseHandle(child);
        }
    }
    CloseHandle(snapshot);
}

// Runs a command line and waits for it and what it started; its exit code, or -1.
int RunAndWait(const std::wstring& commandLine) {
    std::wstring cmd = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
        WaitForChildren(pi.dwProcessId);
    } else {
        TerminateProcess(pi.hProcess, 99);
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

int Install(const std::wstring& version) {
    return RunAndWait(L"\"" + Installer(version) + L"\" /S");
}

std::wstring FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<std::uint8_t> block(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length))
        return L"<none>";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionLS));
}

std::set<std::wstring> FilesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(folder), ec))
        names.insert(entry.path().filename().wstring() + (entry.is_directory() ? L"\\" : L""));
    return names;
}

std::string ReadText(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::wstring LongPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetLongPathNameW(path.c_str(), buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(LongPath(a).c_str(), -1, LongPath(b).c_str(), -1, TRUE) ==
           CSTR_EQUAL;
}

struct Shortcut {
    std::wstring target, folder;
};

// What the Start-menu shortcut starts, read through the shell's link object.
Shortcut ReadShortcut(const std::wstring& path) {
    Shortcut result;
    IShellLinkW* link = nullptr;
    if (FAILED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))))
        return result;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t buffer[MAX_PATH] = {};
            if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, 0)))
                result.target = buffer;
            if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH)))
                result.folder = buffer;
        }
        file->Release();
    }
    link->Release();
    return result;
}

// Starts the installed program, lets it register its file type and write its
// default project, and closes it.
void StartAndClose(const std::wstring& folder) {
    ProgramDriver program(folder);
    ASSERT_TRUE(program.Start());
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(program.WaitExit(), 0);
}

// Removes the program as the list of installed programs does, silently.
bool Uninstall() {
    std::wstring command = RegText(kEntry, L"QuietUninstallString");
    return command != L"<missing>" && RunAndWait(command) == 0 && !KeyExists(kEntry);
}

// Every test starts with no copy installed and leaves none behind, user files
// included, so the prefix stays as the other tests expect it.
class Installed : public ::testing::Test {
protected:
    static void Clear() {
        if (KeyExists(kEntry))
            Uninstall();
        std::error_code ec;
        fs::remove_all(fs::path(InstallFolder()), ec);
        DeleteFileW(ShortcutPath().c_str());
    }
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Clear();
    }
    void TearDown() override {
        Clear();
        CoUninitialize();
    }
};

// Wine grants what a program asks for, so the silent install below cannot
// show that no elevation is needed: the installer's own manifest does.
TEST(InstallerFile, AsksForNoElevationAndCarriesTheVersion) {
    const std::wstring installer = Installer(kVersion);
    EXPECT_EQ(FileVersion(installer), kVersion);
    HMODULE module = LoadLibraryExW(installer.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    std::string manifest;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
        manifest.assign(bytes, SizeofResource(module, found));
    }
    FreeLibrary(module);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
}

TEST_F(Installed, ProgramShortcutAndRemovalEntryAreInPlace) {
    ASSERT_EQ(Install(kVersion), 0);
    const std::wstring folder = InstallFolder();
    const std::wstring program = folder + kProgram;
    EXPECT_EQ(FilesIn(folder),
              (std::set<std::wstring>{kProgram, L"ReadMe.txt", L"Licences.txt", L"Uninstall.exe"}));
    // The version of res/version.h reached the program's version block.
    EXPECT_EQ(FileVersion(program), kVersion);

    Shortcut shortcut = ReadShortcut(ShortcutPath());
    EXPECT_TRUE(SamePath(shortcut.target, program)) << shortcut.target;
    EXPECT_TRUE(SamePath(shortcut.folder, folder.substr(0, folder.size() - 1))) << shortcut.folder;

    EXPECT_EQ(RegText(kEntry, L"DisplayName"), L"Torvane Brenlow");
    EXPECT_EQ(RegText(kEntry, L"DisplayVersion"), kVersion);
    EXPECT_EQ(RegText(kEntry, L"Publisher"), L"Velmora Software");
    EXPECT_EQ(RegText(kEntry, L"DisplayIcon"), program + L",0");
    EXPECT_EQ(RegText(kEntry, L"UninstallString"), L"\"" + folder + L"Uninstall.exe\"");
    EXPECT_EQ(RegText(kEntry, L"QuietUninstallString"), L"\"" + folder + L"Uninstall.exe\" /S");
    EXPECT_TRUE(SamePath(RegText(kEntry, L"InstallLocation"), folder.substr(0, folder.size() - 1)));
    EXPECT_EQ(RegNumber(kEntry, L"NoModify"), 1u);
    EXPECT_EQ(RegNumber(kEntry, L"VersionMajor"), static_cast<DWORD>(TB_VERSION_MAJOR));
    EXPECT_EQ(RegNumber(kEntry, L"VersionMinor"), static_cast<DWORD>(TB_VERSION_MINOR));
    EXPECT_EQ(EntriesNamedForTheProgram(), 1);
}

TEST_F(Installed, ProgramStartsFromItsFolderAndKeepsItsProjectThere) {
    ASSERT_EQ(Install(kVersion), 0);
    StartAndClose(InstallFolder());
    EXPECT_EQ(ReadBytes(InstallFolder() + L"Default.torvane"), kEmptyProject);
}

TEST_F(Installed, ProjectFileOpensThroughTheShell) {
    ASSERT_EQ(Install(kVersion), 0);
    StartAndClose(InstallFolder()); // the program registers the file type itself
    wchar_t command[1024] = {};
    DWORD length = 1024;
    if (FAILED(AssocQueryStringW(0, ASSOCSTR_COMMAND, L".torvane", L"open", command, &length)))
        GTEST_SKIP() << "the shell does not see the per-user registration of .torvane";

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring project = std::wstring(temp) + L"tb_install_Mine.torvane";
    WriteBytes(project, kOneMovie);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = project.c_str();
    info.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&info)) << GetLastError();
    ASSERT_NE(info.hProcess, nullptr);
    const DWORD pid = GetProcessId(info.hProcess);

    // The installed program shows the project in its title.
    wchar_t image[MAX_PATH] = {};
    DWORD imageLength = MAX_PATH;
    QueryFullProcessImageNameW(info.hProcess, 0, image, &imageLength);
    EXPECT_TRUE(SamePath(image, InstallFolder() + kProgram)) << image;
    struct Find {
        DWORD pid;
        HWND found;
    } find{pid, nullptr};
    ASSERT_TRUE(WaitFor([&] {
        EnumWindows(
            [](HWND hwnd, LPARAM lParam) -> BOOL {
                auto* f = reinterpret_cast<Find*>(lParam);
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                if (owner == f->pid && IsWindowVisible(hwnd) &&
                    ProgramDriver::TextOf(hwnd).find(L"tb_install_Mine.torvane") !=
                        std::wstring::npos) {
                    f->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&find));
        return find.found != nullptr;
    }));
    PostMessageW(find.found, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    DeleteFileW(project.c_str());
}

TEST_F(Installed, RemovalTakesWhatWasInstalledAndKeepsTheUsersWork) {
    ASSERT_EQ(Install(kVersion), 0);
    const std::wstring folder = InstallFolder();
    StartAndClose(folder);
    ASSERT_TRUE(KeyExists(kProgId)); // registered by the program, pointing at this copy
    WriteBytes(folder + L"Mine.torvane", kOneMovie);
    CreateDirectoryW((folder + L"Output").c_str(), nullptr);
    WriteBytes(folder + L"Output\\T.flv", {'F', 'L', 'V', 1});

    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(FilesIn(folder),
              (std::set<std::wstring>{L"Default.torvane", L"Mine.torvane", L"Output\\"}));
    EXPECT_EQ(ReadBytes(folder + L"Mine.torvane"), kOneMovie);
    EXPECT_EQ(ReadBytes(folder + L"Output\\T.flv"), (std::vector<std::uint8_t>{'F', 'L', 'V', 1}));
    EXPECT_FALSE(Exists(ShortcutPath()));
    EXPECT_EQ(EntriesNamedForTheProgram(), 0);
    // The file type pointed at the removed program, so it went with it.
    EXPECT_FALSE(KeyExists(kProgId));
    EXPECT_FALSE(KeyExists(L"Software\\Classes\\.torvane"));
}

TEST_F(Installed, RemovalTakesAnEmptyOutputFolderAndKeepsTheDefaultProject) {
    ASSERT_EQ(Install(kVersion), 0);
    const std::wstring folder = InstallFolder();
    StartAndClose(folder);
    ASSERT_TRUE(CreateDirectoryW((folder + L"Output").c_str(), nullptr));
    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(FilesIn(folder), (std::set<std::wstring>{L"Default.torvane"}));
}

TEST_F(Installed, RemovalLeavesAFileTypeOfAnotherCopyAlone) {
    ASSERT_EQ(Install(kVersion), 0);
    ProgramDriver portable; // a copy of the program in a folder of its own
    ASSERT_TRUE(portable.Start());
    HWND main = portable.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(portable.WaitExit(), 0);
    const std::wstring command = RegText(std::wstring(kProgId) + L"\\shell\\open\\command", L"");

    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(RegText(std::wstring(kProgId) + L"\\shell\\open\\command", L""), command);
    EXPECT_EQ(RegText(L"Software\\Classes\\.torvane", L""), L"Velmora.Document");
}

TEST_F(Installed, InstallingAgainOrOverAnOlderVersionLeavesOneWorkingCopy) {
    for (const std::wstring& first : {kVersion, std::wstring(kOlderVersion)}) {
        SCOPED_TRACE(first);
        Clear();
        const std::wstring folder = InstallFolder();
        ASSERT_EQ(Install(first), 0);
        EXPECT_EQ(RegText(kEntry, L"DisplayVersion"), first);
        WriteBytes(folder + L"Default.torvane", kOneMovie);

        ASSERT_EQ(Install(kVersion), 0);
        EXPECT_EQ(EntriesNamedForTheProgram(), 1);
        EXPECT_EQ(RegText(kEntry, L"DisplayVersion"), kVersion);
        // The older version's own file went with it; the user's project stayed.
        EXPECT_EQ(FilesIn(folder), (std::set<std::wstring>{kProgram, L"ReadMe.txt", L"Licences.txt",
                                                           L"Uninstall.exe", L"Default.torvane"}));
        EXPECT_TRUE(Exists(ShortcutPath()));
        EXPECT_EQ(ReadBytes(folder + L"Default.torvane"), kOneMovie);
        StartAndClose(folder);
        EXPECT_EQ(ReadBytes(folder + L"Default.torvane"), kOneMovie);
    }
}

TEST_F(Installed, ARunningProgramIsNotReplaced) {
    ASSERT_EQ(Install(kVersion), 0);
    const std::wstring folder = InstallFolder();
    ProgramDriver program(folder);
    ASSERT_TRUE(program.Start());
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);

    // A silent run cannot ask the user to close it: it fails and changes
    // nothing. The uninstaller runs in place here, so its exit code is its own.
    EXPECT_NE(Install(kVersion), 0);
    const std::wstring uninstaller = folder + L"Uninstall.exe";
    EXPECT_NE(RunAndWait(L"\"" + uninstaller + L"\" /S _?=" + folder.substr(0, folder.size() - 1)),
              0);
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(Exists(folder + kProgram));
    EXPECT_TRUE(Exists(folder + L"Uninstall.exe"));
    EXPECT_EQ(RegText(kEntry, L"DisplayVersion"), kVersion);

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitExit(), 0);
}

TEST(Portable, ZipFolderRunsFromAFolderOfTheUsers) {
    // The zip as the build unpacked it, copied to a folder of the user's.
    const std::wstring unpacked = ModuleFolder() + L"unpacked\\Torvane Brenlow\\";
    EXPECT_EQ(FilesIn(unpacked),
              (std::set<std::wstring>{kProgram, L"ReadMe.txt", L"Licences.txt"}));
    EXPECT_EQ(FileVersion(unpacked + kProgram), kVersion);
    const std::string licences = ReadText(unpacked + L"Licences.txt");
    EXPECT_NE(licences.find("Tango Icon Library"), std::string::npos);
    EXPECT_NE(licences.find("public domain"), std::string::npos);
    EXPECT_NE(ReadText(unpacked + L"ReadMe.txt").find("Torvane Brenlow " TB_VERSION_TEXT "\r\n"),
              std::string::npos);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"tb_portable_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (const std::wstring& name : FilesIn(unpacked))
        ASSERT_TRUE(CopyFileW((unpacked + name).c_str(), (folder + name).c_str(), TRUE)) << name;
    {
        ProgramDriver program(folder);
        ASSERT_TRUE(program.Start());
        HWND main = program.WaitMainWindow();
        ASSERT_NE(main, nullptr);
        PostMessageW(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(program.WaitExit(), 0);
        EXPECT_EQ(ReadBytes(folder + L"Default.torvane"), kEmptyProject);
    }
    std::error_code ec;
    fs::remove_all(fs::path(folder), ec);
}

} // namespace
