#include "settings/settings.h"

#include "framework/user_settings.h"

#include <windows.h>

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>

namespace {

// Generous: far above any path the chooser returns, small enough that a
// corrupt value cannot exhaust memory.
constexpr std::size_t kMaxStoredBytes = 64 * 1024;

int CALLBACK BrowseCallbackProc(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED)
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

class COleScope {
public:
    COleScope() : m_bInitialized(SUCCEEDED(OleInitialize(nullptr))) {}
    ~COleScope() {
        if (m_bInitialized)
            OleUninitialize();
    }
    COleScope(const COleScope&) = delete;
    COleScope& operator=(const COleScope&) = delete;

private:
    bool m_bInitialized;
};

class CRealFolderShell : public IFolderShell {
public:
    bool Browse(std::wstring& folder) override { return BrowseForFolder(folder); }
    void Open(const std::wstring& folder) override {
        ShellExecuteW(nullptr, nullptr, folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
};

std::atomic<IFolderShell*> g_folderShell{nullptr};

IFolderShell& CurrentFolderShell() {
    IFolderShell* shell = g_folderShell.load();
    return shell ? *shell : SystemFolderShell();
}

} // namespace

IFolderShell& SystemFolderShell() {
    static CRealFolderShell shell;
    return shell;
}

void SetFolderShell(IFolderShell* shell) { g_folderShell = shell; }

bool CRegistryOutputFolder::ReadStored(std::wstring& folder) {
    return ReadUserTextAnyType(m_strKey, kOutputFolderValue, folder, kMaxStoredBytes);
}

int CRegistryOutputFolder::WriteStored(const std::wstring& folder) {
    return WriteUserExpandString(m_strKey, kOutputFolderValue, folder) ==
                   UserWriteResult::ValueNotWritten
               ? -1
               : 0;
}

std::wstring CRegistryOutputFolder::ProgramFolder() { return GetProgramFolder(); }

void CRegistryOutputFolder::CreateFolder(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
}

bool CRegistryOutputFolder::BrowseForFolder(std::wstring& folder) {
    return CurrentFolderShell().Browse(folder);
}

void CRegistryOutputFolder::OpenWithShell(const std::wstring& folder) {
    CurrentFolderShell().Open(folder);
}

std::wstring GetProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(GetModuleHandleW(nullptr), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    return std::wstring(path, PathFindFileNameW(path));
}

std::wstring ReadOutputFolder(const std::wstring& defaultFolder) {
    CRegistryOutputFolder system;
    return ReadOutputFolder(system, defaultFolder);
}

int WriteOutputFolder(const std::wstring& folder) {
    CRegistryOutputFolder system;
    return system.WriteStored(folder);
}

std::wstring GetOutputFolder() {
    CRegistryOutputFolder system;
    return GetOutputFolder(system);
}

std::wstring ResolveOutputFolder() {
    CRegistryOutputFolder system;
    return ResolveOutputFolder(system);
}

bool BrowseForFolder(std::wstring& folder) {
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.pszDisplayName = displayName;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallbackProc;
    // The default folder ends in a backslash; not every chooser selects a path
    // written that way (Wine's does not), so the selection is given without it.
    std::wstring selection = folder;
    while (selection.size() > 3 && selection.back() == L'\\')
        selection.pop_back();
    info.lParam = reinterpret_cast<LPARAM>(selection.c_str());
    PIDLIST_ABSOLUTE items = nullptr;
    {
        COleScope ole;
        items = SHBrowseForFolderW(&info);
    }
    if (!items)
        return false;
    wchar_t path[MAX_PATH] = {};
    const bool hasPath = SHGetPathFromIDListW(items, path) != FALSE;
    CoTaskMemFree(items);
    if (!hasPath)
        return false;
    folder = path;
    return true;
}

void OnOutputFolder() {
    CRegistryOutputFolder system;
    ChooseOutputFolder(system);
}

void OnOpenOutputFolder() {
    CRegistryOutputFolder system;
    OpenOutputFolder(system);
}
