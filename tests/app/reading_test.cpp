// The real program reading pages of the stand-in site on its worker while it is
// closed: a close asked for during the reading waits for the pages and saves
// them; a program whose reading was cancelled on a page that never comes ends
// at once all the same.
#include "framework/archive.h"
#include "framework/disk_file.h"
#include "model/movie_list.h"
#include "program_driver.h"
#include "res/resource.h"
#include "standin/server.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

using namespace tb_test;
using namespace std::chrono_literals;

namespace {

// The program reads the site of this test for as long as the object lives.
class SiteRoot {
public:
    explicit SiteRoot(const std::wstring& root) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\TorvanePelgrane", L"SiteRoot", REG_SZ,
                        root.c_str(), static_cast<DWORD>((root.size() + 1) * sizeof(wchar_t)));
    }
    ~SiteRoot() {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\TorvanePelgrane", L"SiteRoot");
    }
};

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

// The addresses of a saved project as it enumerates after loading: a list
// saved and loaded once comes back in the order of its adds.
std::vector<std::wstring> SavedUrls(const std::wstring& path) {
    CYoutubeFileList saved;
    LoadFromFile(path, [&](CArchive& ar) { saved.Serialize(ar); });
    std::vector<std::wstring> urls;
    for (auto pos = saved.GetStartPosition(); pos;) {
        std::uint16_t key;
        MoviePtr movie;
        saved.GetNextAssoc(pos, key, movie);
        urls.push_back(movie->m_strUrl);
    }
    return urls;
}

class Reading : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<standin::Movie>& catalogue = standin::Catalogue();
        movies.assign(catalogue.begin(), catalogue.begin() + 3);
        site.AddPage("/three", standin::LinkPage(movies));
        for (const std::string& target : standin::LinkPageTargets(movies))
            links.push_back(site.WideRoot() + Wide(target));
        // The last page sends a little, then nothing until released.
        standin::FaultSpec stall;
        stall.kind = standin::Fault::Stall;
        stall.afterBytes = 100;
        site.SetFault("/" + standin::LinkPageTargets(movies)[2], stall);
    }

    // Starts a Batch Add of the three links; the progress window once the
    // third page is held, or null.
    HWND StartBatchAdd() {
        if (!program.Start())
            return nullptr;
        main = program.WaitMainWindow();
        if (!main)
            return nullptr;
        PostMessageW(main, WM_COMMAND, ID_MOVIES_BATCH_ADD, 0);
        HWND add = program.WaitWindowTitled(L"Dialog");
        if (!add)
            return nullptr;
        const std::wstring address = site.WideRoot() + L"three";
        SetDlgItemTextW(add, IDC_ADDRESS, address.c_str());
        PostMessageW(add, WM_COMMAND, IDOK, 0);
        if (!site.WaitForStalls(1, 20s))
            return nullptr;
        return program.WaitWindowTitled(L"Adding movies");
    }

    standin::Server site;
    SiteRoot root{site.WideRoot()};
    std::vector<standin::Movie> movies;
    std::vector<std::wstring> links;
    ProgramDriver program;
    HWND main = nullptr;
};

TEST_F(Reading, CloseDuringTheReadingWaitsForThePagesAndSavesThem) {
    HWND progress = StartBatchAdd();
    ASSERT_NE(progress, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    // Still reading: the program and its progress window stay.
    EXPECT_EQ(program.WaitExit(1s), -1);
    EXPECT_TRUE(IsWindowVisible(progress));
    site.ReleaseStalls();
    ASSERT_EQ(program.WaitExit(), 0);
    EXPECT_EQ(SavedUrls(program.DefaultProject()), links);
}

TEST_F(Reading, ProgramEndsAtOnceAfterACancelLeftAStalledReadBehind) {
    HWND progress = StartBatchAdd();
    ASSERT_NE(progress, nullptr);
    PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(progress); }));
    PostMessageW(main, WM_CLOSE, 0, 0);
    // The stalled page is never released: a program that waited for it
    // would not end.
    ASSERT_EQ(program.WaitExit(), 0);
    EXPECT_EQ(SavedUrls(program.DefaultProject()), (std::vector<std::wstring>{links[0], links[1]}));
}

} // namespace
