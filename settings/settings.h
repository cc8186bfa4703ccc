#pragma once
// The output folder and the program folder on Windows: the setting in the
// user's registry, the folder chooser and the shell. The rules themselves are
// in settings/output_folder.h.
//
// The chooser and the shell go through an IFolderShell, so tests can watch
// (or answer) them without a person in front of the screen.
#include "settings/output_folder.h"

#include <string>
#include <utility>

// The program's folder with its trailing backslash.
std::wstring GetProgramFolder();
// The stored folder (opening the key creates it), or `defaultFolder`.
std::wstring ReadOutputFolder(const std::wstring& defaultFolder);
// 0 when written or when the key was not opened, -1 when the key was opened
// but the value was not written.
int WriteOutputFolder(const std::wstring& folder);
// Resolves the output folder afresh and creates its last level when missing.
std::wstring GetOutputFolder();
// Resolves the output folder afresh without creating it.
std::wstring ResolveOutputFolder();
// The system's folder chooser, opening with `folder` selected; true and the
// chosen path in `folder` when the user confirmed a file-system folder.
bool BrowseForFolder(std::wstring& folder);
// The document's Output folder command and the view's Open output folder
// commands.
void OnOutputFolder();
void OnOpenOutputFolder();

// The chooser and the shell as the commands reach them.
class IFolderShell {
public:
    virtual ~IFolderShell() = default;
    virtual bool Browse(std::wstring& folder) = 0;
    virtual void Open(const std::wstring& folder) = 0;
};
// The real ones: BrowseForFolder and ShellExecuteW.
IFolderShell& SystemFolderShell();
// Routes the commands' chooser and shell calls to `shell` (nullptr: the real
// ones again). For tests; set it while no command runs.
void SetFolderShell(IFolderShell* shell);

// The registry-backed IOutputFolderSystem under `keyPath` (normally
// kSettingsKey; tests pass a key of their own).
class CRegistryOutputFolder : public IOutputFolderSystem {
public:
    explicit CRegistryOutputFolder(std::wstring keyPath = kSettingsKey)
        : m_strKey(std::move(keyPath)) {}
    bool ReadStored(std::wstring& folder) override;
    int WriteStored(const std::wstring& folder) override;
    std::wstring ProgramFolder() override;
    void CreateFolder(const std::wstring& folder) override;
    bool BrowseForFolder(std::wstring& folder) override;
    void OpenWithShell(const std::wstring& folder) override;

private:
    std::wstring m_strKey;
};
