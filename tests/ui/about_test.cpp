// The About box as a real dialog on the test display: the copyright line must
// fit its control for any year, and the Homepage link must look and behave like
// a link. The dialog runs modally on this thread; a helper thread inspects it
// as a user would see it (pixels read back through PrintWindow).
#include "res/resource.h"
#include "ui/about_dlg.h"
#include "ui/maker_site.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "pump_win.h"
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

using tb::test::TextOf;
using tb::test::WaitUntil;

HWND WaitAboutBox() {
    return tb::test::WaitDialog(L"About Torvane Brenlow");
}

// Shows the About box with the clock at `now` while `inspect` looks at it from
// a second thread; `inspect` gets the dialog (null if it never showed) and the
// dialog is closed afterwards.
void WithAboutBox(CAboutDlg& dlg, const std::function<void(HWND)>& inspect) {
    std::thread helper([&] {
        HWND about = WaitAboutBox();
        inspect(about);
        if (about)
            PostMessageW(about, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    helper.join();
}

// A window's client area as it paints itself, one COLORREF per pixel.
struct Capture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Capture CaptureClient(HWND hwnd) {
    Capture c;
    RECT rc{};
    GetClientRect(hwnd, &rc);
    c.width = rc.right;
    c.height = rc.bottom;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, c.width, c.height);
    HGDIOBJ old = SelectObject(mem, bmp);
    PrintWindow(hwnd, mem, PW_CLIENTONLY);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            c.pixels.push_back(GetPixel(mem, x, y));
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return c;
}

// What the link shows: its ink (colour -> pixels), the rows it underlines in
// its main colour, and a focus rectangle.
struct LinkLook {
    std::map<COLORREF, int> ink;
    COLORREF main = CLR_INVALID; // the colour most of the ink is in
    bool underlined = false;     // a row in the main colour across the text
    bool focusRect = false;      // ink on the outer top row, where text never reaches
};

LinkLook Look(const Capture& c, COLORREF background) {
    LinkLook look;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (COLORREF p = c.at(x, y); p != background) {
                ++look.ink[p];
                look.focusRect |= y == 0;
            }
    int most = 0;
    for (auto [colour, n] : look.ink)
        if (n > most) {
            look.main = colour;
            most = n;
        }
    for (int y = 0; y < c.height && !look.underlined; ++y) {
        int inMain = 0;
        for (int x = 0; x < c.width; ++x)
            inMain += c.at(x, y) == look.main;
        look.underlined = inMain * 10 >= c.width * 9;
    }
    return look;
}

// How well two colours read on each other (ratio of relative luminances).
double Contrast(COLORREF a, COLORREF b) {
    auto lum = [](COLORREF c) {
        double sum = 0;
        const double weight[3] = {0.2126, 0.7152, 0.0722};
        const int value[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
        for (int i = 0; i < 3; ++i) {
            double v = value[i] / 255.0;
            sum += weight[i] * (v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    double la = lum(a), lb = lum(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Sets the system's hot-light colour for the test and puts it back after.
class HotLight {
public:
    explicit HotLight(COLORREF colour) { Set(colour); }
    ~HotLight() { Set(m_saved); }

private:
    static void Set(COLORREF colour) {
        const INT index = COLOR_HOTLIGHT;
        SetSysColors(1, &index, &colour);
    }
    COLORREF m_saved = GetSysColor(COLOR_HOTLIGHT);
};

// 2099-07-01 12:00 UTC: a date in 2099 in every time zone.
constexpr std::time_t k2099 = 4086590400;

TEST(AboutBox, CopyrightLineFitsItsControlUpToTheYear9999) {
    CAboutDlg dlg;
    dlg.m_now = [] { return k2099; };
    struct Seen {
        std::wstring text;
        SIZE extent{};
        int wrappedHeight = 0;
        RECT client{}, control{}, dialog{};
    };
    std::vector<Seen> seen;
    WithAboutBox(dlg, [&](HWND about) {
        ASSERT_NE(about, nullptr);
        HWND line = GetDlgItem(about, IDC_COPYRIGHT);
        // The year the clock gives, and the widest year the line must hold.
        for (std::wstring text : {TextOf(line), CopyrightLine(9999)}) {
            Seen s;
            s.text = text;
            GetClientRect(line, &s.client);
            GetWindowRect(line, &s.control);
            GetClientRect(about, &s.dialog);
            MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&s.control), 2);
            HDC dc = GetDC(line);
            HGDIOBJ old =
                SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(line, WM_GETFONT, 0, 0)));
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &s.extent);
            // Laid out as the static lays it out: word-wrapped at its width.
            RECT wrap = s.client;
            s.wrappedHeight = DrawTextW(dc, text.c_str(), -1, &wrap,
                                        DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
            SelectObject(dc, old);
            ReleaseDC(line, dc);
            seen.push_back(s);
        }
    });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, L"Copyright (C) 2009-2099 Velmora Software");
    EXPECT_EQ(seen[1].text, L"Copyright (C) 2009-9999 Velmora Software");
    for (const Seen& s : seen) {
        SCOPED_TRACE(s.text);
        EXPECT_LE(s.extent.cx, s.client.right);
        EXPECT_EQ(s.wrappedHeight, s.extent.cy); // one line, nothing wraps out of sight
        EXPECT_LE(s.extent.cy, s.client.bottom);
        EXPECT_LE(s.control.right, s.dialog.right); // and the control lies inside the box
    }
}

TEST(AboutBox, HomepageLinkLooksAndActsLikeALink) {
    struct Case {
        const char* name;
        COLORREF hot;
    };
    // A hot-light colour that reads on the dialog is used as it is; a pale one
    // (some themes give a light grey) must not leave the link invisible.
    for (Case c :
         {Case{"dark blue", RGB(0x00, 0x00, 0xC0)}, Case{"pale grey", RGB(0xE0, 0xE0, 0xE0)}}) {
        SCOPED_TRACE(c.name);
        HotLight hot(c.hot);
        CAboutDlg dlg;
        std::vector<std::wstring> opened;
        std::atomic<int> clicks{0};
        dlg.m_linkHomepage.m_open = [&](const std::wstring& url) {
            opened.push_back(url);
            ++clicks;
        };
        COLORREF background = CLR_INVALID;
        LinkLook plain, keyboard, visited;
        HCURSOR cursor = nullptr;
        WithAboutBox(dlg, [&](HWND about) {
            ASSERT_NE(about, nullptr);
            HWND link = GetDlgItem(about, IDC_HOMEPAGE);
            HWND ok = GetDlgItem(about, IDOK);
            // The dialog's own background, just right of the link.
            RECT rc{};
            GetWindowRect(link, &rc);
            MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&rc), 2);
            background = CaptureClient(about).at(rc.right + 2, rc.top + 1);

            plain = Look(CaptureClient(link), background);

            // Tab from OK (the first tab stop) reaches the link by the keyboard.
            PostMessageW(ok, WM_KEYDOWN, VK_TAB, 1);
            PostMessageW(ok, WM_KEYUP, VK_TAB, 0xC0000001);
            GUITHREADINFO gui{};
            gui.cbSize = sizeof gui;
            EXPECT_TRUE(WaitUntil([&] {
                GetGUIThreadInfo(GetWindowThreadProcessId(about, nullptr), &gui);
                return gui.hwndFocus == link;
            }));
            keyboard = Look(CaptureClient(link), background);

            // Tab on to OK, then a click on the link: focused by the mouse, no
            // rectangle; followed, so in the visited colour.
            PostMessageW(link, WM_KEYDOWN, VK_TAB, 1);
            PostMessageW(link, WM_KEYUP, VK_TAB, 0xC0000001);
            EXPECT_TRUE(WaitUntil([&] {
                GetGUIThreadInfo(GetWindowThreadProcessId(about, nullptr), &gui);
                return gui.hwndFocus == ok;
            }));
            PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            EXPECT_TRUE(WaitUntil([&] { return clicks == 1; }));
            GetGUIThreadInfo(GetWindowThreadProcessId(about, nullptr), &gui);
            EXPECT_EQ(gui.hwndFocus, link);
            visited = Look(CaptureClient(link), background);

            SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            CURSORINFO info{};
            info.cbSize = sizeof info;
            GetCursorInfo(&info);
            cursor = info.hCursor;
        });

        EXPECT_EQ(opened, std::vector<std::wstring>{kMakerSite});
        EXPECT_EQ(cursor, LoadCursorW(nullptr, IDC_HAND));

        // Underlined text that reads well on the dialog's background: the
        // hot-light colour itself whenever that reads well.
        EXPECT_GE(Contrast(plain.main, background), 4.5);
        if (Contrast(c.hot, background) >= 4.5)
            EXPECT_EQ(plain.main, c.hot);
        else
            EXPECT_NE(plain.main, c.hot);
        EXPECT_TRUE(plain.underlined);
        EXPECT_FALSE(plain.focusRect);
        EXPECT_TRUE(keyboard.focusRect);
        EXPECT_EQ(keyboard.main, plain.main);
        // After a click: another colour that reads as well, still underlined,
        // and no focus rectangle for the mouse.
        EXPECT_FALSE(visited.focusRect);
        EXPECT_NE(visited.main, plain.main);
        EXPECT_EQ(visited.ink.count(plain.main), 0u);
        EXPECT_GE(Contrast(visited.main, background), 4.5);
        EXPECT_TRUE(visited.underlined);
    }
}

} // namespace
