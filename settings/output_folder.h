#pragma once
// The output folder every download writes into: a per-user setting, or the
// folder "Output" in the program's folder when none is stored. It is resolved
// afresh on every use, and each resolution creates the folder's last level
// when it is missing, so a folder the user removed comes back.
//
// The rules here are portable and work on an IOutputFolderSystem; the Win32
// side (registry, shell, folder chooser) is in settings/settings.h.
#include <string>

// Where the setting lives under the user's part of the registry.
inline constexpr wchar_t kSettingsKey[] = L"Software\\TorvanePelgrane";
inline constexpr wchar_t kOutputFolderValue[] = L"OutputFolder";
inline constexpr wchar_t kDefaultOutputFolderName[] = L"Output\\";

// What the output-folder rules need of the system.
class IOutputFolderSystem {
public:
    virtual ~IOutputFolderSystem() = default;
    // The stored folder text; false when nothing can be read.
    virtual bool ReadStored(std::wstring& folder) = 0;
    // 0 when written or when the store could not be opened; -1 when it was
    // opened but the value was not written.
    virtual int WriteStored(const std::wstring& folder) = 0;
    // The program's folder with its trailing backslash.
    virtual std::wstring ProgramFolder() = 0;
    // Creates the last level of `folder`; failures are not reported.
    virtual void CreateFolder(const std::wstring& folder) = 0;
    // Shows the folder chooser with `folder` selected; true and the chosen
    // path in `folder` when the user confirmed a file-system folder.
    virtual bool BrowseForFolder(std::wstring& folder) = 0;
    // Opens `folder` in the system's file browser.
    virtual void OpenWithShell(const std::wstring& folder) = 0;
};

// The folder part of a module's full path, trailing separator kept
// ("C:\\App\\prog.exe" -> "C:\\App\\").
std::wstring ProgramFolderOf(const std::wstring& modulePath);
// The stored folder, or `defaultFolder` when none can be read.
std::wstring ReadOutputFolder(IOutputFolderSystem& system, const std::wstring& defaultFolder);
// The stored folder, or the default one when none (or the empty text) is
// stored; the folder is created on the way.
std::wstring GetOutputFolder(IOutputFolderSystem& system);
// The same folder text without creating anything (a download creates the
// folder itself, when its run still allows changes).
std::wstring ResolveOutputFolder(IOutputFolderSystem& system);
// The Output folder command: resolve, show the chooser on that folder, store
// the user's choice. Nothing is shown or redrawn afterwards.
void ChooseOutputFolder(IOutputFolderSystem& system);
// The Open output folder commands: resolve (creating the folder), then open it.
void OpenOutputFolder(IOutputFolderSystem& system);
