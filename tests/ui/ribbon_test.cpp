// The main window's ribbon, application menu, status bar and caption as real
// windows on the test display: geometry from the bar's layout, clicks and
// keys sent as the system would send them, commands seen where they reach the
// frame, drawing read back as pixels.
#include "main_window_fixture.h"
#include "res/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <regex>
#include <vector>

namespace {

using namespace std::chrono_literals;

using tb::test::App;
using tb::test::PumpUntil;

// A window's client drawing, read back through WM_PRINTCLIENT.
class Capture {
public:
    explicit Capture(HWND hwnd) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        m_w = rc.right;
        m_h = rc.bottom;
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(bi.bmiHeader), m_w, -m_h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC screen = GetDC(nullptr);
        m_dc = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        void* bits = nullptr;
        m_bmp = CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<const std::uint32_t*>(bits);
        m_old = SelectObject(m_dc, m_bmp);
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(m_dc), PRF_CLIENT);
        GdiFlush();
    }
    ~Capture() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bmp);
        DeleteDC(m_dc);
    }
    // 0x00RRGGBB
    std::uint32_t At(int x, int y) const {
        return m_bits[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_w) +
                      static_cast<std::size_t>(x)] &
               0xFFFFFF;
    }
    // Pixels of `rc` whose luminance lies in [lo, hi].
    int Count(const RECT& rc, int lo, int hi) const {
        int n = 0;
        for (int y = std::max<int>(rc.top, 0); y < std::min<int>(rc.bottom, m_h); ++y)
            for (int x = std::max<int>(rc.left, 0); x < std::min<int>(rc.right, m_w); ++x) {
                std::uint32_t p = At(x, y);
                int lum =
                    (299 * (p >> 16 & 0xFF) + 587 * (p >> 8 & 0xFF) + 114 * (p & 0xFF)) / 1000;
                n += lum >= lo && lum <= hi;
            }
        return n;
    }
    // Largest colour spread (max - min channel) in `rc`: 0 for pure greys.
    int MaxSaturation(const RECT& rc) const {
        int best = 0;
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x) {
                std::uint32_t p = At(x, y);
                int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
                best = std::max(best, std::max({r, g, b}) - std::min({r, g, b}));
            }
        return best;
    }

private:
    int m_w = 0, m_h = 0;
    HDC m_dc = nullptr;
    HBITMAP m_bmp = nullptr;
    HGDIOBJ m_old = nullptr;
    const std::uint32_t* m_bits = nullptr;
};

// What reaches the frame: the commands the ribbon issues and the system
// commands of the caption, kept back from the frame while recording.
struct Recorder {
    std::vector<UINT> commands;
    std::vector<WPARAM> sysCommands;
    bool swallow = true;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR ref) {
        auto* self = reinterpret_cast<Recorder*>(ref);
        if (msg == WM_COMMAND && lParam == 0 && self->swallow) {
            self->commands.push_back(LOWORD(wParam));
            return 0;
        }
        if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
            self->sysCommands.push_back(wParam & 0xFFF0);
            return 0;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
};

class Ribbon : public tb::test::MainWindowTest {
protected:
    Ribbon() : MainWindowTest(L"tb_ribbon_") {}
    void ConfigureDocument(CPelgraneDoc& made) override {
        made.SetDefaultProjectPath(DefaultProject());
    }
    void SetUp() override {
        // The program's application object answers About and Exit; here they
        // only need to be there, so their ribbon entries are enabled as in
        // the program.
        App().OnCommand(ID_APP_ABOUT, std::function<void()>([] {}));
        App().OnCommand(ID_APP_EXIT, std::function<void()>([] {}));
        MainWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ribbon = &frame->m_wndRibbonBar;
        SetClientWidth(1280);
        frame->ShowWindow(SW_SHOWNORMAL);
        frame->OnIdleUpdateCmdUI();
        SetWindowSubclass(frame->m_hWnd, &Recorder::Proc, 1, reinterpret_cast<DWORD_PTR>(&rec));
    }
    void TearDown() override {
        // Commands still queued stay with the recorder: none may reach the
        // program's handlers (a web link would start a browser).
        MSG pending;
        while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&pending);
        if (frame && IsWindow(frame->m_hWnd))
            RemoveWindowSubclass(frame->m_hWnd, &Recorder::Proc, 1);
        MainWindowTest::TearDown();
    }

    void SetClientWidth(int width) {
        RECT window, client;
        GetWindowRect(frame->m_hWnd, &window);
        GetClientRect(frame->m_hWnd, &client);
        int extra = (window.right - window.left) - client.right;
        SetWindowPos(frame->m_hWnd, nullptr, 0, 0, width + extra, 720,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    static POINT Centre(const RECT& rc) {
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    static void Click(HWND hwnd, POINT pt) {
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    }
    // The command the next pumped WM_COMMAND carries (0 when none came).
    UINT NextCommand() {
        std::size_t before = rec.commands.size();
        PumpUntil([&] { return rec.commands.size() > before; }, 3s, 2ms);
        return rec.commands.size() > before ? rec.commands.back() : 0;
    }
    CRibbonPopup* Popup() { return ribbon->GetPopup(); }
    bool PopupOpen() { return Popup() && Popup()->m_hWnd && IsWindowVisible(Popup()->m_hWnd); }
    void Key(UINT msg, UINT vk) {
        LPARAM lParam = (msg == WM_SYSKEYUP || msg == WM_KEYUP) ? 0xC0000001 : 1;
        if (msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP)
            lParam |= 1 << 29;
        PostMessageW(frame->m_hWnd, msg, vk, lParam);
        App().PumpWaitingMessages();
    }

    CRibbonBar* ribbon = nullptr;
    Recorder rec;
};

struct HomeButton {
    const wchar_t* panel;
    UINT id;
    const wchar_t* text;
    int image;
};
const HomeButton kHome[] = {
    {L"Movies", ID_MOVIES_ADD, L"Add", 0},
    {L"Movies", ID_MOVIES_BATCH_ADD, L"Batch Add", 1},
    {L"Movies", ID_MOVIES_DELETE, L"Delete", 4},
    {L"Download", ID_DOWNLOAD_START, L"Download", 8},
    {L"Download", ID_DOWNLOAD_STOP, L"Stop", 9},
    {L"Projects", ID_FILE_NEW, L"&New", 10},
    {L"Projects", ID_FILE_OPEN, L"&Open...", 11},
    {L"Projects", ID_FILE_SAVE, L"&Save", 12},
    {L"Projects", ID_FILE_SAVE_AS, L"Save &As...", 13},
    {L"Options", ID_OPTIONS_OUTPUT_FOLDER, L"Output", 16},
    {L"Options", ID_OPTIONS_OPEN_FOLDER, L"Open", 15},
    {L"Help", ID_APP_ABOUT, L"About", 19},
    {L"Links", ID_LINK_HOME, L"Home", 20},
    {L"Links", ID_LINK_PRODUCT, L"Product", 21},
    {L"Links", ID_LINK_CONTACT, L"Contact", 22},
    {L"Exit", ID_FILE_CLOSE, L"Exit", 7},
};

TEST_F(Ribbon, HomeCategoryHoldsItsPanelsAndButtonsAndTheFrameNoMenuBar) {
    EXPECT_EQ(GetMenu(frame->m_hWnd), nullptr);
    ASSERT_EQ(ribbon->GetCategoryCount(), 1);
    const CRibbonCategory* home = ribbon->GetCategory(0);
    EXPECT_EQ(home->GetName(), L"Home");
    std::vector<HomeButton> seen;
    const std::vector<int> icons = {26, 26, 7, 7, 7, 7, 26};
    ASSERT_EQ(home->GetPanelCount(), 7);
    for (int p = 0; p < home->GetPanelCount(); ++p) {
        const CRibbonPanel* panel = home->GetPanel(p);
        for (int b = 0; b < panel->GetCount(); ++b) {
            const CRibbonButton* button = panel->GetElement(b);
            EXPECT_EQ(button->GetSmallImage(), button->GetLargeImage());
            seen.push_back({nullptr, button->GetID(), nullptr, button->GetLargeImage()});
            seen.back().panel = panel->GetName().c_str();
            seen.back().text = button->GetText().c_str();
        }
        EXPECT_EQ(panel->GetIconIndex(), icons[static_cast<std::size_t>(p)]) << p;
    }
    ASSERT_EQ(seen.size(), std::size(kHome));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_STREQ(seen[i].panel, kHome[i].panel) << i;
        EXPECT_EQ(seen[i].id, kHome[i].id) << i;
        EXPECT_STREQ(seen[i].text, kHome[i].text) << i;
        EXPECT_EQ(seen[i].image, kHome[i].image) << i;
    }

    const CRibbonMainCategory* menu = ribbon->GetMainCategory();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetName(), L"File");
    std::vector<std::pair<UINT, std::wstring>> items;
    for (const auto& b : menu->GetItems())
        items.emplace_back(b->GetID(), b->GetText());
    EXPECT_EQ(items,
              (std::vector<std::pair<UINT, std::wstring>>{{ID_MOVIES_ADD, L"Add"},
                                                          {ID_MOVIES_BATCH_ADD, L"Batch Add"},
                                                          {ID_DOWNLOAD_START, L"Download"},
                                                          {ID_DOWNLOAD_STOP, L"Stop"},
                                                          {ID_FILE_CLOSE, L"Exit"}}));
    ASSERT_EQ(menu->GetBottom().size(), 1u);
    EXPECT_EQ(menu->GetBottom()[0]->GetID(), static_cast<UINT>(ID_APP_EXIT));
    EXPECT_EQ(menu->GetBottom()[0]->GetText(), L"Exit");
    EXPECT_EQ(frame->m_MainButton.GetKeyTip(), L"F");
    EXPECT_EQ(frame->m_MainButton.GetToolTipText(), L"File");
}

TEST_F(Ribbon, EveryHomeButtonIsWhereTheLayoutPutsItDrawsItsLabelAndRunsItsCommand) {
    frame->OnIdleUpdateCmdUI();
    Capture shot(ribbon->m_hWnd);
    const CRibbonMetrics& m = ribbon->GetLayout().metrics;
    for (const HomeButton& b : kHome) {
        SCOPED_TRACE(b.text);
        RECT rc = ribbon->GetButtonRect(b.id);
        ASSERT_GT(rc.right, rc.left);
        CRibbonHit hit = ribbon->HitTest(Centre(rc));
        ASSERT_EQ(hit.kind, CRibbonHit::button);
        EXPECT_EQ(hit.pButton->GetID(), b.id);
        // The label sits under the picture: dark text when enabled, grey text
        // and nothing dark when disabled.
        RECT label{rc.left, rc.top + m.Scale(4) + m.largeImage + m.Scale(2), rc.right, rc.bottom};
        if (hit.pButton->IsEnabled()) {
            EXPECT_GT(shot.Count(label, 0, 90), 10);
        } else {
            EXPECT_EQ(shot.Count(label, 0, 90), 0);
            EXPECT_GT(shot.Count(label, 100, 175), 10);
        }
        if (!hit.pButton->IsEnabled())
            continue;
        Click(ribbon->m_hWnd, Centre(rc));
        EXPECT_EQ(NextCommand(), b.id);
    }
}

TEST_F(Ribbon, ApplicationMenuEntriesRunTheirCommandsAndAClickElsewhereClosesIt) {
    const CRibbonLayout& l = ribbon->GetLayout();
    RECT app{l.appButton.left, l.appButton.top, l.appButton.right, l.appButton.bottom};
    for (UINT id :
         {ID_MOVIES_ADD, ID_MOVIES_BATCH_ADD, ID_DOWNLOAD_START, ID_FILE_CLOSE, ID_APP_EXIT}) {
        SCOPED_TRACE(id);
        Click(ribbon->m_hWnd, Centre(app));
        ASSERT_TRUE(PopupOpen());
        EXPECT_EQ(Popup()->GetKind(), CRibbonPopup::Kind::menu);
        RECT item = Popup()->GetItemRect(id);
        ASSERT_GT(item.right, item.left);
        Click(Popup()->m_hWnd, Centre(item));
        EXPECT_FALSE(PopupOpen());
        EXPECT_EQ(NextCommand(), id);
    }
    // Stop is disabled without a run: its entry does nothing and the menu stays.
    Click(ribbon->m_hWnd, Centre(app));
    ASSERT_TRUE(PopupOpen());
    Click(Popup()->m_hWnd, Centre(Popup()->GetItemRect(ID_DOWNLOAD_STOP)));
    EXPECT_TRUE(PopupOpen());
    // A click outside the menu closes it and runs nothing.
    SendMessageW(Popup()->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-40, -40));
    EXPECT_FALSE(PopupOpen());
    EXPECT_EQ(NextCommand(), 0u);
}

TEST_F(Ribbon, StopIsDrawnDisabledWithoutARunAndEnabledDuringOne) {
    const CRibbonMetrics& m = ribbon->GetLayout().metrics;
    auto picture = [&](UINT id) {
        RECT rc = ribbon->GetButtonRect(id);
        int x = (rc.left + rc.right - m.largeImage) / 2;
        return RECT{x, rc.top + m.Scale(4), x + m.largeImage, rc.top + m.Scale(4) + m.largeImage};
    };
    frame->OnIdleUpdateCmdUI();
    {
        Capture shot(ribbon->m_hWnd);
        EXPECT_FALSE(ribbon->FindByID(ID_DOWNLOAD_STOP)->IsEnabled());
        EXPECT_LT(shot.MaxSaturation(picture(ID_DOWNLOAD_STOP)), 24);   // grey
        EXPECT_GT(shot.MaxSaturation(picture(ID_DOWNLOAD_START)), 100); // green arrow
    }
    view->m_bRunning = 1; // the view's own record of a run, as its refresh sets it
    frame->OnIdleUpdateCmdUI();
    {
        Capture shot(ribbon->m_hWnd);
        EXPECT_TRUE(ribbon->FindByID(ID_DOWNLOAD_STOP)->IsEnabled());
        EXPECT_GT(shot.MaxSaturation(picture(ID_DOWNLOAD_STOP)), 100); // red sign
        EXPECT_LT(shot.MaxSaturation(picture(ID_DOWNLOAD_START)), 24);
    }
    view->m_bRunning = 0;
}

TEST_F(Ribbon, AltShowsKeyTipsFOpensTheMenuAButtonsTipRunsItAndEscapeBacksOut) {
    Key(WM_SYSKEYDOWN, VK_MENU);
    Key(WM_SYSKEYUP, VK_MENU);
    EXPECT_EQ(ribbon->GetKeyTipLevel(), CRibbonBar::KeyTips::top);
    Key(WM_KEYDOWN, 'F');
    EXPECT_EQ(ribbon->GetKeyTipLevel(), CRibbonBar::KeyTips::menu);
    ASSERT_TRUE(PopupOpen());
    EXPECT_TRUE(Popup()->m_bShowKeyTips);
    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_FALSE(PopupOpen());
    EXPECT_EQ(ribbon->GetKeyTipLevel(), CRibbonBar::KeyTips::top);
    Key(WM_KEYDOWN, 'H'); // the Home tab
    EXPECT_EQ(ribbon->GetKeyTipLevel(), CRibbonBar::KeyTips::category);
    Key(WM_KEYDOWN, VK_ESCAPE);
    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(ribbon->GetKeyTipLevel(), CRibbonBar::KeyTips::none);

    // Alt, H, then a button's tip: the button's command, and the tips go.
    Key(WM_SYSKEYDOWN, VK_MENU);
    Key(WM_SYSKEYUP, VK_MENU);
    Key(WM_KEYDOWN, 'H');
    const std::wstring tip = ribbon->FindByID(ID_APP_ABOUT)->GetKeyTip();
    ASSERT_EQ(tip.size(), 1u);
    rec.commands.clear();
    Key(WM_KEYDOWN, tip[0]);
    PumpUntil([&] { return !rec.commands.empty(); }, 3s, 2ms);
    EXPECT_EQ(rec.commands, std::vector<UINT>{ID_APP_ABOUT});
    EXPECT_EQ(ribbon->GetKeyTipLevel(), CRibbonBar::KeyTips::none);

    // Alt with another key keeps its system meaning (Alt+F4, Alt+Space).
    MSG msg{frame->m_hWnd, WM_SYSKEYDOWN, VK_MENU, 1 << 29, 0, {}};
    EXPECT_FALSE(ribbon->PreTranslateKey(msg));
    msg.wParam = VK_F4;
    EXPECT_FALSE(ribbon->PreTranslateKey(msg));
    msg.message = WM_SYSKEYUP;
    msg.wParam = VK_MENU;
    EXPECT_FALSE(ribbon->PreTranslateKey(msg));
    EXPECT_EQ(ribbon->GetKeyTipLevel(), CRibbonBar::KeyTips::none);
}

TEST_F(Ribbon, NarrowingCollapsesExitThenLinksAndTheLinksPopupRunsContact) {
    const CRibbonLayout wide = ribbon->GetLayout();
    ASSERT_FALSE(wide.panels.back().collapsed);
    const int full = wide.panels.back().rect.right + wide.metrics.panelMargin;
    SetClientWidth(full - 1);
    const CRibbonLayout& l = ribbon->GetLayout();
    EXPECT_TRUE(l.panels[6].collapsed);
    EXPECT_FALSE(l.panels[5].collapsed);
    SetClientWidth(l.panels[6].rect.right + l.metrics.panelMargin - 1);
    EXPECT_TRUE(l.panels[6].collapsed);
    EXPECT_TRUE(l.panels[5].collapsed);
    EXPECT_FALSE(l.panels[4].collapsed);
    // The folded panel draws its icon: colour where the icon is.
    const CRibbonPanelLayout links = l.panels[5];
    EXPECT_EQ(ribbon->GetButtonRect(ID_LINK_CONTACT).right, 0);
    RECT button{links.collapsedButton.left, links.collapsedButton.top, links.collapsedButton.right,
                links.collapsedButton.bottom};
    EXPECT_GT(Capture(ribbon->m_hWnd).MaxSaturation(button), 60);

    Click(ribbon->m_hWnd, Centre(button));
    ASSERT_TRUE(PopupOpen());
    EXPECT_EQ(Popup()->GetKind(), CRibbonPopup::Kind::panel);
    ASSERT_EQ(Popup()->GetItems().size(), 3u);
    RECT contact = Popup()->GetItemRect(ID_LINK_CONTACT);
    ASSERT_GT(contact.right, contact.left);
    // The popup shows the buttons with their labels.
    EXPECT_GT(Capture(Popup()->m_hWnd).Count(contact, 0, 90), 10);
    Click(Popup()->m_hWnd, Centre(contact));
    EXPECT_FALSE(PopupOpen());
    EXPECT_EQ(NextCommand(), static_cast<UINT>(ID_LINK_CONTACT));
}

TEST_F(Ribbon, ClockPaneAtTheRightEndShowsTheTimeAfterATick) {
    CRibbonStatusBar& bar = frame->m_wndStatusBar;
    RECT clock = bar.GetPaneRect(ID_STATUSBAR_PANE2);
    RECT client;
    GetClientRect(bar.m_hWnd, &client);
    EXPECT_EQ(clock.right, client.right);
    EXPECT_GT(clock.left, client.right / 2);
    EXPECT_EQ(bar.GetPaneText(ID_STATUSBAR_PANE1), L" ");
    // The status bar runs the width of the frame's bottom edge.
    RECT frameClient, barRect;
    GetClientRect(frame->m_hWnd, &frameClient);
    GetWindowRect(bar.m_hWnd, &barRect);
    MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&barRect), 2);
    EXPECT_EQ(barRect.bottom, frameClient.bottom);
    EXPECT_EQ(barRect.right, frameClient.right);

    auto lightPixels = [&] { return Capture(bar.m_hWnd).Count(clock, 200, 255); };
    const int digits = lightPixels();
    EXPECT_GT(digits, 20);
    frame->UpdateClockPane();
    std::wregex time(LR"(\d\d:\d\d:\d\d [A-Z][a-z]+day, [A-Z][a-z]+ \d\d, \d{4})");
    EXPECT_TRUE(std::regex_match(bar.GetPaneText(ID_STATUSBAR_PANE2), time));
    const int shown = lightPixels();
    EXPECT_GT(shown, 20);
    EXPECT_NE(shown, digits);
}

TEST_F(Ribbon, TooltipsShowTheCommandTitleAndItsPrompt) {
    struct Case {
        UINT id;
        const wchar_t* title;
        const wchar_t* description;
    };
    for (Case c :
         {Case{ID_FILE_SAVE, L"Save", L"Save the active document"},
          Case{ID_MOVIES_ADD, L"Add", L"Add a movie."}, Case{ID_DOWNLOAD_START, L"Download", L""},
          Case{ID_APP_ABOUT, L"About",
               L"Display program information, version number and copyright"}}) {
        std::wstring title, description;
        CRibbonBar::GetToolTip(*ribbon->FindByID(c.id), title, description);
        EXPECT_EQ(title, c.title) << c.id;
        EXPECT_EQ(description, c.description) << c.id;
    }
    // Hovering a button asks the tooltip for that button's text.
    RECT save = ribbon->GetButtonRect(ID_FILE_SAVE);
    POINT pt = Centre(save);
    SendMessageW(ribbon->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    wchar_t text[256] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = ribbon->m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(ribbon->m_hWnd);
    ti.lpszText = text;
    SendMessageW(ribbon->GetToolTipWindow(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(text, L"Save the active document");
}

TEST_F(Ribbon, CaptionRowMovesSizesMaximisesMinimisesAndClosesTheWindow) {
    auto hitAt = [&](POINT ribbonPt) {
        ClientToScreen(ribbon->m_hWnd, &ribbonPt);
        return SendMessageW(frame->m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(ribbonPt.x, ribbonPt.y));
    };
    auto ncClick = [&](WPARAM hit) {
        SendMessageW(frame->m_hWnd, WM_NCLBUTTONDOWN, hit, 0);
        SendMessageW(frame->m_hWnd, WM_NCLBUTTONUP, hit, 0);
    };
    // Both ways the caption can go: the ribbon's top row drags the window.
    for (bool own : {false, true}) {
        SCOPED_TRACE(own);
        frame->SetRibbonCaption(own);
        const CRibbonLayout& l = ribbon->GetLayout();
        EXPECT_EQ(hitAt(POINT{l.caption.right / 2, l.caption.bottom / 2}), HTCAPTION);
        EXPECT_EQ(hitAt(Centre(ribbon->GetButtonRect(ID_FILE_SAVE))), HTCLIENT);
        RECT window;
        GetWindowRect(frame->m_hWnd, &window);
        EXPECT_EQ(SendMessageW(frame->m_hWnd, WM_NCHITTEST, 0,
                               MAKELPARAM(window.right - 2, window.bottom - 2)),
                  HTBOTTOMRIGHT);
        RECT ribbonRect;
        GetWindowRect(ribbon->m_hWnd, &ribbonRect);
        POINT origin{0, 0};
        ClientToScreen(frame->m_hWnd, &origin);
        if (own) {
            // The caption went to the client: the top border is a side border.
            EXPECT_EQ(origin.y - window.top, origin.x - window.left);
        } else {
            EXPECT_GT(origin.y - window.top, origin.x - window.left);
            EXPECT_TRUE(l.closeButton.Empty());
        }
    }

    // With the ribbon's caption, its three buttons answer as the caption's.
    frame->SetRibbonCaption(true);
    const CRibbonLayout& l = ribbon->GetLayout();
    auto centre = [](const CRibbonRect& r) {
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    EXPECT_EQ(hitAt(centre(l.minimizeButton)), HTMINBUTTON);
    EXPECT_EQ(hitAt(centre(l.maximizeButton)), HTMAXBUTTON);
    EXPECT_EQ(hitAt(centre(l.closeButton)), HTCLOSE);
    ncClick(HTMAXBUTTON);
    EXPECT_TRUE(IsZoomed(frame->m_hWnd));
    ncClick(HTMAXBUTTON);
    EXPECT_FALSE(IsZoomed(frame->m_hWnd));
    ncClick(HTMINBUTTON);
    EXPECT_TRUE(IsIconic(frame->m_hWnd));
    ShowWindow(frame->m_hWnd, SW_RESTORE);
    // A press that leaves the button before its release does nothing.
    SendMessageW(frame->m_hWnd, WM_NCLBUTTONDOWN, HTCLOSE, 0);
    SendMessageW(frame->m_hWnd, WM_NCLBUTTONUP, HTCAPTION, 0);
    EXPECT_TRUE(rec.sysCommands.empty());
    ncClick(HTCLOSE);
    EXPECT_EQ(rec.sysCommands, std::vector<WPARAM>{SC_CLOSE});
}

TEST_F(Ribbon, HigherDpiScalesTheBarsAndKeepsTheViewBetweenThem) {
    for (int dpi : {144, 192, 96}) {
        SCOPED_TRACE(dpi);
        RECT rc;
        GetWindowRect(frame->m_hWnd, &rc);
        SendMessageW(frame->m_hWnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&rc));
        const CRibbonMetrics m = CRibbonMetrics::ForDpi(dpi);
        RECT ribbonRect, statusRect, viewRect;
        GetClientRect(ribbon->m_hWnd, &ribbonRect);
        GetWindowRect(frame->m_wndStatusBar.m_hWnd, &statusRect);
        GetWindowRect(view->m_hWnd, &viewRect);
        EXPECT_EQ(ribbonRect.bottom, m.RibbonHeight());
        EXPECT_EQ(statusRect.bottom - statusRect.top, m.statusHeight);
        MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&viewRect), 2);
        EXPECT_EQ(viewRect.top, m.RibbonHeight());
        // The large pictures are drawn at the DPI's size: Add's plus sign
        // reaches close to the edge of a 48 or 64 pixel square.
        RECT add = ribbon->GetButtonRect(ID_MOVIES_ADD);
        int x = (add.left + add.right - m.largeImage) / 2, y = add.top + m.Scale(4);
        Capture shot(ribbon->m_hWnd);
        RECT lowerQuarter{x, y + m.largeImage * 3 / 4, x + m.largeImage, y + m.largeImage};
        RECT upperQuarter{x, y, x + m.largeImage, y + m.largeImage / 4};
        EXPECT_GT(shot.MaxSaturation(lowerQuarter), 60);
        EXPECT_GT(shot.MaxSaturation(upperQuarter), 60);
    }
}

} // namespace
