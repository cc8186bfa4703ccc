#include "settings/output_folder.h"

std::wstring ProgramFolderOf(const std::wstring& modulePath) {
    const std::size_t slash = modulePath.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : modulePath.substr(0, slash + 1);
}

std::wstring ReadOutputFolder(IOutputFolderSystem& system, const std::wstring& defaultFolder) {
    std::wstring stored;
    return system.ReadStored(stored) ? stored : defaultFolder;
}

std::wstring ResolveOutputFolder(IOutputFolderSystem& system) {
    std::wstring folder = ReadOutputFolder(system, std::wstring());
    if (folder.empty())
        folder = system.ProgramFolder() + kDefaultOutputFolderName;
    return folder;
}

std::wstring GetOutputFolder(IOutputFolderSystem& system) {
    std::wstring folder = ResolveOutputFolder(system);
    system.CreateFolder(folder);
    return folder;
}

void ChooseOutputFolder(IOutputFolderSystem& system) {
    std::wstring folder = GetOutputFolder(system);
    if (system.BrowseForFolder(folder))
        system.WriteStored(folder);
}

void OpenOutputFolder(IOutputFolderSystem& system) {
    system.OpenWithShell(GetOutputFolder(system));
}
