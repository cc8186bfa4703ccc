// The list control's in-place editors on real windows: the drop-down choice
// editor and the text editor, what they write into the cell, what the owner
// hears, and how they end when their row goes or the list goes.
#include "controls/cell_editors.h"
#include "list_fixture.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

// The end messages the list sends to its parent, in order.
struct EndLog {
    std::vector<std::tuple<UINT, int, int>> messages;
    int Count(UINT msg) const {
        int n = 0;
        for (const auto& m : messages)
            n += std::get<0>(m) == msg;
        return n;
    }
};

LRESULT CALLBACK RecordEnds(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR ref) {
    if (msg == WM_XLISTCTRL_COMBO_SELECTION || msg == WM_XLISTCTRL_EDIT_END)
        reinterpret_cast<EndLog*>(ref)->messages.emplace_back(msg, static_cast<int>(wParam),
                                                              static_cast<int>(lParam));
    return DefSubclassProc(hWnd, msg, wParam, lParam);
}

const std::vector<std::wstring> kChoices{L"low", L"", L"mid", L"high"};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetWindowSubclass(fx.host.m_hWnd, &RecordEnds, 1, reinterpret_cast<DWORD_PTR>(&log));
        for (int r = 0; r < 5; ++r)
            fx.list.SetComboCell(r, 2, &kChoices, 5);
    }
    void TearDown() override { RemoveWindowSubclass(fx.host.m_hWnd, &RecordEnds, 1); }
    bool ComboClosed() {
        return PumpUntil([&] { return fx.list.m_pCombo == nullptr; });
    }
    HWND Combo() { return fx.list.m_pCombo ? fx.list.m_pCombo->m_hWnd : nullptr; }
    int Changed(int row, int col) { return fx.list.GetCell(row, col)->bChanged; }

    ListFixture fx;
    EndLog log;
};

TEST_F(EditorTest, DropDownEditorAppliesTheChoice) {
    struct Case {
        const wchar_t* cellText;
        int downs;              // Down keys before Enter
        const wchar_t* atOpen;  // cell text once the editor is open
        const wchar_t* applied; // cell text afterwards
        int changed;
    } cases[] = {
        {L"mid", 1, L"mid", L"high", 1},
        {L"mid", 0, L"mid", L"mid", 0}, // the same choice again
        {L"zzz", 0, L"zzz", L"low", 0}, // no match: the first, written only when applied
        {L"", 0, L"low", L"low", 0},    // empty cell: the first at once
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cell \"" << c.cellText << "\" downs " << c.downs);
        fx.list.SetCellText(row, 2, c.cellText);
        log.messages.clear();
        fx.list.StartComboEdit(row, 2);
        ASSERT_NE(Combo(), nullptr);
        EXPECT_EQ(fx.list.GetCellText(row, 2), c.atOpen);
        EXPECT_EQ(fx.list.m_pCombo->GetItems().size(), 3u); // the empty choice is left out
        for (int i = 0; i < c.downs; ++i)
            SendMessageW(Combo(), WM_KEYDOWN, VK_DOWN, 0);
        SendMessageW(Combo(), WM_CHAR, VK_RETURN, 0);
        ASSERT_TRUE(ComboClosed());
        EXPECT_EQ(fx.list.GetCellText(row, 2), c.applied);
        EXPECT_EQ(Changed(row, 2), c.changed);
        EXPECT_EQ(log.messages, (std::vector<std::tuple<UINT, int, int>>{
                                    {WM_XLISTCTRL_COMBO_SELECTION, row, 2}}));
        ++row;
    }
    EXPECT_EQ(fx.list.m_bChanged, 1);
}

TEST_F(EditorTest, DropDownEditorCancelAndFocusLoss) {
    fx.list.SetCellText(0, 2, L"low");
    fx.list.StartComboEdit(0, 2);
    SendMessageW(Combo(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(Combo(), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(ComboClosed());
    EXPECT_EQ(fx.list.GetCellText(0, 2), L"low");
    EXPECT_TRUE(log.messages.empty());

    // Losing the focus sends cancel and complete: the choice shown is kept.
    fx.list.StartComboEdit(0, 2);
    SendMessageW(Combo(), WM_KEYDOWN, VK_DOWN, 0);
    SetFocus(fx.list.m_hWnd);
    ASSERT_TRUE(ComboClosed());
    EXPECT_EQ(fx.list.GetCellText(0, 2), L"mid");
    EXPECT_EQ(log.Count(WM_XLISTCTRL_COMBO_SELECTION), 1);

    // A nonexistent cell, a narrow column and a disabled row open nothing.
    fx.list.StartComboEdit(99, 2);
    EXPECT_EQ(fx.list.m_pCombo, nullptr);
    fx.list.SetRowEnabled(1, 0);
    fx.list.StartComboEdit(1, 2);
    EXPECT_EQ(fx.list.m_pCombo, nullptr);
    SendMessageW(fx.list.m_hWnd, LVM_SETCOLUMNWIDTH, 2, 4);
    fx.list.StartComboEdit(0, 2);
    EXPECT_EQ(fx.list.m_pCombo, nullptr);
}

TEST_F(EditorTest, AnEditorWhoseRowGoesWritesNowhere) {
    fx.list.SetCellText(2, 2, L"low");
    fx.list.StartComboEdit(2, 2);
    SendMessageW(Combo(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(Combo(), WM_CHAR, VK_RETURN, 0); // apply pending on its timer
    fx.list.DeleteRow(2);
    EXPECT_EQ(fx.list.m_pCombo, nullptr);
    PumpUntil([] { return false; }, std::chrono::milliseconds(150));
    for (int r = 0; r < fx.list.GetItemCount(); ++r)
        EXPECT_NE(fx.list.GetCellText(r, 2), L"mid") << r;
    EXPECT_TRUE(log.messages.empty());

    // A row above going moves the editor's row; the result follows it.
    fx.list.StartComboEdit(3, 2);
    const std::wstring before = fx.list.GetCellText(3, 2);
    fx.list.DeleteRow(0);
    SendMessageW(Combo(), WM_CHAR, VK_RETURN, 0);
    ASSERT_TRUE(ComboClosed());
    EXPECT_EQ(log.messages,
              (std::vector<std::tuple<UINT, int, int>>{{WM_XLISTCTRL_COMBO_SELECTION, 2, 2}}));

    // The list rebuilt under an open text editor.
    fx.list.StartTextEdit(1, 3);
    ASSERT_NE(fx.list.m_pEdit, nullptr);
    SetWindowTextW(fx.list.m_pEdit->m_hWnd, L"typed");
    fx.list.DeleteAllRows();
    fx.list.InsertRow(0, 0, 0xFFFFFF);
    fx.list.InsertRow(1, 0, 0xFFFFFF);
    PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(fx.list.m_pEdit, nullptr);
    EXPECT_EQ(fx.list.GetCellText(1, 3), L"");
    EXPECT_EQ(log.Count(WM_XLISTCTRL_EDIT_END), 0);
}

TEST_F(EditorTest, TextEditor) {
    struct Case {
        const wchar_t* typed;
        UINT key;
        const wchar_t* result;
        int changed, endMessages;
    } cases[] = {
        {L"new", VK_RETURN, L"new", 1, 1},
        {L"", VK_RETURN, L"r1c3", 0, 1}, // empty text keeps the old one
        {L"gone", VK_ESCAPE, L"r2c3", 0, 0},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "typed \"" << c.typed << "\"");
        log.messages.clear();
        fx.list.StartTextEdit(row, 3);
        ASSERT_NE(fx.list.m_pEdit, nullptr);
        HWND edit = fx.list.m_pEdit->m_hWnd;
        EXPECT_EQ(GetDlgCtrlID(edit), 99);
        EXPECT_EQ(GetFocus(), edit);
        wchar_t shown[32] = {};
        GetWindowTextW(edit, shown, 32);
        EXPECT_EQ(fx.list.GetCellText(row, 3), shown);
        SetWindowTextW(edit, c.typed);
        SendMessageW(edit, WM_KEYDOWN, c.key, 0);
        Pump();
        EXPECT_EQ(fx.list.m_pEdit, nullptr);
        EXPECT_FALSE(IsWindow(edit));
        EXPECT_EQ(fx.list.GetCellText(row, 3), c.result);
        EXPECT_EQ(Changed(row, 3), c.changed);
        EXPECT_EQ(log.Count(WM_XLISTCTRL_EDIT_END), c.endMessages);
        ++row;
    }
    SendMessageW(fx.list.m_hWnd, LVM_SETCOLUMNWIDTH, 3, 3);
    fx.list.StartTextEdit(0, 3);
    EXPECT_EQ(fx.list.m_pEdit, nullptr);
}

TEST_F(EditorTest, ClicksOpenTheEditorsAndAClickBesideTheRowsClosesTheDropDown) {
    fx.list.SetEditCell(1, 3);
    Click(fx.list.m_hWnd, fx.CellCenter(0, 2));
    ASSERT_TRUE(PumpUntil([&] { return Combo() != nullptr; }));
    EXPECT_EQ(GetFocus(), Combo());
    EXPECT_EQ(fx.SelectedRows(), std::vector<int>{0});
    RECT cell = fx.Cell(0, 2);
    MapWindowPoints(fx.list.m_hWnd, nullptr, reinterpret_cast<POINT*>(&cell), 2);
    EXPECT_EQ(fx.list.m_rcCombo.left, cell.left + 1);
    EXPECT_EQ(fx.list.m_rcCombo.top, cell.top - 1);
    RECT client{};
    GetClientRect(fx.list.m_hWnd, &client);
    Click(fx.list.m_hWnd, {client.right - 5, client.bottom - 5});
    ASSERT_TRUE(ComboClosed());
    EXPECT_TRUE(log.messages.empty());

    Click(fx.list.m_hWnd, fx.CellCenter(1, 3));
    ASSERT_TRUE(PumpUntil([&] { return fx.list.m_pEdit != nullptr; }));
    EXPECT_EQ(GetFocus(), fx.list.m_pEdit->m_hWnd);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return fx.list.m_pEdit == nullptr; }));
}

TEST(EditorLifetime, NoTimerFiresIntoADestroyedList) {
    auto fx = std::make_unique<ListFixture>();
    fx->list.SetComboCell(0, 2, &kChoices);
    fx->list.StartComboEdit(0, 2);
    ASSERT_NE(fx->list.m_pCombo, nullptr);
    SendMessageW(fx->list.m_pCombo->m_hWnd, WM_CHAR, VK_RETURN, 0);
    fx->list.DestroyWindow();
    EXPECT_EQ(fx->list.m_pCombo, nullptr);
    fx.reset();
    PumpUntil([] { return false; }, std::chrono::milliseconds(150));
}

} // namespace
