#include "list_fixture.h"

#include <commctrl.h>

#include <thread>

using namespace std::chrono_literals;

int CHostWnd::Count(Event::Kind kind) const {
    int n = 0;
    for (const Event& e : m_events)
        n += e.kind == kind;
    return n;
}

LRESULT CHostWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_XLISTCTRL_CHECKBOX_CLICKED) {
        const int row = static_cast<int>(wParam), column = static_cast<int>(lParam);
        m_events.push_back(
            {Event::checkboxClicked, row, column, m_pList ? m_pList->GetHeaderCheck(column) : -1});
        return 0;
    }
    if (msg == WM_NOTIFY) {
        // The list's own notifications come after the list saw them reflected.
        LRESULT result = CWnd::WindowProc(msg, wParam, lParam);
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (m_pList && hdr->hwndFrom == m_pList->m_hWnd) {
            auto* lv = reinterpret_cast<NMLISTVIEW*>(lParam);
            if (hdr->code == LVN_ITEMCHANGED && lv->uNewState)
                m_events.push_back({Event::itemChanged, lv->iItem, 0, -1});
            else if (hdr->code == LVN_COLUMNCLICK)
                m_events.push_back(
                    {Event::columnClick, -1, lv->iSubItem, m_pList->GetHeaderCheck(lv->iSubItem)});
            else if (hdr->code == NM_RCLICK)
                m_events.push_back({Event::rightClick, -1, -1, -1});
        }
        return result;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

const std::vector<ListFixture::Column>& ListFixture::MovieColumns() {
    static const std::vector<Column> columns = {{L"", 25, LVCFMT_CENTER},
                                                {L"URL", 150, LVCFMT_LEFT},
                                                {L"Title", 80, LVCFMT_LEFT},
                                                {L"Size", 80, LVCFMT_CENTER},
                                                {L"Status", 80, LVCFMT_CENTER}};
    return columns;
}

ListFixture::ListFixture(int rows, const std::vector<Column>& columns, DWORD exStyle) {
    static bool initialized = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)initialized;
    host.m_pList = &list;
    host.CreateEx(WS_EX_TOPMOST, L"list host", WS_POPUP | WS_VISIBLE, 0, 0, 640, 300, nullptr, 0);
    // The movie list's style: report view, several rows selectable, the
    // selection hidden while another window has the focus.
    list.CreateControl(WC_LISTVIEWW, L"",
                       WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_ALIGNLEFT,
                       RECT{0, 0, 640, 300}, &host, 1000);
    list.SetExtendedStyle(exStyle);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.pszText = const_cast<wchar_t*>(columns[i].text);
        col.cx = columns[i].width;
        col.fmt = columns[i].format;
        col.iSubItem = static_cast<int>(i);
        SendMessageW(list.m_hWnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    for (int r = 0; r < rows; ++r) {
        int row = list.InsertRow(0x7FFFFFFF, list.m_clrWindowText, list.m_clrWindow);
        list.SetCellCheck(row, 0, 0);
        for (int c = 1; c < static_cast<int>(columns.size()); ++c)
            list.SetCellText(row, c, L"r" + std::to_wstring(r) + L"c" + std::to_wstring(c));
    }
    SetForegroundWindow(host.m_hWnd);
    SetFocus(list.m_hWnd);
    UpdateWindow(host.m_hWnd);
    Pump();
}

ListFixture::~ListFixture() {
    list.DestroyWindow();
    host.DestroyWindow();
    Pump();
}

void ListFixture::UseHeaderCheck(int state) {
    HDITEMW item{};
    item.mask = HDI_IMAGE | HDI_FORMAT;
    SendMessageW(list.m_wndHeader.m_hWnd, HDM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.fmt |= HDF_IMAGE;
    item.iImage = state;
    SendMessageW(list.m_wndHeader.m_hWnd, HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

RECT ListFixture::Cell(int row, int column) const {
    RECT rc{};
    list.GetCellRect(row, column, rc);
    return rc;
}

POINT ListFixture::CellCenter(int row, int column) const {
    RECT rc = Cell(row, column);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

std::vector<int> ListFixture::SelectedRows() const {
    std::vector<int> rows;
    int i = -1;
    while ((i = static_cast<int>(SendMessageW(list.m_hWnd, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >=
           0)
        rows.push_back(i);
    return rows;
}

int ListFixture::FocusedRow() const {
    return static_cast<int>(SendMessageW(list.m_hWnd, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
}

namespace {

void MouseAt(HWND hWnd, POINT client) {
    POINT screen = client;
    ClientToScreen(hWnd, &screen);
    SetCursorPos(screen.x, screen.y);
}

void SendButton(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}

} // namespace

void Click(HWND hWnd, POINT client, bool right) {
    MouseAt(hWnd, client);
    Pump();
    SendButton(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    SendButton(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    // Both halves delivered and handled.
    PumpUntil([] { return GetQueueStatus(QS_INPUT) == 0; });
    Pump();
}

void DoubleClick(HWND hWnd, POINT client) {
    MouseAt(hWnd, client);
    Pump();
    for (int i = 0; i < 2; ++i) {
        SendButton(MOUSEEVENTF_LEFTDOWN);
        SendButton(MOUSEEVENTF_LEFTUP);
    }
    PumpUntil([] { return GetQueueStatus(QS_INPUT) == 0; });
    Pump();
}

void PressKey(WORD vk) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof in[0]);
    PumpUntil([] { return GetQueueStatus(QS_INPUT) == 0; });
    Pump();
}

CCapture::CCapture(HWND hWnd) {
    RECT rc;
    GetClientRect(hWnd, &rc);
    m_cx = rc.right;
    m_cy = rc.bottom;
    m_pixels.assign(static_cast<std::size_t>(m_cx) * m_cy, 0);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = m_cx;
    bi.bmiHeader.biHeight = -m_cy; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC hWndDC = GetDC(hWnd);
    HDC hMemDC = CreateCompatibleDC(hWndDC);
    HBITMAP hDib = CreateDIBSection(hWndDC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(hMemDC, hDib);
    BitBlt(hMemDC, 0, 0, m_cx, m_cy, hWndDC, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* px = static_cast<const DWORD*>(bits);
    for (std::size_t i = 0; i < m_pixels.size(); ++i) {
        DWORD v = px[i]; // 0x00RRGGBB
        m_pixels[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    SelectObject(hMemDC, old);
    DeleteObject(hDib);
    DeleteDC(hMemDC);
    ReleaseDC(hWnd, hWndDC);
}

COLORREF CCapture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_cx || y >= m_cy)
        return CLR_INVALID;
    return m_pixels[static_cast<std::size_t>(y) * m_cx + x];
}

int CCapture::Count(const RECT& rc, COLORREF clr) const {
    int n = 0;
    for (int y = std::max<int>(rc.top, 0); y < std::min<int>(rc.bottom, m_cy); ++y)
        for (int x = std::max<int>(rc.left, 0); x < std::min<int>(rc.right, m_cx); ++x)
            n += At(x, y) == clr;
    return n;
}
