// One full repaint of a 1280 x 900 list full of rows, each with a check box,
// three texts and a progress bar, drawn by our list control, against a bare
// report list view of the same window, columns, rows and texts in the same
// run. Prints `list_paint_ms` (ours), `list_paint_floor_ms` (the bare list) and
// `list_paint_ratio`; each is the median of many alternating repaints.
#include "controls/xlist_ctrl.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1280, kHeight = 900, kRows = 1000, kRounds = 31;

struct Column {
    const wchar_t* text;
    int width;
    int format;
};
constexpr Column kColumns[] = {{L"", 25, LVCFMT_CENTER},
                               {L"URL", 420, LVCFMT_LEFT},
                               {L"Title", 420, LVCFMT_LEFT},
                               {L"Size", 150, LVCFMT_CENTER},
                               {L"Status", 260, LVCFMT_CENTER}};

std::wstring CellText(int row, int column) {
    switch (column) {
    case 1:
        return L"http://127.0.0.1:8080/watch?v=movie" + std::to_wstring(row);
    case 2:
        return L"A movie with a title of usual length, number " + std::to_wstring(row);
    case 3:
        return std::to_wstring(1 + row % 900) + L".4 MB";
    case 4:
        return L"Downloading";
    default:
        return {};
    }
}

// The list's parent: a window object, so the list's custom drawing is
// reflected back to it.
class CHost : public CWnd {};

void AddColumns(HWND hList) {
    for (int i = 0; i < 5; ++i) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.pszText = const_cast<wchar_t*>(kColumns[i].text);
        col.cx = kColumns[i].width;
        col.fmt = kColumns[i].format;
        col.iSubItem = i;
        SendMessageW(hList, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
}

DWORD ListStyle() {
    return WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_ALIGNLEFT | LVS_SHOWSELALWAYS;
}

void FillBare(HWND hList) {
    for (int r = 0; r < kRows; ++r) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = r;
        item.pszText = const_cast<wchar_t*>(L"");
        int row = static_cast<int>(
            SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        for (int c = 1; c < 5; ++c) {
            std::wstring text = CellText(r, c);
            LVITEMW sub{};
            sub.iSubItem = c;
            sub.pszText = text.data();
            SendMessageW(hList, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
        }
    }
}

void FillOurs(CXListCtrl& list) {
    for (int r = 0; r < kRows; ++r) {
        int row = list.InsertRow(0x7FFFFFFF, list.m_clrWindowText, list.m_clrWindow);
        for (int c = 1; c < 5; ++c)
            list.SetCellText(row, c, CellText(r, c));
        list.SetCellCheck(row, 0, r % 2);
        list.ShowCellProgress(row, 4);
        list.SetCellProgress(row, 4, 1 + (r * 7) % 100);
    }
}

double PaintMs(HWND hTop, HWND hList) {
    ShowWindow(hTop, SW_SHOWNOACTIVATE);
    UpdateWindow(hTop);
    auto start = Clock::now();
    RedrawWindow(hList, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    ShowWindow(hTop, SW_HIDE);
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    CHost bareHost, ourHost;
    bareHost.CreateEx(0, L"bare", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, 0);
    ourHost.CreateEx(0, L"ours", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, 0);
    const RECT area{0, 0, kWidth, kHeight};

    CWnd bare;
    bare.CreateControl(WC_LISTVIEWW, L"", ListStyle(), area, &bareHost, 1000);
    SendMessageW(bare.m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    AddColumns(bare.m_hWnd);
    FillBare(bare.m_hWnd);

    CXListCtrl ours;
    ours.CreateControl(WC_LISTVIEWW, L"", ListStyle(), area, &ourHost, 1000);
    ours.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    AddColumns(ours.m_hWnd);
    // The view's check-all box above column 0.
    HDITEMW head{};
    head.mask = HDI_IMAGE;
    head.iImage = 1;
    SendMessageW(ours.m_wndHeader.m_hWnd, HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&head));
    FillOurs(ours);

    std::vector<double> floor, mine;
    for (int i = 0; i < kRounds; ++i) {
        floor.push_back(PaintMs(bareHost.m_hWnd, bare.m_hWnd));
        mine.push_back(PaintMs(ourHost.m_hWnd, ours.m_hWnd));
    }
    const double oursMs = Median(mine), floorMs = Median(floor);
    std::printf("list_paint_ms: %.2f ms\n", oursMs);
    std::printf("list_paint_floor_ms: %.2f ms\n", floorMs);
    std::printf("list_paint_ratio: %.2f x\n", floorMs > 0 ? oursMs / floorMs : 0.0);
    return 0;
}
