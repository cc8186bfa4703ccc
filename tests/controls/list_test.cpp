// The list control's operations, and its answers to real mouse and keyboard
// input, in a real window.
#include "list_fixture.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

using Event = CHostWnd::Event;

int ForeignRow(CXListCtrl& list, LPARAM data) {
    // A row inserted past the control, with an item data of its own.
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = 0x7FFFFFFF;
    item.pszText = const_cast<wchar_t*>(L"foreign");
    item.lParam = data;
    return static_cast<int>(
        SendMessageW(list.m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

TEST(ListOperations, InsertRowAppendsAndRefusesNegativeRows) {
    ListFixture f(2);
    EXPECT_EQ(f.list.InsertRow(-1, 0, 0), -1);
    EXPECT_EQ(f.list.GetItemCount(), 2);
    EXPECT_EQ(f.list.InsertRow(0x7FFFFFFF, RGB(1, 2, 3), RGB(4, 5, 6)), 2);
    EXPECT_EQ(f.list.InsertRow(0, RGB(7, 8, 9), 0), 0);
    ASSERT_EQ(f.list.GetItemCount(), 4);
    // One default record per column; only column 0 takes the given colours.
    const XListCell* first = f.list.GetCell(3, 0);
    const XListCell* other = f.list.GetCell(3, 4);
    ASSERT_TRUE(first && other);
    EXPECT_EQ(first->clrText, RGB(1, 2, 3));
    EXPECT_EQ(first->clrBack, RGB(4, 5, 6));
    EXPECT_EQ(other->clrText, f.list.m_clrWindowText);
    EXPECT_EQ(other->nCheck, -1);
    EXPECT_EQ(other->nComboRows, 10);
    EXPECT_EQ(f.list.GetCellText(3, 2), L"");
    EXPECT_EQ(f.list.GetCell(3, 5), nullptr);
}

TEST(ListOperations, OutOfRangeCellsChangeNothing) {
    ListFixture f(3);
    const int n = f.list.GetItemCount();
    struct Case {
        int row, column;
    };
    for (Case c : {Case{n, 0}, Case{-1, 0}, Case{0, 5}, Case{0, -1}}) {
        SCOPED_TRACE(testing::Message() << c.row << "," << c.column);
        EXPECT_EQ(f.list.GetCellCheck(c.row, c.column), -1);
        EXPECT_EQ(f.list.SetCellCheck(c.row, c.column, 1), 0);
        EXPECT_EQ(f.list.IsCellProgressShown(c.row, c.column), 0);
        EXPECT_EQ(f.list.ShowCellProgress(c.row, c.column), 0);
        EXPECT_EQ(f.list.SetCellText(c.row, c.column, L"x"), 0);
        EXPECT_EQ(f.list.SetCellTip(c.row, c.column, L"x"), 0);
        RECT rc;
        EXPECT_EQ(f.list.GetCellRect(c.row, c.column, rc), 0);
    }
    EXPECT_EQ(f.list.GetRowAppData(n), 0u);
    EXPECT_EQ(f.list.SetRowAppData(n, 7), 0);
    EXPECT_EQ(f.list.GetHeaderCheck(5), -1);
    EXPECT_EQ(f.list.SetHeaderCheck(-1, 1), 0);
    EXPECT_EQ(f.list.CountCheckedRows(5), 0);
    EXPECT_EQ(f.list.DeleteRow(n), 0);
    EXPECT_EQ(f.list.GetItemCount(), n);
}

TEST(ListOperations, ProgressCellLifecycle) {
    ListFixture f(2);
    f.list.SetCellText(1, 4, L"Waiting");
    EXPECT_EQ(f.list.ShowCellProgress(1, 4), 1);
    const XListCell* cell = f.list.GetCell(1, 4);
    EXPECT_EQ(f.list.IsCellProgressShown(1, 4), 1);
    EXPECT_EQ(cell->strProgressFormat, L"%d %%");
    f.list.SetCellProgress(1, 4, 42);
    EXPECT_EQ(cell->nPercent, 42);
    f.list.HideCellProgress(1, 4);
    EXPECT_EQ(f.list.IsCellProgressShown(1, 4), 0);
    EXPECT_EQ(cell->nPercent, 0);
    EXPECT_EQ(cell->strProgressFormat, L"%d %%");
    EXPECT_EQ(f.list.GetCellText(1, 4), L"Waiting");
    f.list.SetCellProgress(1, 4, 70);
    f.list.ShowCellProgress(1, 4);
    EXPECT_EQ(cell->nPercent, 0);
}

TEST(ListOperations, AppDataAndTextsStayWithTheirRows) {
    ListFixture f(3);
    for (int r = 0; r < 3; ++r)
        f.list.SetRowAppData(r, 100 + static_cast<std::uintptr_t>(r));
    EXPECT_EQ(f.list.DeleteRow(1), 1);
    EXPECT_EQ(f.list.GetRowAppData(0), 100u);
    EXPECT_EQ(f.list.GetRowAppData(1), 102u);
    EXPECT_EQ(f.list.GetCellText(1, 1), L"r2c1");
    // A sort by the list view itself carries the records along with the items.
    SendMessageW(f.list.m_hWnd, LVM_SORTITEMSEX, 0,
                 reinterpret_cast<LPARAM>(+[](LPARAM a, LPARAM b, LPARAM) -> int {
                     return static_cast<int>(b - a); // reverse order of index
                 }));
    EXPECT_EQ(f.list.GetRowAppData(0), 102u);
    EXPECT_EQ(f.list.GetCellText(0, 1), L"r2c1");
    wchar_t listed[16] = {};
    LVITEMW read{};
    read.iSubItem = 1;
    read.pszText = listed;
    read.cchTextMax = 16;
    SendMessageW(f.list.m_hWnd, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&read));
    EXPECT_STREQ(listed, L"r2c1");
    f.list.DeleteAllRows();
    EXPECT_EQ(f.list.GetItemCount(), 0);
}

TEST(ListOperations, HeaderCheckFollowsSetCellCheckAndDeletedRows) {
    ListFixture f(3);
    f.UseHeaderCheck(1);
    for (int r = 0; r < 3; ++r)
        f.list.SetCellCheck(r, 0, 1);
    EXPECT_EQ(f.list.CountCheckedRows(0), 3);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
    EXPECT_EQ(f.list.GetCell(0, 0)->bChanged, 0); // only the user changes cells
    f.list.SetCellCheck(1, 0, 0);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 1);
    // Deleting the only unchecked row leaves every row checked: the header
    // says so and shows its box ticked. The count and the header follow rows
    // deleted in any way, including straight through the list view.
    f.list.DeleteRow(1);
    EXPECT_EQ(f.list.CountCheckedRows(0), 2);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
    HWND header = f.list.m_wndHeader.m_hWnd;
    RECT item0{};
    Header_GetItemRect(header, 0, &item0);
    EXPECT_TRUE(PumpUntil([&] { return CCapture(header).Count(item0, CXHeaderCtrl::kTick) > 0; }));
    f.list.SetCellCheck(0, 0, 0);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 1);
    SendMessageW(f.list.m_hWnd, LVM_DELETEITEM, 0, 0);
    EXPECT_EQ(f.list.CountCheckedRows(0), 1);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
    SendMessageW(f.list.m_hWnd, LVM_DELETEITEM, 0, 0);
    EXPECT_EQ(f.list.CountCheckedRows(0), 0);
    f.list.InsertRow(0, 0, 0);
    f.list.SetCellCheck(0, 0, 1);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
    f.list.DeleteAllRows();
    EXPECT_EQ(f.list.CountCheckedRows(0), 0);
    // A column without a check-all box keeps its image.
    f.list.InsertRow(0, 0, 0);
    f.list.SetCellCheck(0, 2, 1);
    EXPECT_EQ(f.list.GetHeaderCheck(2), 0);
}

TEST(ListOperations, HeaderKeepsItsStateAndLookAcrossHeldDrawing) {
    // While the owner holds the list's drawing the header's hook is lifted:
    // its state must still follow the rows, what is changed in it from
    // outside meanwhile must not be hidden by what the control read before,
    // and it must show its own look once drawing is back.
    ListFixture f(3);
    f.UseHeaderCheck(1);
    HWND header = f.list.m_wndHeader.m_hWnd;
    SendMessageW(f.list.m_hWnd, WM_SETREDRAW, FALSE, 0);
    for (int r = 0; r < 3; ++r)
        f.list.SetCellCheck(r, 0, 1);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
    f.UseHeaderCheck(1);
    SendMessageW(f.list.m_hWnd, WM_SETREDRAW, TRUE, 0);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 1);
    f.list.SetCellCheck(0, 0, 1);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
    RECT item0{};
    Header_GetItemRect(header, 0, &item0);
    EXPECT_TRUE(PumpUntil([&] { return CCapture(header).Count(item0, CXHeaderCtrl::kTick) > 0; }));
    // The hook is back: a double click on the header counts as a click.
    const POINT box{(item0.left + item0.right) / 2, (item0.top + item0.bottom) / 2};
    DoubleClick(header, box);
    EXPECT_TRUE(PumpUntil([&] { return f.host.Count(CHostWnd::Event::columnClick) == 2; }));
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
}

TEST(ListOperations, ColumnZeroEndsAtTheNextColumnWithWidth) {
    ListFixture f(1);
    RECT c0 = f.Cell(0, 0), c1 = f.Cell(0, 1), c2 = f.Cell(0, 2);
    EXPECT_EQ(c0.right, c1.left);
    EXPECT_EQ(c0.right - c0.left, 25);
    SendMessageW(f.list.m_hWnd, LVM_SETCOLUMNWIDTH, 1, 0);
    c0 = f.Cell(0, 0);
    c2 = f.Cell(0, 2);
    EXPECT_EQ(c0.right, c2.left);
}

TEST(ListOperations, ItemDataFromOutsideIsNeverTakenForRecords) {
    ListFixture f(1);
    int row = ForeignRow(f.list, 0x1234);
    ASSERT_EQ(row, 1);
    EXPECT_EQ(f.list.GetRowAppData(row), 0u);
    EXPECT_EQ(f.list.SetCellCheck(row, 0, 1), 0);
    EXPECT_EQ(f.list.GetCellCheck(row, 0), -1);
    // Text operations need no records.
    EXPECT_NE(f.list.SetCellText(row, 1, L"plain"), 0);
    EXPECT_EQ(f.list.GetCellText(row, 1), L"plain");
}

TEST(ListOperations, TextsSetPastTheControlAreTheCellsTexts) {
    ListFixture f(2);
    LVITEMA ansi{};
    ansi.iSubItem = 2;
    ansi.pszText = const_cast<char*>("caf\xe9");
    SendMessageW(f.list.m_hWnd, LVM_SETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&ansi));
    EXPECT_EQ(f.list.GetCellText(1, 2), L"caf\u00e9");
    LVITEMW wide{};
    wide.mask = LVIF_TEXT;
    wide.iItem = 0;
    wide.iSubItem = 3;
    wide.pszText = const_cast<wchar_t*>(L"set as an item");
    SendMessageW(f.list.m_hWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&wide));
    EXPECT_EQ(f.list.GetCellText(0, 3), L"set as an item");
    // Writing the text the cell already has changes nothing and succeeds.
    EXPECT_EQ(f.list.SetCellText(0, 3, L"set as an item"), 1);
    EXPECT_EQ(f.list.SetCellText(0, 3, L"new"), 1);
    wchar_t buffer[32] = {};
    LVITEMW read{};
    read.iSubItem = 3;
    read.pszText = buffer;
    read.cchTextMax = 32;
    SendMessageW(f.list.m_hWnd, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&read));
    EXPECT_STREQ(buffer, L"new");
}

// ---------------------------------------------------------------- real input

TEST(ListInput, ClickAnywhereInACheckBoxCellTogglesItBeforeTheSelection) {
    ListFixture f(3);
    RECT cell = f.Cell(1, 0);
    Click(f.list.m_hWnd, {cell.left + 2, cell.top + 2}); // beside the box
    EXPECT_EQ(f.list.GetCellCheck(1, 0), 1);
    EXPECT_EQ(f.list.GetCell(1, 0)->bChanged, 1);
    EXPECT_EQ(f.list.m_bChanged, 1);
    EXPECT_EQ(f.SelectedRows(), std::vector<int>{1});
    ASSERT_GE(f.host.m_events.size(), 2u);
    EXPECT_EQ(f.host.m_events[0].kind, Event::checkboxClicked);
    EXPECT_EQ(f.host.m_events[0].row, 1);
    EXPECT_EQ(f.host.m_events[0].column, 0);
    EXPECT_EQ(f.host.m_events[1].kind, Event::itemChanged);

    // Again on the row already selected and focused: toggles back.
    Click(f.list.m_hWnd, f.CellCenter(1, 0));
    EXPECT_EQ(f.list.GetCellCheck(1, 0), 0);
    EXPECT_EQ(f.host.Count(Event::checkboxClicked), 2);

    // Another cell of a row selects it and leaves its box alone.
    Click(f.list.m_hWnd, f.CellCenter(2, 2));
    EXPECT_EQ(f.list.GetCellCheck(2, 0), 0);
    EXPECT_EQ(f.SelectedRows(), std::vector<int>{2});
    EXPECT_EQ(f.host.Count(Event::checkboxClicked), 2);
}

TEST(ListInput, ClicksOnEveryBoxCheckTheHeaderAndOneUncheckClearsIt) {
    ListFixture f(3);
    f.UseHeaderCheck(1);
    for (int r = 0; r < 3; ++r)
        Click(f.list.m_hWnd, f.CellCenter(r, 0));
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
    Click(f.list.m_hWnd, f.CellCenter(1, 0));
    EXPECT_EQ(f.list.GetHeaderCheck(0), 1);
}

TEST(ListInput, HeaderCheckBoxChecksAndUnchecksEveryRow) {
    ListFixture f(4);
    f.UseHeaderCheck(1);
    f.list.SetCellCheck(2, 0, 1);
    HWND header = f.list.m_wndHeader.m_hWnd;
    RECT item;
    SendMessageW(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    POINT box{(item.left + item.right) / 2, (item.top + item.bottom) / 2};

    Click(header, box);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 2);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(f.list.GetCellCheck(r, 0), 1) << r;
        EXPECT_EQ(f.list.GetCell(r, 0)->bChanged, 1) << r;
    }
    // The parent sees the column click with the new header state.
    ASSERT_EQ(f.host.Count(Event::columnClick), 1);
    EXPECT_EQ(f.host.m_events.back().headerCheck, 2);

    Click(header, box);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 1);
    EXPECT_EQ(f.list.CountCheckedRows(0), 0);

    // Two fast clicks are two clicks, though the system reports a double click.
    DoubleClick(header, box);
    EXPECT_EQ(f.host.Count(Event::columnClick), 4);
    EXPECT_EQ(f.list.GetHeaderCheck(0), 1);
    EXPECT_EQ(f.list.CountCheckedRows(0), 0);

    // A column without a check-all box changes nothing.
    SendMessageW(header, HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    Click(header, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    EXPECT_EQ(f.list.GetHeaderCheck(2), 0);
    EXPECT_EQ(f.list.CountCheckedRows(0), 0);
    EXPECT_EQ(f.host.Count(Event::columnClick), 5);
}

TEST(ListInput, RowsWithoutRecordsOrDisabledSwallowClicks) {
    ListFixture f(3);
    int foreign = ForeignRow(f.list, 0);
    f.list.SetRowEnabled(1, 0);
    Click(f.list.m_hWnd, f.CellCenter(0, 1));
    ASSERT_EQ(f.SelectedRows(), std::vector<int>{0});

    for (int row : {foreign, 1}) {
        SCOPED_TRACE(row);
        Click(f.list.m_hWnd, f.CellCenter(row, 0));
        EXPECT_EQ(f.SelectedRows(), std::vector<int>{0});
        Click(f.list.m_hWnd, f.CellCenter(row, 2), true);
        EXPECT_EQ(f.host.Count(Event::rightClick), 0);
    }
    EXPECT_EQ(f.list.GetCellCheck(1, 0), 0);
    Click(f.list.m_hWnd, f.CellCenter(2, 2), true);
    EXPECT_EQ(f.host.Count(Event::rightClick), 1);
}

TEST(ListInput, KeysLandOnEnabledRowsAndNeverToggle) {
    struct Case {
        const char* name;
        std::vector<int> disabled;
        int start;
        WORD key;
        int expected;
    };
    const Case cases[] = {
        {"down", {}, 1, VK_DOWN, 2},
        {"down skips a disabled row", {2}, 1, VK_DOWN, 3},
        {"down past the end turns back up", {3, 4}, 2, VK_DOWN, 2},
        {"up skips a disabled row", {1}, 2, VK_UP, 0},
        {"up past row 0 turns down", {0}, 1, VK_UP, 1},
        {"home on a disabled row stays", {0}, 2, VK_HOME, 2},
        {"space toggles nothing", {}, 1, VK_SPACE, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListFixture f(5);
        for (int r : c.disabled)
            f.list.SetRowEnabled(r, 0);
        Click(f.list.m_hWnd, f.CellCenter(c.start, 2));
        ASSERT_EQ(f.SelectedRows(), std::vector<int>{c.start});
        PressKey(c.key);
        EXPECT_EQ(f.SelectedRows().at(0), c.expected);
        EXPECT_EQ(f.FocusedRow(), c.expected);
        EXPECT_EQ(f.list.CountCheckedRows(0), 0);
    }
}

TEST(ListInput, TooltipTextOfTheCellUnderTheCursor) {
    ListFixture f(2);
    const std::wstring longTip(100, L'\u00e9'); // one byte each in code page 1252
    f.list.SetCellTip(1, 2, longTip);
    f.list.SetCellTip(1, 1, L"title");
    f.list.EnableToolTips();

    POINT pt = f.CellCenter(1, 2);
    EXPECT_EQ(f.list.OnToolHitTest(pt, nullptr), 1 * 1000 + 2 + 1);
    EXPECT_EQ(f.list.OnToolHitTest({600, 280}, nullptr), -1);

    // The request is answered for the point of the current message.
    POINT screen = pt;
    ClientToScreen(f.list.m_hWnd, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(f.host.m_hWnd, WM_NULL, 0, 0);
    Pump();

    NMTTDISPINFOW w{};
    w.hdr = {nullptr, 1002 + 1, TTN_NEEDTEXTW};
    SendMessageW(f.list.m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&w));
    EXPECT_EQ(std::wstring(w.lpszText ? w.lpszText : L""), longTip.substr(0, 79));

    NMTTDISPINFOA a{};
    a.hdr = {nullptr, 1002 + 1, TTN_NEEDTEXTA};
    SendMessageW(f.list.m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&a));
    ASSERT_NE(a.lpszText, nullptr);
    EXPECT_EQ(std::string(a.lpszText), std::string(79, '\xe9'));

    NMTTDISPINFOW zero{};
    zero.hdr = {nullptr, 0, TTN_NEEDTEXTW};
    SendMessageW(f.list.m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&zero));
    EXPECT_EQ(zero.lpszText, nullptr);
    EXPECT_EQ(zero.szText[0], L'\0');
}

} // namespace
