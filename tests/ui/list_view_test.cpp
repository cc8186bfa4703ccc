// The movie list view as a real window in this process, built through the
// program's document template: rows from the records and back, check marks
// by posted clicks, Del through the accelerators, Open URL through the view's
// shell seam, command states of the two menus, and download runs against the
// stand-in site through real WinInet, watched tick by tick.
#include "framework/frame.h"
#include "main_window_fixture.h"
#include "res/resource.h"
#include "standin/server.h"
#include "ui/maker_site.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

using tb::test::App;
using tb::test::PumpUntil;
using tb::test::Wide;

class ListView : public tb::test::MainWindowTest {
protected:
    ListView() : MainWindowTest(L"tb_list_") {}
    void ConfigureDocument(CPelgraneDoc& made) override {
        made.SetSite(&reader, nullptr, site.WideRoot());
        made.SetDefaultProjectPath(DefaultProject());
        UseScratchOutput(made);
    }
    void SetUp() override {
        MainWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        list = &view->m_listMovies;
        view->m_shellOpen = [this](const std::wstring& target) { opened.push_back(target); };
        SetWindowPos(frame->m_hWnd, nullptr, 0, 0, 900, 600, SWP_NOZORDER | SWP_NOMOVE);
        frame->ShowWindow(SW_SHOW);
    }
    void TearDown() override {
        if (doc)
            doc->StopDownload();
        MainWindowTest::TearDown();
    }

    // Adds movies by address (titles "T<address>") and shows them.
    std::vector<MoviePtr> AddMovies(const std::vector<std::wstring>& urls) {
        std::vector<MoviePtr> added;
        for (const std::wstring& url : urls) {
            if (!reader.m_pages.count(url))
                reader.m_pages[url] = {L"T" + url, L""};
            added.push_back(doc->m_movies.AddMovie(url));
        }
        doc->UpdateAllViews(nullptr);
        return added;
    }
    // A movie whose video is `movie` on the stand-in site (a wrong token: 404).
    MoviePtr AddSiteMovie(const standin::Movie& movie, bool badToken = false) {
        const std::wstring url = site.WideRoot() + L"watch?v=" + Wide(movie.id);
        std::wstring video = site.WideRoot() + Wide(standin::VideoTarget(movie));
        if (badToken)
            video.replace(video.find(L"&t=") + 3, 1, L"#");
        reader.m_pages[url] = {Wide(movie.title), video};
        return doc->m_movies.AddMovie(url);
    }

    std::wstring Text(int row, int column) const { return list->GetCellText(row, column); }
    std::vector<std::wstring> Column(int column) const {
        std::vector<std::wstring> texts;
        for (int row = 0; row < list->GetItemCount(); ++row)
            texts.push_back(Text(row, column));
        return texts;
    }
    void Select(std::initializer_list<int> rows) {
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED;
        SendMessageW(list->m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&none));
        for (int row : rows) {
            LVITEMW item{};
            item.stateMask = item.state = LVIS_SELECTED;
            SendMessageW(list->m_hWnd, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        }
    }
    // A posted left click at the centre of a cell, as the mouse gives it.
    void Click(int row, int column) {
        RECT rc{};
        ASSERT_TRUE(list->GetCellRect(row, column, rc));
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        PostMessageW(list->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(list->m_hWnd, WM_LBUTTONUP, 0, at);
        App().PumpWaitingMessages();
    }
    void ClickHeader(int column) {
        HWND header = reinterpret_cast<HWND>(SendMessageW(list->m_hWnd, LVM_GETHEADER, 0, 0));
        RECT rc{};
        Header_GetItemRect(header, column, &rc);
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(header, WM_LBUTTONUP, 0, at);
        App().PumpWaitingMessages();
    }
    void PressKey(UINT vk) {
        SetFocus(list->m_hWnd);
        PostMessageW(list->m_hWnd, WM_KEYDOWN, vk, 1);
        PostMessageW(list->m_hWnd, WM_KEYUP, vk, 0xC0000001);
        App().PumpWaitingMessages();
    }
    bool Enabled(HMENU popup, UINT id) {
        frame->UpdateMenuStates(popup);
        const UINT state = GetMenuState(popup, id, MF_BYCOMMAND);
        return state != 0xFFFFFFFF && !(state & (MF_DISABLED | MF_GRAYED));
    }

    standin::Server site;
    tb::test::PageMapReader reader;
    CXListCtrl* list = nullptr;
    std::vector<std::wstring> opened;
};

TEST_F(ListView, FiveColumnsWithTheirHeaderImagesAndTheyStayAfterNewAndOpen) {
    auto checkColumns = [&] {
        HWND header = reinterpret_cast<HWND>(SendMessageW(list->m_hWnd, LVM_GETHEADER, 0, 0));
        ASSERT_EQ(Header_GetItemCount(header), 5);
        struct Want {
            const wchar_t* text;
            int width, format, image;
        };
        const Want want[] = {{L"", 25, HDF_CENTER, 1},
                             {L"URL", 150, HDF_LEFT, 0},
                             {L"Title", 80, HDF_LEFT, 0},
                             {L"Size", 80, HDF_CENTER, 0},
                             {L"Status", 80, HDF_CENTER, 0}};
        for (int i = 0; i < 5; ++i) {
            wchar_t text[32] = {};
            HDITEMW item{};
            item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT | HDI_IMAGE;
            item.pszText = text;
            item.cchTextMax = 32;
            Header_GetItem(header, i, &item);
            EXPECT_STREQ(text, want[i].text) << i;
            EXPECT_EQ(item.cxy, want[i].width) << i;
            EXPECT_EQ(item.fmt & HDF_JUSTIFYMASK, want[i].format) << i;
            EXPECT_TRUE(item.fmt & HDF_IMAGE) << i;
            EXPECT_EQ(item.iImage, want[i].image) << i;
        }
        EXPECT_NE(Header_GetImageList(header), nullptr);
    };
    checkColumns();

    // A saved project of two movies; then a new one with two others. Opening
    // the file must show its movies although the counts agree.
    AddMovies({L"a", L"b"});
    const std::wstring project = (folder / L"Two.torvane").wstring();
    ASSERT_TRUE(doc->DoSave(project));
    App().OnFileNew();
    EXPECT_EQ(list->GetItemCount(), 0);
    checkColumns();
    AddMovies({L"c", L"d"});
    ASSERT_NE(App().GetDocTemplate()->OpenDocumentFile(project), nullptr);
    // Loaded in file order under keys 0, 1: enumerated newest first again.
    EXPECT_EQ(Column(1), (std::vector<std::wstring>{L"a", L"b"}));
    checkColumns();
}

TEST_F(ListView, RowsShowTheRecordsInEnumerationOrderAndFollowTheirChanges) {
    auto movies = AddMovies({L"u0", L"u1", L"u2"});
    movies[0]->m_dwSize = 1048577;
    movies[0]->m_nStatus = Completed;
    movies[1]->m_bChecked = 1;
    doc->UpdateAllViews(nullptr);
    // Newest first within the key group.
    EXPECT_EQ(Column(1), (std::vector<std::wstring>{L"u2", L"u1", L"u0"}));
    EXPECT_EQ(Column(2), (std::vector<std::wstring>{L"Tu2", L"Tu1", L"Tu0"}));
    EXPECT_EQ(Column(3), (std::vector<std::wstring>{L"", L"", L" 1.00MB"}));
    EXPECT_EQ(Column(4), (std::vector<std::wstring>{L"Ready", L"Ready", L"Completed"}));
    EXPECT_EQ(Text(0, 0), L"");
    for (int row = 0; row < 3; ++row) {
        const XListCell* url = list->GetCell(row, 1);
        ASSERT_NE(url, nullptr);
        EXPECT_EQ(url->strTip, L"T" + Text(row, 1));
        EXPECT_EQ(list->GetCell(row, 2)->strTip, Text(row, 1));
        EXPECT_EQ(list->GetCell(row, 3)->strTip, Text(row, 2));
        EXPECT_EQ(list->GetCellCheck(row, 0), row == 1 ? 1 : 0);
        EXPECT_EQ(view->GetRowMovie(row), movies[2 - row].get());
        EXPECT_EQ(list->GetRowAppData(row),
                  reinterpret_cast<std::uintptr_t>(movies[2 - row].get()));
    }
    // Records to list on the next update: same rows, new values.
    movies[2]->m_bChecked = 1;
    movies[2]->m_nStatus = Failed;
    doc->UpdateAllViews(nullptr);
    EXPECT_EQ(list->GetCellCheck(0, 0), 1);
    EXPECT_EQ(Text(0, 4), L"Failed");
}

TEST_F(ListView, CheckMarksGoFromClicksAndTheHeaderIntoTheRecords) {
    auto movies = AddMovies({L"u0", L"u1", L"u2"}); // rows: u2, u1, u0
    Click(1, 0);
    EXPECT_EQ(movies[1]->m_bChecked.load(), 1);
    EXPECT_EQ(list->GetCellCheck(1, 0), 1);
    // Already selected and focused: a second click still toggles both.
    Click(1, 0);
    EXPECT_EQ(movies[1]->m_bChecked.load(), 0);
    // A click elsewhere in the row selects it and leaves the mark.
    Click(2, 2);
    EXPECT_EQ(movies[0]->m_bChecked.load(), 0);

    ClickHeader(0);
    EXPECT_EQ(list->GetHeaderCheck(0), 2);
    for (const MoviePtr& m : movies)
        EXPECT_EQ(m->m_bChecked.load(), 1);
    ClickHeader(0);
    for (const MoviePtr& m : movies)
        EXPECT_EQ(m->m_bChecked.load(), 0);
    // Columns without a check-all box do nothing.
    movies[0]->m_bChecked = 1;
    ClickHeader(2);
    EXPECT_EQ(movies[0]->m_bChecked.load(), 1);

    // A row that becomes selected hands its box's state to its record.
    Select({});
    list->SetCellCheck(0, 0, 1);
    Select({0});
    EXPECT_EQ(movies[2]->m_bChecked.load(), 1);
}

TEST_F(ListView, DelRemovesTheSelectedRowsAndTheirMoviesAndNothingElse) {
    auto movies = AddMovies({L"a", L"b", L"c", L"d", L"e"}); // rows: e d c b a
    movies[0]->m_bChecked = 1;                               // a
    movies[3]->m_bChecked = 1;                               // d
    doc->UpdateAllViews(nullptr);
    Select({});
    PressKey(VK_DELETE);
    EXPECT_EQ(list->GetItemCount(), 5);

    Select({1, 3}); // d and b
    PressKey(VK_DELETE);
    EXPECT_EQ(Column(1), (std::vector<std::wstring>{L"e", L"c", L"a"}));
    EXPECT_EQ(doc->m_movies.GetCount(), 3u);
    EXPECT_EQ(list->GetCellCheck(2, 0), 1); // a keeps its mark
    EXPECT_EQ(list->GetCellCheck(0, 0), 0);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(view->GetRowMovie(row)->GetUrl(), Text(row, 1));
}

TEST_F(ListView, DeletingOneOfTwoRowsWithTheSameAddressDropsBothRows) {
    auto movies = AddMovies({L"same", L"other", L"same"}); // rows: same other same
    std::weak_ptr<CYoutubeFile> first = movies[0], last = movies[2];
    movies.clear();
    Select({0});
    frame->RunCommand(ID_MOVIES_DELETE);
    EXPECT_EQ(Column(1), std::vector<std::wstring>{L"other"});
    EXPECT_EQ(doc->m_movies.GetCount(), 1u);
    // No row holds the removed records any more, so they are gone.
    EXPECT_TRUE(first.expired());
    EXPECT_TRUE(last.expired());
}

TEST_F(ListView, OpenUrlOpensOnlyTheTopmostSelectedRowThroughTheShell) {
    AddMovies({L"a", L"b", L"c", L"d"}); // rows: d c b a
    frame->RunCommand(ID_MOVIES_OPEN_URL);
    EXPECT_TRUE(opened.empty());
    Select({3, 1, 2});
    frame->RunCommand(ID_MOVIES_OPEN_URL);
    EXPECT_EQ(opened, std::vector<std::wstring>{L"c"});
    // A double click on a row is Open URL too.
    Select({0});
    NMITEMACTIVATE dbl{};
    dbl.hdr = {list->m_hWnd, IDC_MOVIE_LIST, static_cast<UINT>(NM_DBLCLK)};
    dbl.iItem = 0;
    SendMessageW(view->m_hWnd, WM_NOTIFY, IDC_MOVIE_LIST, reinterpret_cast<LPARAM>(&dbl));
    EXPECT_EQ(opened, (std::vector<std::wstring>{L"c", L"d"}));
}

TEST_F(ListView, WebLinksOpenTheMakersPagesThroughTheShell) {
    for (UINT id : {ID_LINK_HOME, ID_LINK_PRODUCT, ID_LINK_CONTACT})
        frame->RunCommand(id);
    EXPECT_EQ(opened,
              (std::vector<std::wstring>{kMakerSite, kMakerProductPage, kMakerContactPage}));
}

TEST_F(ListView, ASystemColourChangeReachesTheListAndItsHeader) {
    // The system tells only top-level windows; the list and its header sit
    // below the frame and the view, and must still take the new colours.
    constexpr COLORREF kStale = RGB(1, 2, 3);
    list->m_clrWindow = list->m_clrHighlight = list->m_clrGrayText = kStale;
    list->m_wndHeader.m_clrBtnFace = kStale;
    SendMessageW(frame->m_hWnd, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(list->m_clrWindow, GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(list->m_clrHighlight, GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(list->m_clrGrayText, GetSysColor(COLOR_GRAYTEXT));
    EXPECT_EQ(list->m_wndHeader.m_clrBtnFace, GetSysColor(COLOR_BTNFACE));
}

TEST_F(ListView, DeleteAndOpenUrlAreEnabledInBothMenusWithOrWithoutASelection) {
    // The main window shows its commands on the ribbon; menu 128 is still the
    // program's menu resource, enabled by the same routing.
    HMENU mainMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    HMENU context = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_POPUP_EDIT));
    HMENU menus[] = {GetSubMenu(mainMenu, 0), GetSubMenu(context, 0)};
    auto ribbonEnabled = [&](UINT id) {
        frame->OnIdleUpdateCmdUI();
        CRibbonButton* button = frame->m_wndRibbonBar.FindByID(id);
        return button && button->IsEnabled();
    };
    AddMovies({L"a", L"b"});
    for (bool selected : {false, true}) {
        Select(selected ? std::initializer_list<int>{1} : std::initializer_list<int>{});
        for (HMENU menu : menus) {
            EXPECT_TRUE(Enabled(menu, ID_MOVIES_DELETE)) << selected;
            if (menu == menus[1]) {
                EXPECT_TRUE(Enabled(menu, ID_MOVIES_OPEN_URL)) << selected;
            }
        }
        EXPECT_TRUE(ribbonEnabled(ID_MOVIES_DELETE)) << selected;
    }
    // During a run too.
    frame->RunCommand(ID_DOWNLOAD_START);
    EXPECT_TRUE(Enabled(menus[0], ID_MOVIES_DELETE));
    EXPECT_TRUE(Enabled(menus[1], ID_MOVIES_DELETE));
    EXPECT_FALSE(Enabled(menus[1], ID_DOWNLOAD_START));
    EXPECT_TRUE(ribbonEnabled(ID_MOVIES_DELETE));
    DestroyMenu(context);
    DestroyMenu(mainMenu);
}

// A movie of the test's own, served `pieceBytes` every `delay`.
standin::Movie SlowMovie(standin::Server& site, const char* id, std::uint64_t size,
                         std::size_t pieceBytes, std::chrono::milliseconds delay) {
    standin::Movie movie{id, "Tk1Tk2Tk3Tk4Tk5Tk6Tk7Tk8Tk9Tk0Tk1Tk2Tk3Tk4Tk",
                         std::string("Slow ") + id, size};
    site.AddMovie(movie);
    standin::FaultSpec rate;
    rate.kind = standin::Fault::Trickle;
    rate.pieceBytes = pieceBytes;
    rate.delay = delay;
    site.SetFault("/" + standin::VideoTarget(movie), rate);
    return movie;
}

TEST_F(ListView, RunTicksShowWaitingThenTheBarThenCompletedOrFailed) {
    // Rows in enumeration order: slow (key 1) first, then the broken one (key 0).
    MoviePtr broken = AddSiteMovie(standin::Catalogue()[0], true);
    const standin::Movie slowMovie = SlowMovie(site, "slowslow001", 3 * 1048576 + 17, 65536, 40ms);
    MoviePtr slow = AddSiteMovie(slowMovie);
    slow->m_bChecked = broken->m_bChecked = 1;
    doc->UpdateAllViews(nullptr);
    ASSERT_EQ(view->GetRowMovie(0), slow.get());

    frame->RunCommand(ID_DOWNLOAD_START);
    // The queued statuses show at a tick; then the bar with the size text
    // while the other movie waits.
    ASSERT_TRUE(PumpUntil([&] { return list->IsCellProgressShown(0, 4) == 1; }));
    EXPECT_EQ(Text(0, 3), FormatMovieSize(static_cast<std::uint32_t>(slowMovie.size)));
    EXPECT_EQ(Text(1, 4), L"Waiting");
    ASSERT_TRUE(PumpUntil([&] {
        const XListCell* cell = list->GetCell(0, 4);
        return cell && cell->nPercent > 0 && cell->nPercent < 100;
    }));
    EXPECT_EQ(list->GetCell(0, 4)->strProgressFormat, L"%d %%");

    ASSERT_TRUE(PumpUntil([&] { return view->m_bRunning == 0; }));
    EXPECT_FALSE(list->IsCellProgressShown(0, 4));
    EXPECT_EQ(Text(0, 4), L"Completed");
    EXPECT_EQ(list->GetCellCheck(0, 0), 0);
    EXPECT_FALSE(list->IsCellProgressShown(1, 4));
    EXPECT_EQ(Text(1, 4), L"Failed");
    EXPECT_EQ(list->GetCellCheck(1, 0), 1);
    EXPECT_TRUE(frame->IsCommandEnabled(ID_DOWNLOAD_START));
}

TEST_F(ListView, StopShowsCancelledAndTheRestoredStatusesAtOnce) {
    MoviePtr waiting = AddSiteMovie(standin::Catalogue()[1]);
    MoviePtr slow = AddSiteMovie(SlowMovie(site, "slowslow002", 8 * 1048576, 4096, 50ms));
    waiting->m_nStatus = Failed;
    slow->m_bChecked = waiting->m_bChecked = 1;
    doc->UpdateAllViews(nullptr);
    frame->RunCommand(ID_DOWNLOAD_START);
    ASSERT_TRUE(PumpUntil([&] { return list->IsCellProgressShown(0, 4) == 1; }));
    EXPECT_EQ(Text(1, 4), L"Waiting");

    frame->RunCommand(ID_DOWNLOAD_STOP);
    // No tick in between: the stop itself updated the rows.
    EXPECT_FALSE(list->IsCellProgressShown(0, 4));
    EXPECT_EQ(Text(0, 4), L"Cancelled");
    EXPECT_EQ(Text(1, 4), L"Failed");
    EXPECT_TRUE(frame->IsCommandEnabled(ID_DOWNLOAD_START));
}

TEST_F(ListView, DeletingTheDownloadingMovieDropsItsRowAtOnceAndTheRunGoesOn) {
    MoviePtr next = AddSiteMovie(standin::Catalogue()[4]);
    MoviePtr slow = AddSiteMovie(SlowMovie(site, "slowslow003", 2 * 1048576, 65536, 40ms));
    slow->m_bChecked = next->m_bChecked = 1;
    doc->UpdateAllViews(nullptr);
    std::weak_ptr<CYoutubeFile> deleted = slow;
    slow.reset();
    frame->RunCommand(ID_DOWNLOAD_START);
    ASSERT_TRUE(PumpUntil([&] { return list->IsCellProgressShown(0, 4) == 1; }));

    Select({0});
    PressKey(VK_DELETE);
    EXPECT_EQ(list->GetItemCount(), 1);
    EXPECT_EQ(view->GetRowMovie(0), next.get());
    // The worker still holds its record, so nothing it writes lands in freed
    // memory; the record goes when the worker lets go of it.
    ASSERT_TRUE(PumpUntil([&] { return view->m_bRunning == 0; }));
    EXPECT_TRUE(deleted.expired());
    EXPECT_EQ(Text(0, 4), L"Completed");
}

} // namespace
