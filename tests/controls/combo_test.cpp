// The application-drawn combo box: its rules without a window, then real
// windows on the test display driven by messages and keys, its notifications
// in order, its hooks, and its faces read back as pixels.
#include "controls/adv_combo.h"
#include "controls/combo_rules.h"
#include "controls/drop_wnd.h"
#include "controls/visual_styles.h"
#include "pump_win.h"
#include "tests/controls/combo_test_resources.h"

#include <gtest/gtest.h>
#include <vssym32.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using combo_rules::Box;

std::vector<AdvComboItem> Items(std::initializer_list<const wchar_t*> texts,
                                std::initializer_list<int> disabled = {}) {
    std::vector<AdvComboItem> out;
    for (const wchar_t* t : texts)
        out.push_back({t});
    for (int i : disabled)
        out[static_cast<std::size_t>(i)].bItemDisabled = 1;
    return out;
}

// ---------------------------------------------------------------- rules

TEST(ComboRules, KeysSkipDisabledItemsAndStopAtTheEnds) {
    const auto abc = Items({L"a", L"b", L"c"}, {1});
    std::vector<AdvComboItem> many(25);
    struct Case {
        const std::vector<AdvComboItem>* items;
        int from, distance, expected;
    } cases[] = {
        {&abc, 0, 1, 2},     {&abc, 2, -1, 0},   {&abc, 2, 1, 2}, // Down/Up over "b"
        {&many, 20, 10, 24}, {&many, 3, -10, 0}, {&many, -1, 10, 9},
        {&abc, 0, 10, 2}, // a page landing on the end
    };
    for (const Case& c : cases) {
        int got = (c.distance == 1 || c.distance == -1)
                      ? combo_rules::NextEnabled(*c.items, c.from, c.distance)
                      : combo_rules::MoveBy(*c.items, c.from, c.distance);
        EXPECT_EQ(got, c.expected) << c.from << " by " << c.distance;
    }
    EXPECT_EQ(combo_rules::MoveBy(Items({L"x"}, {0}), -1, 10), -1);
}

TEST(ComboRules, CompletionAndExactMatchAreCaseSensitive) {
    const auto items = Items({L"Apple", L"apricot", L"apple", L"apple"});
    EXPECT_EQ(combo_rules::FirstWithPrefix(items, L"ap"), 1);
    EXPECT_EQ(combo_rules::FirstWithPrefix(items, L"Ap"), 0);
    EXPECT_EQ(combo_rules::FirstWithPrefix(items, L""), -1);
    EXPECT_EQ(combo_rules::FindExact(items, L"apple"), 2);
    EXPECT_EQ(combo_rules::FindExact(items, L"apple", 3), 3);
    EXPECT_EQ(combo_rules::FindExact(items, L"APPLE"), -1);
    EXPECT_EQ(combo_rules::WithPrefix(items, L"app").size(), 2u);
}

TEST(ComboRules, DropDownPlacement) {
    const Box work{0, 0, 1000, 800};
    combo_rules::DropMetrics m;
    m.nItemHeight = 20;
    m.nItemCount = 30;
    m.nWidestText = 50;
    m.nScrollWidth = 16;
    // Room below: all rows that fit, below the combo, the combo's width.
    Box below = combo_rules::PlaceDropDown({100, 100, 300, 120}, work, m);
    EXPECT_EQ(below.top, 120);
    EXPECT_EQ(below.Height(), 30 * 20 + 2);
    EXPECT_EQ(below.Width(), 200);
    // Fewer than 5 rows below: upwards, whole rows that fit above.
    Box up = combo_rules::PlaceDropDown({100, 700, 300, 720}, work, m);
    EXPECT_EQ(up.bottom, 700);
    EXPECT_EQ(up.Height(), 30 * 20 + 2);
    // Visible rows cap the height; a wide item widens it and the work area
    // keeps it inside.
    m.nVisibleRows = 4;
    m.nWidestText = 400;
    Box wide = combo_rules::PlaceDropDown({800, 100, 900, 120}, work, m);
    EXPECT_EQ(wide.Height(), 4 * 20 + 2);
    EXPECT_EQ(wide.Width(), 400 + 16 + 8);
    EXPECT_EQ(wide.right, 1000);
    m.nWidestText = 5000;
    EXPECT_EQ(combo_rules::PlaceDropDown({800, 100, 900, 120}, work, m).Width(), 1000);

    int cx = 10, cy = 1;
    combo_rules::ClampGripSize(cx, cy, 120, 17, 200, 100);
    EXPECT_EQ(cx, 120);
    EXPECT_EQ(cy, 17);
    cx = 900, cy = 900;
    combo_rules::ClampGripSize(cx, cy, 120, 17, 200, 100);
    EXPECT_EQ(cx, 300);
    EXPECT_EQ(cy, 125);
}

TEST(VisualStyles, StyledOnlyWithVersionSixSchemeAndThemedApplication) {
    struct Case {
        DWORD major, minor;
        const wchar_t* scheme;
        bool themed, expected;
    } cases[] = {
        {6, 0, L"NormalColor", true, true},   {6, 0, L"homestead", true, true},
        {6, 0, L"Metallic", true, true},      {6, 10, L"NormalColor", true, false},
        {5, 82, L"NormalColor", true, false}, {6, 0, L"Aero", true, false},
        {6, 0, L"NormalColor", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CVisualStyles::StyledFor(c.major, c.minor, c.scheme, c.themed), c.expected)
            << c.major << "." << c.minor << " " << c.scheme;
}

// ---------------------------------------------------------------- windows

using tb::test::Pump;
using tb::test::PumpUntil;

// Records the combo notifications it receives, in order.
class Parent : public CWnd {
public:
    std::vector<int> codes;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && lParam)
            codes.push_back(HIWORD(wParam));
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

class HookedCombo : public CAdvComboBox {
public:
    int cancels = 0, completes = 0;

protected:
    void OnComboCancel() override { ++cancels; }
    void OnComboComplete() override { ++completes; }
};

class ComboTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(parent.CreateEx(0, L"Combo test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400,
                                    300, nullptr, 0));
    }
    void TearDown() override { CVisualStyles::OverrideForTesting(nullptr, -1); }
    void Make(DWORD style = CBS_DROPDOWNLIST, UINT id = 7) {
        ASSERT_TRUE(
            combo.Create(WS_CHILD | WS_VISIBLE | style, RECT{10, 10, 210, 34}, &parent, id));
        Pump();
    }
    LRESULT Key(UINT vk, UINT msg = WM_KEYDOWN) {
        LRESULT r = combo.SendMessage(msg, vk, 0);
        Pump();
        return r;
    }
    std::wstring LbText(int i) {
        wchar_t buffer[64] = {};
        combo.SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }

    Parent parent;
    HookedCombo combo;
};

TEST_F(ComboTest, StandardMessages) {
    Make();
    for (const wchar_t* t : {L"one", L"same", L"same", L"Three"})
        combo.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    EXPECT_EQ(combo.SendMessage(CB_GETCOUNT), 4);
    EXPECT_EQ(combo.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"last")), 4);

    wchar_t buffer[16] = {};
    EXPECT_EQ(combo.SendMessage(CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(buffer)), 6);
    EXPECT_STREQ(buffer, L"Three");
    EXPECT_EQ(combo.SendMessage(CB_GETLBTEXTLEN, 0), 4);
    EXPECT_EQ(combo.SendMessage(CB_GETLBTEXT, 5, reinterpret_cast<LPARAM>(buffer)), -1);
    EXPECT_EQ(combo.SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(-2)), -1);

    // The selection is read back from the text: equal texts give the first.
    EXPECT_EQ(combo.SendMessage(CB_SETCURSEL, 2), 2);
    EXPECT_EQ(combo.GetText(), L"same");
    EXPECT_EQ(combo.SendMessage(CB_GETCURSEL), 1);
    EXPECT_EQ(combo.SendMessage(CB_SETCURSEL, 9), -1);
    EXPECT_EQ(combo.SendMessage(CB_GETCURSEL), 1);

    // From the start index on, case-sensitive.
    EXPECT_EQ(combo.SendMessage(CB_SELECTSTRING, 2, reinterpret_cast<LPARAM>(L"same")), 2);
    EXPECT_EQ(combo.SendMessage(CB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(L"three")), -1);
    EXPECT_EQ(combo.SendMessage(CB_SELECTSTRING, 4, reinterpret_cast<LPARAM>(L"one")), -1);

    EXPECT_EQ(combo.SendMessage(CB_GETTOPINDEX), -1); // closed
    EXPECT_EQ(combo.SendMessage(CB_SETCURSEL, static_cast<WPARAM>(-1)), -1);
    EXPECT_EQ(combo.GetText(), L"");
    EXPECT_EQ(combo.SendMessage(CB_GETCURSEL), -1);
    combo.SendMessage(CB_SETCURSEL, 0);
    combo.SendMessage(CB_RESETCONTENT);
    EXPECT_EQ(combo.SendMessage(CB_GETCOUNT), 0);
    EXPECT_EQ(combo.GetText(), L"");
    EXPECT_EQ(combo.m_nCurSel, -1);
}

TEST_F(ComboTest, ItemsComeFromTheStringNamedByTheControlId) {
    Make(CBS_DROPDOWNLIST, IDC_TEST_LOADED_COMBO);
    ASSERT_EQ(combo.SendMessage(CB_GETCOUNT), 3);
    EXPECT_EQ(LbText(0), L"alpha");
    EXPECT_EQ(LbText(2), L"gamma");
    EXPECT_TRUE(combo.m_dwComboStyle & ACS_INSET_EDIT);
    wchar_t cls[32] = {};
    GetClassNameW(combo.m_hWnd, cls, 32);
    EXPECT_STREQ(cls, L"SuperComboBox");
}

TEST_F(ComboTest, KeysWhileClosed) {
    Make();
    combo.AddItem(L"a");
    combo.AddItem(L"b", true);
    combo.AddItem(L"c");
    combo.SendMessage(CB_SETCURSEL, 0);
    parent.codes.clear();
    Key(VK_DOWN);
    EXPECT_EQ(combo.m_nCurSel, 2);
    EXPECT_EQ(combo.GetText(), L"c");
    EXPECT_EQ(parent.codes, (std::vector<int>{CBN_SELENDOK, CBN_SELCHANGE}));
    parent.codes.clear();
    Key(VK_DOWN); // at the end: nothing moves, nothing is sent
    EXPECT_TRUE(parent.codes.empty());
    Key(VK_UP);
    EXPECT_EQ(combo.m_nCurSel, 0);

    // Escape closed goes to the cancel hook once (key and character); the
    // Return character to the completion hook.
    Key(VK_ESCAPE);
    combo.SendMessage(WM_CHAR, VK_ESCAPE);
    EXPECT_EQ(combo.cancels, 2);
    EXPECT_EQ(combo.completes, 0);
    Key(VK_RETURN);
    combo.SendMessage(WM_CHAR, VK_RETURN);
    EXPECT_EQ(combo.completes, 1);

    combo.SendMessage(CB_RESETCONTENT);
    for (int i = 0; i < 25; ++i)
        combo.AddItem(std::to_wstring(i));
    combo.SendMessage(CB_SETCURSEL, 20);
    Key(VK_NEXT);
    EXPECT_EQ(combo.m_nCurSel, 24);
    Key(VK_PRIOR);
    EXPECT_EQ(combo.m_nCurSel, 14);
    // The wheel: 120 units a step, smaller movements add up.
    combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -60));
    EXPECT_EQ(combo.m_nCurSel, 14);
    combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -60));
    EXPECT_EQ(combo.m_nCurSel, 15);
    combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 240));
    EXPECT_EQ(combo.m_nCurSel, 13);
}

TEST_F(ComboTest, OpenListKeysAndNotificationOrder) {
    Make();
    for (int i = 0; i < 25; ++i)
        combo.AddItem(std::to_wstring(i), i == 3);
    combo.SetVisibleRows(5);
    combo.SendMessage(CB_SETCURSEL, 2);
    parent.codes.clear();

    Key(VK_F4);
    ASSERT_TRUE(combo.IsDropped());
    EXPECT_EQ(parent.codes, (std::vector<int>{CBN_DROPDOWN}));
    CDropWnd* drop = combo.GetDropWnd();
    EXPECT_EQ(drop->GetCurSel(), 2);
    EXPECT_EQ(drop->VisibleRows(), 5);
    Key(VK_DOWN); // over the disabled "3"
    EXPECT_EQ(drop->GetCurSel(), 4);
    Key(VK_NEXT); // a page of the open list
    EXPECT_EQ(drop->GetCurSel(), 9);
    combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -120));
    EXPECT_EQ(combo.SendMessage(CB_GETTOPINDEX), drop->GetTopIndex());
    const int top = drop->GetTopIndex();
    combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -120));
    EXPECT_EQ(drop->GetTopIndex(), top + 3);
    EXPECT_EQ(combo.m_nCurSel, 2); // the wheel scrolls the open list only

    // Escape while open closes without a pick; the hook is not called.
    parent.codes.clear();
    Key(VK_ESCAPE);
    EXPECT_FALSE(combo.IsDropped());
    EXPECT_EQ(parent.codes, (std::vector<int>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
    EXPECT_EQ(combo.cancels, 0);

    // Alt+Down opens; Enter picks the list's item, then the close completes.
    Key(VK_DOWN, WM_SYSKEYDOWN);
    ASSERT_TRUE(combo.IsDropped());
    Key(VK_DOWN);
    parent.codes.clear();
    Key(VK_RETURN);
    EXPECT_FALSE(combo.IsDropped());
    EXPECT_EQ(parent.codes, (std::vector<int>{CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
    EXPECT_EQ(combo.m_nCurSel, 4);
    EXPECT_EQ(combo.GetText(), L"4");
    EXPECT_EQ(combo.completes, 1);

    // A pick as the drop-down posts it: item, then close.
    combo.SendMessage(WM_ON_DROPDOWN_BUTTON);
    ASSERT_TRUE(combo.IsDropped());
    combo.GetDropWnd()->List().SendMessage(LB_SETCURSEL, 7);
    combo.PostMessage(WM_SELECTED_ITEM, 7);
    combo.PostMessage(WM_DESTROY_DROPLIST);
    ASSERT_TRUE(PumpUntil([&] { return combo.completes == 2; }));
    EXPECT_EQ(combo.m_nCurSel, 7);
}

TEST_F(ComboTest, EditChildCompletesAndFilters) {
    Make(CBS_DROPDOWN | CBS_AUTOHSCROLL);
    HWND edit = combo.GetEditWnd();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetDlgCtrlID(edit), 108);
    for (const wchar_t* t : {L"red", L"green", L"grey", L"blue"})
        combo.AddItem(t);
    combo.SetComboStyle(combo.GetComboStyle() | ACS_AUTOCOMPLETE);
    SetFocus(edit);
    parent.codes.clear();
    SendMessageW(edit, WM_CHAR, L'g', 0);
    Pump();
    wchar_t text[32] = {};
    GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(text, L"green");
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u);
    EXPECT_EQ(end, 5u);
    EXPECT_EQ(combo.SendMessage(CB_GETCURSEL), 1);
    EXPECT_NE(std::find(parent.codes.begin(), parent.codes.end(), CBN_EDITUPDATE),
              parent.codes.end());
    // Right with the caret at the end accepts the completion.
    SendMessageW(edit, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 5u);

    // Filtering: two matches drop down a list of just those.
    SetWindowTextW(edit, L"");
    combo.SetComboStyle(ACS_INSET_EDIT | ACS_FILTER_LIST);
    SendMessageW(edit, WM_CHAR, L'g', 0);
    Pump();
    ASSERT_TRUE(combo.IsDropped());
    EXPECT_EQ(combo.GetDropWnd()->List().Items().size(), 2u);
    Key(VK_ESCAPE);
    EXPECT_FALSE(combo.IsDropped());
}

// ---------------------------------------------------------------- real input

void MoveTo(HWND hWnd, POINT client) {
    ClientToScreen(hWnd, &client);
    SetCursorPos(client.x, client.y);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_MOVE; // a real move, so the windows hear of it
    SendInput(1, &in, sizeof(in));
    PumpUntil([] { return GetQueueStatus(QS_INPUT) == 0; });
}

void Button(DWORD flags, DWORD data = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    SendInput(1, &in, sizeof(in));
    PumpUntil([] { return GetQueueStatus(QS_INPUT) == 0; });
}

void ClickAt(HWND hWnd, POINT client) {
    MoveTo(hWnd, client);
    Button(MOUSEEVENTF_LEFTDOWN);
    Button(MOUSEEVENTF_LEFTUP);
}

TEST_F(ComboTest, MouseOpensPicksSkipsDisabledAndResizesByTheGrip) {
    Make();
    combo.AddItem(L"a");
    combo.AddItem(L"b", true);
    combo.AddItem(L"c");
    SetForegroundWindow(parent.m_hWnd);
    ClickAt(combo.m_hWnd, {20, 12});
    ASSERT_TRUE(PumpUntil([&] { return combo.IsDropped(); }));
    EXPECT_EQ(GetFocus(), combo.m_hWnd);
    CDropWnd* drop = combo.GetDropWnd();
    const HWND list = drop->List().m_hWnd;
    const int h = drop->List().GetItemHeight();
    RECT dropRect{};
    GetWindowRect(drop->m_hWnd, &dropRect);
    RECT comboRect{};
    GetWindowRect(combo.m_hWnd, &comboRect);
    EXPECT_EQ(dropRect.top, comboRect.bottom);
    EXPECT_EQ(dropRect.bottom - dropRect.top, 3 * h + 2);

    // The disabled "b" can be neither hovered nor picked.
    ClickAt(list, {10, h + h / 2});
    Pump();
    EXPECT_TRUE(combo.IsDropped());
    EXPECT_EQ(combo.m_nCurSel, -1);

    // The grip: dragged far, the size stops at the opening size + 100 x 25.
    const SIZE initial = drop->GetInitialSize();
    RECT grip = drop->GetGripRect();
    MoveTo(drop->m_hWnd, {(grip.left + grip.right) / 2, (grip.top + grip.bottom) / 2});
    Button(MOUSEEVENTF_LEFTDOWN);
    MoveTo(drop->m_hWnd, {grip.right + 400, grip.bottom + 400});
    Button(MOUSEEVENTF_LEFTUP);
    GetWindowRect(drop->m_hWnd, &dropRect);
    EXPECT_EQ(dropRect.right - dropRect.left, initial.cx + 100);
    EXPECT_EQ(dropRect.bottom - dropRect.top, initial.cy + 25);

    // The wheel on the focused combo while open scrolls, not selects.
    MoveTo(combo.m_hWnd, {20, 12});
    Button(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA));
    EXPECT_EQ(combo.m_nCurSel, -1);

    parent.codes.clear();
    ClickAt(list, {10, 2 * h + h / 2});
    ASSERT_TRUE(PumpUntil([&] { return !combo.IsDropped(); }));
    EXPECT_EQ(combo.GetText(), L"c");
    EXPECT_EQ(parent.codes, (std::vector<int>{CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
    EXPECT_EQ(combo.completes, 1); // the close that follows a pick

    // Closed, the wheel selects: up from "c" skips "b".
    MoveTo(combo.m_hWnd, {20, 12});
    Button(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    EXPECT_TRUE(PumpUntil([&] { return combo.m_nCurSel == 0; }));

    // A press outside the open drop-down closes it without a pick.
    ClickAt(combo.m_hWnd, {20, 12});
    ASSERT_TRUE(PumpUntil([&] { return combo.IsDropped(); }));
    ClickAt(parent.m_hWnd, {300, 250});
    EXPECT_TRUE(PumpUntil([&] { return !combo.IsDropped(); }));
    EXPECT_EQ(combo.m_nCurSel, 0);
}

// ---------------------------------------------------------------- drawing

COLORREF PixelAt(HWND hWnd, int x, int y) {
    RECT rc{};
    GetClientRect(hWnd, &rc);
    HDC screen = GetDC(hWnd);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(mem, bmp);
    SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    COLORREF c = GetPixel(mem, x, y);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(hWnd, screen);
    return c;
}

int CountPixels(HWND hWnd, const RECT& area, COLORREF want) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += PixelAt(hWnd, x, y) == want;
    return n;
}

TEST_F(ComboTest, ClassicFaceFrameButtonAndFocus) {
    CVisualStyles::OverrideForTesting(nullptr, 0);
    Make();
    const RECT button = combo.GetButtonRect();
    const int midY = (button.top + button.bottom) / 2;
    EXPECT_EQ(PixelAt(combo.m_hWnd, 0, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(PixelAt(combo.m_hWnd, 1, 1), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(PixelAt(combo.m_hWnd, 8, midY), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(PixelAt(combo.m_hWnd, button.left + 2, button.top + 2), GetSysColor(COLOR_BTNFACE));
    // The arrow: button-text pixels in the button's middle.
    RECT middle{button.left + 2, midY - 3, button.right - 2, midY + 3};
    EXPECT_GT(CountPixels(combo.m_hWnd, middle, GetSysColor(COLOR_BTNTEXT)), 0);

    SetFocus(combo.m_hWnd);
    Pump();
    EXPECT_EQ(PixelAt(combo.m_hWnd, 8, midY), GetSysColor(COLOR_HIGHLIGHT));
    EnableWindow(combo.m_hWnd, FALSE);
    EXPECT_EQ(PixelAt(combo.m_hWnd, 8, midY), GetSysColor(COLOR_BTNFACE));
}

// A theme that paints each drop-button state in its own colour.
COLORREF StateColour(int state) {
    return RGB(40 * state, 200, 10);
}
constexpr COLORREF kBorder = RGB(255, 0, 0);
constexpr COLORREF kFill = RGB(0, 0, 255);
const ThemeFunctions kFakeTheme{
    [](HWND, LPCWSTR) { return reinterpret_cast<HTHEME>(1); },
    [](HTHEME) -> HRESULT { return S_OK; },
    [](HTHEME, HDC dc, int part, int state, LPCRECT rc, LPCRECT) -> HRESULT {
        if (part != CP_DROPDOWNBUTTON)
            return E_FAIL;
        HBRUSH b = CreateSolidBrush(StateColour(state));
        FillRect(dc, rc, b);
        DeleteObject(b);
        return S_OK;
    },
    [](HTHEME, int, int, int prop, COLORREF* c) -> HRESULT {
        *c = prop == TMT_BORDERCOLOR ? kBorder : kFill;
        return S_OK;
    },
    []() -> BOOL { return TRUE; },
    [](LPWSTR, int, LPWSTR, int, LPWSTR, int) -> HRESULT { return E_FAIL; },
};

TEST_F(ComboTest, ThemedFaceDrawsTheButtonStateAndBorder) {
    CVisualStyles::OverrideForTesting(&kFakeTheme, 1);
    Make();
    combo.AddItem(L"x");
    const RECT b = combo.GetButtonRect();
    const int x = (b.left + b.right) / 2, y = (b.top + b.bottom) / 2;
    EXPECT_EQ(PixelAt(combo.m_hWnd, 0, 0), kBorder);
    EXPECT_EQ(PixelAt(combo.m_hWnd, x, y), StateColour(CBXS_NORMAL));
    combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    EXPECT_TRUE(combo.IsButtonHot());
    EXPECT_EQ(PixelAt(combo.m_hWnd, x, y), StateColour(CBXS_HOT));
    Key(VK_F4);
    EXPECT_EQ(PixelAt(combo.m_hWnd, x, y), StateColour(CBXS_PRESSED));
    Key(VK_F4);
    // The 50 ms check finds the pointer elsewhere and clears the hot state.
    SetCursorPos(0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !combo.IsButtonHot(); }));
    EnableWindow(combo.m_hWnd, FALSE);
    EXPECT_EQ(PixelAt(combo.m_hWnd, x, y), StateColour(CBXS_DISABLED));
    EXPECT_EQ(PixelAt(combo.m_hWnd, 5, y), kFill);
}

} // namespace
