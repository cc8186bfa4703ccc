#pragma once
// The decisions of the application-drawn combo box that need no window:
// which item a key or the wheel lands on, which item completes typed text, and
// where its drop-down goes and how far its grip may size it.
#include <string>
#include <vector>

// One entry of a combo box. A disabled item is skipped by keyboard and mouse
// selection. The two values are carried for the owner and never read here.
struct AdvComboItem {
    std::wstring strText;
    int bItemDisabled = 0;
    unsigned long dwData = 0;
    unsigned long dwState = 0;
};

namespace combo_rules {

// The nearest enabled item after (`step` 1) or before (`step` -1) `from`;
// `from` itself when there is none.
int NextEnabled(const std::vector<AdvComboItem>& items, int from, int step);
// Moves up to `distance` items from `from` (-1 counts as before the first)
// without passing either end; a disabled landing item gives way to the
// nearest enabled one in the direction of travel, then against it. -1 when no
// item is enabled.
int MoveBy(const std::vector<AdvComboItem>& items, int from, int distance);
// The first item whose text starts with `typed` (case-sensitive), or -1.
// Empty text completes nothing.
int FirstWithPrefix(const std::vector<AdvComboItem>& items, const std::wstring& typed);
// The first item whose text equals `text` from index `start` on, or -1.
int FindExact(const std::vector<AdvComboItem>& items, const std::wstring& text, int start = 0);
// Every item whose text starts with `typed`, in order.
std::vector<AdvComboItem> WithPrefix(const std::vector<AdvComboItem>& items,
                                     const std::wstring& typed);

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct DropMetrics {
    int nItemHeight = 16; // one row of the list
    int nItemCount = 0;
    int nVisibleRows = -1; // rows to show; -1: as many as there are items
    int nMinRowsBelow = 5; // fewer rows below than this: open upwards
    int nWidestText = 0;   // widest item text, entry widening included
    int nScrollWidth = 16; // the vertical scroll bar
};

// The drop-down's screen rectangle for a combo at `combo` within `work`: below
// the combo, or above it when fewer than nMinRowsBelow rows fit below and more
// fit above; whole rows plus a 2-pixel border, no more than fit on that side;
// as wide as the widest item plus the scroll bar and 8, at least the combo's
// width, at most the work area's, shifted to stay inside it.
Box PlaceDropDown(const Box& combo, const Box& work, const DropMetrics& m);

// The drop-down's size while its grip is dragged: no smaller than the combo's
// width and `minHeight`, no larger than the opening size plus 100 by 25.
void ClampGripSize(int& cx, int& cy, int comboWidth, int minHeight, int initialCx, int initialCy);

} // namespace combo_rules
