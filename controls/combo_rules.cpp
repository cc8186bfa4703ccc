#include "controls/combo_rules.h"

#include <algorithm>

namespace combo_rules {

namespace {
bool Enabled(const std::vector<AdvComboItem>& items, int i) {
    return i >= 0 && i < static_cast<int>(items.size()) &&
           !items[static_cast<std::size_t>(i)].bItemDisabled;
}
} // namespace

int NextEnabled(const std::vector<AdvComboItem>& items, int from, int step) {
    const int count = static_cast<int>(items.size());
    for (int i = from + step; i >= 0 && i < count; i += step)
        if (Enabled(items, i))
            return i;
    return from;
}

int MoveBy(const std::vector<AdvComboItem>& items, int from, int distance) {
    const int count = static_cast<int>(items.size());
    if (count == 0)
        return -1;
    int target = std::clamp(from + distance, 0, count - 1);
    if (Enabled(items, target))
        return target;
    const int step = distance < 0 ? -1 : 1;
    int found = NextEnabled(items, target, step);
    if (found == target)
        found = NextEnabled(items, target, -step);
    return found == target ? (Enabled(items, from) ? from : -1) : found;
}

int FirstWithPrefix(const std::vector<AdvComboItem>& items, const std::wstring& typed) {
    if (typed.empty())
        return -1;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].strText.starts_with(typed))
            return static_cast<int>(i);
    return -1;
}

int FindExact(const std::vector<AdvComboItem>& items, const std::wstring& text, int start) {
    for (std::size_t i = static_cast<std::size_t>(std::max(start, 0)); i < items.size(); ++i)
        if (items[i].strText == text)
            return static_cast<int>(i);
    return -1;
}

std::vector<AdvComboItem> WithPrefix(const std::vector<AdvComboItem>& items,
                                     const std::wstring& typed) {
    std::vector<AdvComboItem> out;
    for (const AdvComboItem& item : items)
        if (item.strText.starts_with(typed))
            out.push_back(item);
    return out;
}

Box PlaceDropDown(const Box& combo, const Box& work, const DropMetrics& m) {
    const int rowHeight = std::max(m.nItemHeight, 1);
    int rows = m.nVisibleRows < 0 ? m.nItemCount : std::min(m.nVisibleRows, m.nItemCount);
    rows = std::max(rows, 1);
    const int rowsBelow = std::max(0, (work.bottom - combo.bottom - 2) / rowHeight);
    const int rowsAbove = std::max(0, (combo.top - work.top - 2) / rowHeight);
    // Upwards only where that shows more: a combo near both edges keeps
    // the side that has room.
    const bool up = rowsBelow < m.nMinRowsBelow && rowsBelow < rows && rowsAbove > rowsBelow;
    rows = std::max(1, std::min(rows, up ? rowsAbove : rowsBelow));
    const int height = rows * rowHeight + 2;

    int width = std::max(combo.Width(), m.nWidestText + m.nScrollWidth + 8);
    width = std::min(width, work.Width());
    Box box;
    box.left = std::max(work.left, std::min(combo.left, work.right - width));
    box.right = box.left + width;
    if (up) {
        box.bottom = combo.top;
        box.top = combo.top - height;
    } else {
        box.top = combo.bottom;
        box.bottom = combo.bottom + height;
    }
    return box;
}

void ClampGripSize(int& cx, int& cy, int comboWidth, int minHeight, int initialCx, int initialCy) {
    cx = std::clamp(cx, std::min(comboWidth, initialCx + 100), initialCx + 100);
    cy = std::clamp(cy, std::min(minHeight, initialCy + 25), initialCy + 25);
}

} // namespace combo_rules
