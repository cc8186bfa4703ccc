// The document, frame, view and dialogs as real windows in this process, built
// through the same document template the program uses, with a fake site: the
// dialogs are found and answered from a second thread as a user would, keys
// and commands go through the frame's routing.
#include "framework/frame.h"
#include "framework/strings.h"
#include "main_window_fixture.h"
#include "res/resource.h"
#include "res/version.h"
#include "ui/about_dlg.h"
#include "ui/dlg_add.h"
#include "ui/maker_site.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>

#include "pump_win.h"
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <regex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kAppTitle[] = L"Torvane Brenlow";
constexpr wchar_t kRoot[] = L"http://127.0.0.1:8080/";

using tb::test::App;
using tb::test::PumpUntil;
using tb::test::TextOf;
using tb::test::WaitUntil;

// A visible dialog of this process with this caption.
HWND WaitOwnWindow(const std::wstring& title) {
    return tb::test::WaitDialog(title.c_str());
}

struct Box {
    std::wstring text;
    bool stopIcon = false;
    bool exclamationIcon = false;
};

// Reads the application's message box and confirms it.
Box AnswerBox() {
    Box box;
    HWND hwnd = WaitOwnWindow(kAppTitle);
    if (!hwnd)
        return box;
    box.text = TextOf(GetDlgItem(hwnd, 0xFFFF));
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        if (!icon)
            continue;
        box.stopIcon |= icon == LoadIconW(nullptr, IDI_HAND);
        box.exclamationIcon |= icon == LoadIconW(nullptr, IDI_EXCLAMATION);
    }
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return box;
}

// The address dialog: optionally type an address, then confirm or cancel.
struct AddDialogSeen {
    std::wstring title, prompt;
    bool focusOnOk = false;
};
AddDialogSeen AnswerAddDialog(const std::wstring* typed, int button = IDOK) {
    AddDialogSeen seen;
    HWND dlg = WaitOwnWindow(L"Dialog");
    if (!dlg)
        return seen;
    seen.title = TextOf(dlg);
    seen.prompt = TextOf(GetDlgItem(dlg, IDC_PROMPT));
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &gui);
    seen.focusOnOk = gui.hwndFocus == GetDlgItem(dlg, IDOK);
    if (typed)
        SendMessageW(GetDlgItem(dlg, IDC_ADDRESS), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(typed->c_str()));
    if (button == IDOK && !typed) {
        // Enter right away, as the user would press it.
        PostMessageW(gui.hwndFocus ? gui.hwndFocus : dlg, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(gui.hwndFocus ? gui.hwndFocus : dlg, WM_KEYUP, VK_RETURN, 0xC0000001);
    } else {
        PostMessageW(dlg, WM_COMMAND, button, 0);
    }
    return seen;
}

// Watch pages by address; an unknown address fails as an unknown host does.
class FakeSite : public IWatchPageReader {
public:
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        std::lock_guard lock(m_mutex);
        m_read.push_back(url);
        auto it = m_titles.find(url);
        if (it == m_titles.end())
            throw CInternetException(12007, L"The server name could not be resolved.");
        title = it->second;
        return std::wstring(kRoot) + L"get_video?video_id=x&t=y%3d";
    }
    std::map<std::wstring, std::wstring> m_titles;
    std::vector<std::wstring> m_links;
    std::vector<std::wstring> m_read;
    std::mutex m_mutex;
};

class Window : public tb::test::MainWindowTest {
protected:
    Window() : MainWindowTest(L"tb_ui_") {}
    void ConfigureDocument(CPelgraneDoc& made) override {
        made.SetSite(
            &site,
            [this](const std::wstring&, std::vector<std::wstring>& links) { links = site.m_links; },
            kRoot);
        made.SetDefaultProjectPath(DefaultProject());
    }
    void TearDown() override {
        if (helper.joinable())
            helper.join();
        MainWindowTest::TearDown();
    }
    // Runs `answer` on a second thread while this one carries out a command.
    void Answer(std::function<void()> answer) { helper = std::thread(std::move(answer)); }

    // The ribbon shows the command; its state comes from the frame's pass.
    bool MenuEnabled(UINT id) {
        frame->OnIdleUpdateCmdUI();
        CRibbonButton* button = frame->m_wndRibbonBar.FindByID(id);
        return button && button->IsEnabled();
    }
    std::vector<std::wstring> Urls() {
        std::vector<std::wstring> urls;
        auto pos = doc->m_movies.GetStartPosition();
        while (pos) {
            std::uint16_t key;
            MoviePtr movie;
            doc->m_movies.GetNextAssoc(pos, key, movie);
            urls.push_back(movie->m_strUrl + L"|" + movie->m_strTitle);
        }
        return urls;
    }

    FakeSite site;
    std::thread helper;
};

TEST_F(Window, AddReadsThePageAndAddsOneMovieWithItsTitle) {
    site.m_titles[L"http://127.0.0.1:8080/watch?v=abc"] = L"A Title";
    const std::wstring typed = L"http://127.0.0.1:8080/watch?v=abc";
    AddDialogSeen seen;
    Answer([&] { seen = AnswerAddDialog(&typed); });
    frame->RunCommand(ID_MOVIES_ADD);
    helper.join();
    EXPECT_EQ(seen.title, L"Dialog");
    EXPECT_EQ(seen.prompt, L"Input an URL of Youtube Video link.\nFor example:\n\n"
                           L"http://127.0.0.1:8080/watch?v=Xk3bT9qLm2A");
    EXPECT_TRUE(seen.focusOnOk);
    EXPECT_EQ(Urls(), std::vector<std::wstring>{typed + L"|A Title"});
}

TEST_F(Window, AddWithAnUnknownHostShowsTheSystemTextWithTheStopIconAndAddsNothing) {
    const std::wstring typed = L"http://nowhere.invalid/watch?v=abc";
    Box box;
    Answer([&] {
        AnswerAddDialog(&typed);
        box = AnswerBox();
    });
    frame->RunCommand(ID_MOVIES_ADD);
    helper.join();
    EXPECT_EQ(box.text, L"The server name could not be resolved.");
    EXPECT_TRUE(box.stopIcon);
    EXPECT_TRUE(Urls().empty());
}

TEST_F(Window, EnterRightAwayConfirmsAnEmptyAddressAndCancelAddsNothing) {
    site.m_titles[L""] = L"";
    Answer([&] { AnswerAddDialog(nullptr); });
    frame->RunCommand(ID_MOVIES_ADD);
    helper.join();
    // The empty address went to the reader as typed and gave a movie.
    EXPECT_EQ(site.m_read, std::vector<std::wstring>{L""});
    EXPECT_EQ(Urls().size(), 1u);

    Answer([&] { AnswerAddDialog(nullptr, IDCANCEL); });
    frame->RunCommand(ID_MOVIES_ADD);
    helper.join();
    EXPECT_EQ(site.m_read.size(), 1u);
}

TEST_F(Window, BatchAddAddsOneMoviePerLinkInOrderAndKeepsThoseAddedBeforeAFailure) {
    site.m_links = {L"http://h/watch?v=1", L"http://h/watch?v=2", L"http://h/watch?v=1",
                    L"http://h/watch?v=broken", L"http://h/watch?v=3"};
    for (const wchar_t* id : {L"1", L"2", L"3"})
        site.m_titles[std::wstring(L"http://h/watch?v=") + id] = std::wstring(L"T") + id;
    const std::wstring typed = L"http://h/list";
    AddDialogSeen seen;
    Box box;
    // Every update of the view copies the document's run flag into the view, so
    // a flag set behind the view's back shows whether the view was refreshed.
    doc->m_bDownloading = 1;
    Answer([&] {
        seen = AnswerAddDialog(&typed);
        box = AnswerBox();
    });
    frame->RunCommand(ID_MOVIES_BATCH_ADD);
    helper.join();
    EXPECT_EQ(seen.prompt, L"Input the URL contains links of Youtube Video. All videos in this "
                           L"page will be added to task.\nFor example:\n\nhttp://127.0.0.1:8080/");
    // Read in the order given, up to the failing page; the duplicate is added too.
    EXPECT_EQ(site.m_read,
              (std::vector<std::wstring>{site.m_links.begin(), site.m_links.begin() + 4}));
    EXPECT_EQ(box.text, L"The server name could not be resolved.");
    // The three movies added before the failure stay, and the view was told.
    EXPECT_EQ(Urls().size(), 3u);
    EXPECT_EQ(view->m_bRunning, 1);
    doc->m_bDownloading = 0;
}

TEST_F(Window, DownloadAndStopSwapTheirEnabledStatesAndQueueTheCheckedMovies) {
    site.m_titles[L"u"] = L"t";
    doc->m_movies.AddMovie(L"u")->m_bChecked = 1;
    EXPECT_TRUE(MenuEnabled(ID_DOWNLOAD_START));
    EXPECT_FALSE(MenuEnabled(ID_DOWNLOAD_STOP));
    EXPECT_TRUE(MenuEnabled(ID_MOVIES_ADD));

    frame->RunCommand(ID_DOWNLOAD_START);
    EXPECT_FALSE(MenuEnabled(ID_DOWNLOAD_START));
    EXPECT_TRUE(MenuEnabled(ID_DOWNLOAD_STOP));
    MoviePtr movie;
    ASSERT_TRUE(doc->m_movies.Lookup(0, movie));
    // Queued; a quick worker may already have taken it up.
    const int queued = movie->m_nStatus.load();
    EXPECT_TRUE(queued == Waiting || queued == Downloading) << queued;

    frame->RunCommand(ID_DOWNLOAD_STOP);
    EXPECT_TRUE(MenuEnabled(ID_DOWNLOAD_START));
    EXPECT_FALSE(MenuEnabled(ID_DOWNLOAD_STOP));
    // A movie still waiting gets its status back; one begun is cancelled.
    const int stopped = movie->m_nStatus.load();
    EXPECT_TRUE(stopped == Ready || stopped == Cancelled) << stopped;
}

TEST_F(Window, ListCoversTheViewAndTheTimerDrivesTheClock) {
    SetWindowPos(frame->m_hWnd, nullptr, 0, 0, 700, 500, SWP_NOZORDER | SWP_NOMOVE);
    HWND list = GetDlgItem(view->m_hWnd, IDC_MOVIE_LIST);
    ASSERT_NE(list, nullptr);
    RECT client, listRect;
    GetClientRect(view->m_hWnd, &client);
    GetWindowRect(list, &listRect);
    MapWindowPoints(nullptr, view->m_hWnd, reinterpret_cast<POINT*>(&listRect), 2);
    EXPECT_EQ(listRect.left, client.left);
    EXPECT_EQ(listRect.top, client.top);
    EXPECT_EQ(listRect.right, client.right);
    EXPECT_EQ(listRect.bottom, client.bottom);
    EXPECT_GT(client.right, 300);

    EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(ID_STATUSBAR_PANE2),
              L"1234567890123456789012345678901234567890");
    ASSERT_TRUE(PumpUntil(
        [&] {
            return frame->m_wndStatusBar.GetPaneText(ID_STATUSBAR_PANE2) !=
                   L"1234567890123456789012345678901234567890";
        },
        20s));
    std::wregex clock(LR"(\d\d:\d\d:\d\d [A-Z][a-z]+day, [A-Z][a-z]+ \d\d, \d{4})");
    EXPECT_TRUE(std::regex_match(frame->m_wndStatusBar.GetPaneText(ID_STATUSBAR_PANE2), clock))
        << frame->m_wndStatusBar.GetPaneText(ID_STATUSBAR_PANE2);
}

TEST_F(Window, HighlightedMenuItemShowsItsPromptInTheStatusBar) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    HMENU popup = GetSubMenu(menu, 0);
    SendMessageW(frame->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    struct Case {
        UINT id;
        const wchar_t* prompt;
    };
    for (Case c :
         {Case{ID_MOVIES_ADD, L"Add a movie."}, Case{ID_MOVIES_BATCH_ADD, L"Batch add movies."},
          Case{ID_APP_EXIT, L"Quit the application; prompts to save documents"},
          Case{ID_DOWNLOAD_START, L""}}) {
        SendMessageW(frame->m_hWnd, WM_MENUSELECT, MAKEWPARAM(c.id, MF_HILITE),
                     reinterpret_cast<LPARAM>(popup));
        EXPECT_EQ(frame->m_wndStatusBar.GetMessageText(), c.prompt) << c.id;
    }
    DestroyMenu(menu);
}

// A save that fails after the user agreed to it shows why and leaves the
// folder exactly as it was: the file it was to replace, and no temporary.
TEST_F(Window, FailedSaveLeavesTheFolderAsItWas) {
    site.m_titles[L"u"] = L"t";
    doc->m_movies.AddMovie(L"u");
    const std::wstring target = (folder / L"Kept.torvane").wstring();
    const std::string old = "the user's old project";
    HANDLE held = INVALID_HANDLE_VALUE;
    struct Case {
        const char* name;
        std::function<void()> prepare, undo;
        std::wstring message;
    };
    const Case cases[] = {
        {"read-only file",
         [&] {
             std::ofstream(std::filesystem::path(target), std::ios::binary) << old;
             SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
         },
         [&] { SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL); },
         L"Access to " + target + L" was denied."},
        {"held open by another program",
         [&] {
             std::ofstream(std::filesystem::path(target), std::ios::binary) << old;
             held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
         },
         [&] { CloseHandle(held); },
         L"Encountered a sharing violation while accessing " + target + L"."},
        {"a directory at the path",
         [&] { std::filesystem::create_directories(std::filesystem::path(target) / L"inside"); },
         [] {}, L"Access to " + target + L" was denied."},
    };
    const auto listing = [&] {
        std::vector<std::pair<std::wstring, std::uintmax_t>> entries;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
            entries.emplace_back(e.path().wstring(), e.is_regular_file() ? e.file_size() : 0);
        std::sort(entries.begin(), entries.end());
        return entries;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        const auto before = listing();
        Box box;
        Answer([&] { box = AnswerBox(); });
        EXPECT_FALSE(doc->DoSave(target));
        helper.join();
        c.undo();
        EXPECT_TRUE(box.exclamationIcon);
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(listing(), before);
        if (std::filesystem::is_regular_file(target)) {
            std::ifstream in(std::filesystem::path(target), std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old);
        }
        EXPECT_EQ(doc->GetPathName(), L""); // the document keeps its previous path
        std::filesystem::remove_all(target);
    }
}

TEST_F(Window, AboutBoxShowsVersionCopyrightAndAShrunkLink) {
    CAboutDlg dlg;
    std::wstring opened;
    dlg.m_linkHomepage.m_open = [&](const std::wstring& url) { opened = url; };
    std::wstring version, copyright, tooltip;
    RECT linkRect{};
    SIZE textSize{};
    Answer([&] {
        HWND about = WaitOwnWindow(L"About Torvane Brenlow");
        if (!about)
            return;
        version = TextOf(GetDlgItem(about, IDC_VERSION));
        copyright = TextOf(GetDlgItem(about, IDC_COPYRIGHT));
        HWND link = GetDlgItem(about, IDC_HOMEPAGE);
        GetClientRect(link, &linkRect);
        HDC dc = GetDC(link);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(link, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, L"Homepage", 8, &textSize);
        SelectObject(dc, old);
        ReleaseDC(link, dc);
        SendMessageW(link, BM_CLICK, 0, 0);
        PostMessageW(about, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    helper.join();
    tooltip = dlg.m_linkHomepage.GetTooltip();
    EXPECT_EQ(version, L"Version: " + std::to_wstring(TB_VERSION_MAJOR) + L"." +
                           std::to_wstring(TB_VERSION_MINOR));
    EXPECT_EQ(copyright.rfind(L"Copyright (C) 2009-", 0), 0u) << copyright;
    EXPECT_EQ(linkRect.right, textSize.cx);
    EXPECT_EQ(linkRect.bottom, textSize.cy);
    EXPECT_EQ(opened, kMakerSite);
}

TEST_F(Window, ContextMenuOpensAtTheClickWithItsItemsEnabledByTheRouting) {
    struct Item {
        UINT id;
        bool enabled;
    };
    std::vector<Item> seen;
    RECT menuRect{};
    Answer([&] {
        HWND menuWnd = nullptr;
        WaitUntil([&] {
            menuWnd = FindWindowW(L"#32768", nullptr);
            return menuWnd && IsWindowVisible(menuWnd);
        });
        if (!menuWnd)
            return;
        GetWindowRect(menuWnd, &menuRect);
        auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWnd, MN_GETHMENU, 0, 0));
        for (UINT id : {ID_MOVIES_ADD, ID_MOVIES_BATCH_ADD, ID_DOWNLOAD_START, ID_DOWNLOAD_STOP,
                        ID_FILE_SAVE}) {
            UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
            seen.push_back({id, state != 0xFFFFFFFF && !(state & (MF_DISABLED | MF_GRAYED))});
        }
        PostMessageW(menuWnd, WM_KEYDOWN, VK_ESCAPE, 1);
    });
    POINT click{40, 30};
    SendMessageW(view->m_hWnd, WM_RBUTTONUP, 0, MAKELPARAM(click.x, click.y));
    helper.join();
    ClientToScreen(view->m_hWnd, &click);
    EXPECT_EQ(menuRect.left, click.x);
    EXPECT_EQ(menuRect.top, click.y);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_TRUE(seen[0].enabled);  // Add: the document
    EXPECT_TRUE(seen[1].enabled);  // Batch Add: the document
    EXPECT_TRUE(seen[2].enabled);  // Download: idle
    EXPECT_FALSE(seen[3].enabled); // Stop: no run known
    EXPECT_TRUE(seen[4].enabled);  // Save: the document
}

// A shell drop of one file, as Explorer hands it to a window.
HDROP MakeDrop(const std::wstring& path) {
    SIZE_T bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), path.c_str(),
                path.size() * sizeof(wchar_t));
    GlobalUnlock(mem);
    return static_cast<HDROP>(mem);
}

TEST_F(Window, FileDroppedOnTheMainWindowOpensAsTheProjectAndTheListIgnoresDrops) {
    const std::wstring project = (folder / L"Dropped.torvane").wstring();
    std::ofstream(std::filesystem::path(project), std::ios::binary).write("\0\0\0\0", 4);
    // The list view takes files dropped on it and does nothing with them.
    SendMessageW(view->m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(project)), 0);
    EXPECT_EQ(doc->GetPathName(), L"");
    SendMessageW(frame->m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(project)), 0);
    EXPECT_EQ(doc->GetPathName(), project);
    EXPECT_EQ(doc->GetTitle(), L"Dropped.torvane");
    EXPECT_NE(TextOf(frame->m_hWnd).find(L"Dropped.torvane"), std::wstring::npos);
}

TEST_F(Window, EmptyProjectFileOpensAsAnEmptyList) {
    site.m_titles[L"http://127.0.0.1:8080/watch?v=old"] = L"Old";
    doc->m_movies.AddMovie(L"http://127.0.0.1:8080/watch?v=old");
    ASSERT_EQ(Urls().size(), 1u);
    const std::wstring project = (folder / L"Empty.torvane").wstring();
    std::ofstream(std::filesystem::path(project), std::ios::binary).close();
    ASSERT_NE(App().GetDocTemplate()->OpenDocumentFile(project), nullptr);
    EXPECT_EQ(doc->GetPathName(), project);
    // The previous project's movies must not live on under the new file's name.
    EXPECT_TRUE(Urls().empty());
}

TEST(Texts, ClockAndCopyrightLine) {
    std::tm t{};
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    t.tm_mday = 3;
    t.tm_mon = 2;
    t.tm_year = 109;
    t.tm_wday = 2;
    EXPECT_EQ(FormatClock(t), L"14:05:09 Tuesday, March 03, 2009");
    t.tm_hour = 0;
    t.tm_mday = 31;
    t.tm_mon = 11;
    t.tm_wday = 6;
    EXPECT_EQ(FormatClock(t), L"00:05:09 Saturday, December 31, 2009");

    struct Case {
        int year;
        const wchar_t* line;
    };
    for (Case c : {Case{2009, L"Copyright (C) 2009 Velmora Software"},
                   Case{2008, L"Copyright (C) 2009 Velmora Software"},
                   Case{0, L"Copyright (C) 2009 Velmora Software"},
                   Case{2012, L"Copyright (C) 2009-2012 Velmora Software"}})
        EXPECT_EQ(CopyrightLine(c.year), c.line) << c.year;
}

} // namespace
