// Output file names from titles taken off web pages.
#include "download/safe_name.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

struct NameCase {
    const wchar_t* title;
    const wchar_t* name;
};

class SafeFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeFileNameTest, MakesTheTitleHarmless) {
    EXPECT_EQ(SafeFileName(GetParam().title, 200), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, SafeFileNameTest,
    ::testing::Values(NameCase{L"A valid title (2008) - part 1", L"A valid title (2008) - part 1"},
                      NameCase{L"\u00c9t\u00e9 \u65e5\u672c", L"\u00c9t\u00e9 \u65e5\u672c"},
                      NameCase{L"..\\..\\x", L".._.._x"}, NameCase{L"../../x", L".._.._x"},
                      NameCase{L"a:b?", L"a_b_"}, NameCase{L"<>\"|*", L"_____"},
                      NameCase{L"tab\there\x01", L"tab_here_"}, NameCase{L"CON", L"_CON"},
                      NameCase{L"con", L"_con"}, NameCase{L"Nul.txt", L"_Nul.txt"},
                      NameCase{L"COM1", L"_COM1"}, NameCase{L"lpt9 .x", L"_lpt9 .x"},
                      NameCase{L"COM0", L"COM0"}, NameCase{L"CONSOLE", L"CONSOLE"},
                      NameCase{L"COM\u00b9", L"_COM\u00b9"},
                      NameCase{L"lpt\u00b3.x", L"_lpt\u00b3.x"},
                      NameCase{L"COM\u00b2 ", L"_COM\u00b2 "}, NameCase{L"LPT\u2074", L"LPT\u2074"},
                      NameCase{L"CON.", L"_CON."}, NameCase{L"title. . ", L"title. . "},
                      NameCase{L"Wait for it...", L"Wait for it..."}, NameCase{L"", L"Video"},
                      NameCase{L"...", L"..."}, NameCase{L"  ", L"  "}));

TEST(SafeFileName, CutsToTheRoomLeftAndNeverSplitsASurrogatePair) {
    EXPECT_EQ(SafeFileName(std::wstring(300, L'a'), 10), std::wstring(10, L'a'));
    // A cut that lands on a device name still gives a harmless one.
    EXPECT_EQ(SafeFileName(L"CONSOLE", 3), L"_CO");
    std::wstring pair = L"ab";
    pair += static_cast<wchar_t>(0xD83D);
    pair += static_cast<wchar_t>(0xDE00);
    EXPECT_EQ(SafeFileName(pair, 3), L"ab");
    EXPECT_EQ(SafeFileName(pair, 4), pair);
}

TEST(OutputFilePath, FolderTextUnchangedAndWholePathWithinTheLimit) {
    EXPECT_EQ(OutputFilePath(L"C:\\Out", L"t"), L"C:\\Out\\t.flv");
    // The default folder ends in a backslash: two in a row, as the file system allows.
    EXPECT_EQ(OutputFilePath(L"C:\\App\\Output\\", L""), L"C:\\App\\Output\\\\Video.flv");
    const std::wstring folder = L"C:\\Some\\Output";
    const std::wstring path = OutputFilePath(folder, std::wstring(300, L'x'));
    EXPECT_EQ(path.size(), kMaxPathChars);
    EXPECT_EQ(path.substr(0, folder.size() + 1), folder + L"\\");
    EXPECT_EQ(path.substr(path.size() - 4), L".flv");
}

#ifdef _WIN32
// Titles that differ only in trailing dots or blanks, or that are nothing but
// dots or blanks, must reach files of their own on the real file system.
// (Windows only: elsewhere the backslash before the name is no separator.)
TEST(OutputFilePath, TitlesThatDifferOnlyAtTheEndGetFilesOfTheirOwn) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() /
        ("tb_names_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    const std::wstring titles[] = {
        L"Wait for it", L"Wait for it...", L"Wait for it. ", L"...", L"  ", L""};
    std::set<fs::path> written;
    for (const std::wstring& title : titles) {
        const fs::path path = OutputFilePath(folder.wstring(), title);
        std::ofstream(path, std::ios::binary) << "x";
        written.insert(path.filename());
    }
    std::set<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        found.insert(entry.path().filename());
    fs::remove_all(folder);
    EXPECT_EQ(written.size(), std::size(titles));
    EXPECT_EQ(found, written);
}
#endif

} // namespace
