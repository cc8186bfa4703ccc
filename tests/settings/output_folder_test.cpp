// The output-folder rules over a store and a shell held in memory.
#include "settings/output_folder.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

class MemorySystem : public IOutputFolderSystem {
public:
    bool ReadStored(std::wstring& folder) override {
        if (!stored)
            return false;
        folder = *stored;
        return true;
    }
    int WriteStored(const std::wstring& folder) override {
        if (writeFails)
            return -1;
        stored = folder;
        return 0;
    }
    std::wstring ProgramFolder() override { return L"C:\\Prog\\"; }
    void CreateFolder(const std::wstring& folder) override { created.push_back(folder); }
    bool BrowseForFolder(std::wstring& folder) override {
        browsedFrom.push_back(folder);
        if (!choice)
            return false;
        folder = *choice;
        return true;
    }
    void OpenWithShell(const std::wstring& folder) override {
        // The folder must exist by the time the shell is asked to open it.
        EXPECT_FALSE(created.empty());
        EXPECT_EQ(created.back(), folder);
        opened.push_back(folder);
    }

    std::optional<std::wstring> stored;
    std::optional<std::wstring> choice;
    bool writeFails = false;
    std::vector<std::wstring> created, browsedFrom, opened;
};

TEST(OutputFolder, DefaultWhenNothingOrTheEmptyTextIsStoredAndCreatedEachTime) {
    MemorySystem system;
    EXPECT_EQ(GetOutputFolder(system), L"C:\\Prog\\Output\\");
    system.stored = L"";
    EXPECT_EQ(GetOutputFolder(system), L"C:\\Prog\\Output\\");
    system.stored = L"D:\\Videos";
    EXPECT_EQ(GetOutputFolder(system), L"D:\\Videos");
    EXPECT_EQ(system.created,
              (std::vector<std::wstring>{L"C:\\Prog\\Output\\", L"C:\\Prog\\Output\\", L"D:\\Videos"}));
    EXPECT_EQ(ReadOutputFolder(system, L"dflt"), L"D:\\Videos");
    system.stored.reset();
    EXPECT_EQ(ReadOutputFolder(system, L"dflt"), L"dflt");
}

TEST(OutputFolder, ChooserStartsAtTheCurrentFolderAndStoresOnlyAConfirmedChoice) {
    MemorySystem system;
    ChooseOutputFolder(system); // cancelled
    EXPECT_FALSE(system.stored);
    system.choice = L"E:\\New";
    ChooseOutputFolder(system);
    EXPECT_EQ(system.stored, std::optional<std::wstring>(L"E:\\New"));
    ChooseOutputFolder(system);
    EXPECT_EQ(system.browsedFrom,
              (std::vector<std::wstring>{L"C:\\Prog\\Output\\", L"C:\\Prog\\Output\\", L"E:\\New"}));
}

TEST(OutputFolder, OpenCreatesTheFolderFirst) {
    MemorySystem system;
    system.stored = L"F:\\Gone";
    OpenOutputFolder(system);
    EXPECT_EQ(system.opened, std::vector<std::wstring>{L"F:\\Gone"});
}

TEST(OutputFolder, ProgramFolderKeepsItsTrailingBackslash) {
    EXPECT_EQ(ProgramFolderOf(L"C:\\App\\prog.exe"), L"C:\\App\\");
    EXPECT_EQ(ProgramFolderOf(L"C:\\prog.exe"), L"C:\\");
    EXPECT_EQ(ProgramFolderOf(L"prog.exe"), L"");
}

} // namespace
