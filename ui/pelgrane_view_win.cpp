#include "ui/pelgrane_view.h"

#include "framework/frame.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "ui/main_frame.h"
#include "ui/maker_site.h"
#include "ui/pelgrane_doc.h"

#include <shellapi.h>

#include <algorithm>
#include <unordered_set>

namespace {

void OpenWithShell(const std::wstring& target) {
    ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

struct ColumnSpec {
    const wchar_t* header;
    int width;
    int format;
};
constexpr ColumnSpec kColumns[] = {
    {L"", 25, LVCFMT_CENTER},     {L"URL", 150, LVCFMT_LEFT},     {L"Title", 80, LVCFMT_LEFT},
    {L"Size", 80, LVCFMT_CENTER}, {L"Status", 80, LVCFMT_CENTER},
};

// Header images: 0 none, 1 empty box, 2 ticked box.
constexpr int kHeaderNoImage = 0;
constexpr int kHeaderUnchecked = 1;
constexpr int kHeaderChecked = 2;

// Holds the list's painting while many cells change: the list is marked not
// visible, so no cell change paints on its own, and when the lock ends the
// rows that changed are repainted together. Marking the list not visible is
// what WM_SETREDRAW does for a plain window; doing it here keeps the list
// view from repainting all of itself when drawing is switched back on.
class CListUpdateLock {
public:
    explicit CListUpdateLock(HWND hList) : m_hList(hList) {
        if (m_hList && (GetWindowLongPtrW(m_hList, GWL_STYLE) & WS_VISIBLE)) {
            SetWindowLongPtrW(m_hList, GWL_STYLE,
                              GetWindowLongPtrW(m_hList, GWL_STYLE) & ~WS_VISIBLE);
            m_bLocked = true;
        }
    }
    ~CListUpdateLock() {
        if (!m_bLocked)
            return;
        SetWindowLongPtrW(m_hList, GWL_STYLE, GetWindowLongPtrW(m_hList, GWL_STYLE) | WS_VISIBLE);
        if (m_bAll) {
            InvalidateRect(m_hList, nullptr, TRUE);
        } else {
            RECT client;
            GetClientRect(m_hList, &client);
            for (int row : m_rows) {
                RECT rc{};
                rc.left = LVIR_BOUNDS;
                if (!SendMessageW(m_hList, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc)))
                    continue;
                InflateRect(&rc, 2, 2);
                RECT visible;
                if (IntersectRect(&visible, &rc, &client))
                    InvalidateRect(m_hList, &visible, TRUE);
            }
        }
        UpdateWindow(m_hList);
    }
    CListUpdateLock(const CListUpdateLock&) = delete;
    CListUpdateLock& operator=(const CListUpdateLock&) = delete;

    void Touched(int row) {
        if (m_bLocked && !m_bAll)
            m_rows.push_back(row);
    }
    void TouchedAll() { m_bAll = true; }

private:
    HWND m_hList;
    bool m_bLocked = false;
    bool m_bAll = false;
    std::vector<int> m_rows;
};

} // namespace

CPelgraneView::CPelgraneView() : CFormView(IDD_PELGRANE_FORM), m_shellOpen(OpenWithShell) {
    OnCommand(ID_DOWNLOAD_START, &CPelgraneView::OnDownload);
    OnUpdateCommand(ID_DOWNLOAD_START, &CPelgraneView::OnUpdateDownload);
    OnCommand(ID_DOWNLOAD_STOP, &CPelgraneView::OnStop);
    OnUpdateCommand(ID_DOWNLOAD_STOP, &CPelgraneView::OnUpdateStop);
    OnCommand(ID_MOVIES_DELETE, &CPelgraneView::OnDeleteMovies);
    OnCommand(ID_MOVIES_OPEN_URL, &CPelgraneView::OnOpenUrl);
    OnCommand(ID_MOVIES_OPEN_FOLDER, &CPelgraneView::OnOpenOutputFolder);
    OnCommand(ID_OPTIONS_OPEN_FOLDER, &CPelgraneView::OnOpenOutputFolder);
    OnCommand(ID_LINK_HOME, &CPelgraneView::OnLinkHome);
    OnCommand(ID_LINK_PRODUCT, &CPelgraneView::OnLinkProduct);
    OnCommand(ID_LINK_CONTACT, &CPelgraneView::OnLinkContact);
}

CPelgraneView::~CPelgraneView() {
    // The timer and the drop target belong to the window; end them while it exists.
    m_dropTarget.Revoke();
    DestroyWindow();
}

CPelgraneDoc* CPelgraneView::GetDocument() const {
    return static_cast<CPelgraneDoc*>(m_pDocument);
}

void CPelgraneView::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_MOVIE_LIST, m_listMovies);
}

void CPelgraneView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    if (!m_bInitialized) {
        m_dropTarget.Register(m_hWnd);
        InitMovieList();
    }
    StretchList();
    SetTimer(kTimerId, kTimerPeriodMs);
    m_bInitialized = 1;
    Update(true);
}

void CPelgraneView::InitMovieList() {
    HWND list = m_listMovies.m_hWnd;
    if (!list)
        return;
    m_listMovies.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    // Files dropped on the list are taken and ignored, so they do not open as
    // projects through the frame.
    DragAcceptFiles(m_hWnd, TRUE);

    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(kColumns[i].header);
        column.cx = kColumns[i].width;
        column.fmt = kColumns[i].format;
        column.iSubItem = i;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }

    HWND header = m_listMovies.GetHeaderCtrl().m_hWnd;
    if (!header)
        header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    m_headerImages.h = ImageList_Create(13, 13, ILC_COLOR24 | ILC_MASK, 3, 1);
    if (HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_CHECKBOXES))) {
        ImageList_AddMasked(m_headerImages.h, bitmap, RGB(255, 0, 255));
        DeleteObject(bitmap);
    }
    Header_SetImageList(header, m_headerImages.h);
    const int items = Header_GetItemCount(header);
    for (int i = 0; i < items; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT | HDI_IMAGE;
        Header_GetItem(header, i, &item);
        // The list view keeps its first column left-aligned whatever it is
        // given; the header item says how the column is meant to be aligned.
        if (i < static_cast<int>(std::size(kColumns)))
            item.fmt = (item.fmt & ~HDF_JUSTIFYMASK) |
                       (kColumns[i].format == LVCFMT_CENTER ? HDF_CENTER : HDF_LEFT);
        item.fmt |= HDF_IMAGE;
        item.iImage = i == colCheck ? kHeaderUnchecked : kHeaderNoImage;
        Header_SetItem(header, i, &item);
    }
    m_listMovies.EnableToolTips(true);
}

void CPelgraneView::OnUpdate(CView*, LPARAM, void*) {
    Update(false);
}

void CPelgraneView::Update(bool bRebuild) {
    if (!m_bInitialized)
        return;
    CPelgraneDoc* doc = GetDocument();
    if (!doc)
        return;
    m_bRunning = doc->m_bDownloading.load();
    if (!m_listMovies.m_hWnd)
        return;
    CListUpdateLock lock(m_listMovies.m_hWnd);
    lock.TouchedAll();
    CYoutubeFileList& movies = doc->m_movies;
    if (bRebuild || m_listMovies.GetItemCount() != static_cast<int>(movies.GetCount())) {
        ChangingRows changing(m_bChangingRows);
        m_listMovies.DeleteAllRows();
        m_rows.clear();
        ::SendMessageW(m_listMovies.m_hWnd, LVM_SETITEMCOUNT, movies.GetCount(), 0);
        m_rows.reserve(movies.GetCount());
        auto pos = movies.GetStartPosition();
        while (pos) {
            std::uint16_t key;
            MoviePtr movie;
            movies.GetNextAssoc(pos, key, movie);
            ShowMovieRow(kAppendRow, movie);
        }
        return;
    }
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row)
        ShowMovieRow(row, m_rows[row].movie);
}

int CPelgraneView::ShowMovieRow(int nRow, const MoviePtr& movie) {
    if (!movie)
        return -1;
    if (nRow == kAppendRow) {
        ChangingRows changing(m_bChangingRows);
        nRow = m_listMovies.InsertRow(kAppendRow, m_listMovies.m_clrWindowText,
                                      m_listMovies.m_clrWindow);
        if (nRow < 0)
            return nRow;
        // Rows are only ever appended at the end here, so the list's index is
        // the next one of ours.
        m_rows.insert(m_rows.begin() + std::min<std::size_t>(nRow, m_rows.size()), RowState{});
    }
    if (nRow < 0 || nRow >= static_cast<int>(m_rows.size()))
        return -1;
    CYoutubeFile& m = *movie;
    if (m.m_nStatus.load() != Downloading && m_listMovies.IsCellProgressShown(nRow, colStatus))
        m_listMovies.HideCellProgress(nRow, colStatus);
    m_listMovies.SetCellTip(nRow, colUrl, m.m_strTitle);
    m_listMovies.SetCellText(nRow, colUrl, m.m_strUrl);
    m_listMovies.SetCellTip(nRow, colTitle, m.m_strUrl);
    m_listMovies.SetCellText(nRow, colTitle, m.m_strTitle);
    m_listMovies.SetCellTip(nRow, colSize, m.m_strTitle);
    m_listMovies.SetCellText(nRow, colSize, m.GetSizeText());
    m_listMovies.SetCellText(nRow, colStatus, m.GetStatusText());
    if (m_listMovies.GetCellCheck(nRow, colCheck) != m.m_bChecked.load())
        m_listMovies.SetCellCheck(nRow, colCheck, m.m_bChecked.load());
    m_listMovies.SetRowAppData(nRow, reinterpret_cast<std::uintptr_t>(movie.get()));
    m_rows[nRow].movie = movie;
    RememberShown(nRow);
    return nRow;
}

void CPelgraneView::RememberShown(int nRow) {
    RowState& state = m_rows[nRow];
    state.nStatus = state.movie->m_nStatus.load();
    state.dwSize = state.movie->m_dwSize.load();
    state.bChecked = m_listMovies.GetCellCheck(nRow, colCheck);
}

CYoutubeFile* CPelgraneView::GetRowMovie(int nRow) const {
    if (nRow < 0 || nRow >= static_cast<int>(m_rows.size()))
        return nullptr;
    return m_rows[nRow].movie.get();
}

void CPelgraneView::RefreshRunRows() {
    if (!m_listMovies.m_hWnd)
        return;
    CListUpdateLock lock(m_listMovies.m_hWnd);
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
        RowState& state = m_rows[row];
        CYoutubeFile& m = *state.movie;
        const std::int32_t status = m.m_nStatus.load();
        if (status == Downloading) {
            if (m.m_dwSize.load() == 0)
                continue; // keeps what it showed until the size arrives
            if (!m_listMovies.IsCellProgressShown(row, colStatus)) {
                m_listMovies.ShowCellProgress(row, colStatus);
                ShowMovieRow(row, state.movie);
            }
            m_listMovies.SetCellProgress(row, colStatus, m.m_nProgress.load());
            lock.Touched(row);
            continue;
        }
        // A row whose record still shows what it showed at the last write
        // (status, size, check mark; the texts never change) stays as it is.
        if (state.nStatus == status && state.dwSize == m.m_dwSize.load() &&
            state.bChecked == m.m_bChecked.load())
            continue;
        if (m_listMovies.IsCellProgressShown(row, colStatus))
            m_listMovies.HideCellProgress(row, colStatus);
        ShowMovieRow(row, state.movie);
        lock.Touched(row);
    }
}

void CPelgraneView::StretchList() {
    if (!m_listMovies.m_hWnd)
        return;
    m_listMovies.MoveWindow(GetClientRect(), true);
}

void CPelgraneView::OnSize(UINT nType, int cx, int cy) {
    CFormView::OnSize(nType, cx, cy);
    StretchList();
}

void CPelgraneView::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kTimerId) {
        if (auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame()))
            frame->UpdateClockPane();
    }
    if (m_bRunning) {
        // Taken before the refresh, so the tick that first sees the run ended
        // still shows the final statuses once.
        if (CPelgraneDoc* doc = GetDocument())
            m_bRunning = doc->m_bDownloading.load();
        RefreshRunRows();
    }
    ShowRunProgress();
    Default();
}

LRESULT CPelgraneView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_XLISTCTRL_CHECKBOX_CLICKED) {
        if (static_cast<int>(lParam) == colCheck)
            CheckMarkToRecord(static_cast<int>(wParam));
        return 0;
    }
    if (msg == WM_RBUTTONUP) {
        POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(m_hWnd, &pt);
        ShowContextMenu(pt);
        return 0;
    }
    if (msg == WM_DROPFILES) {
        // Dropped on the list: ignored.
        DragFinish(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    return CFormView::WindowProc(msg, wParam, lParam);
}

bool CPelgraneView::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT& result) {
    auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (hdr->idFrom != IDC_MOVIE_LIST)
        return CFormView::OnNotify(wParam, lParam, result);
    switch (hdr->code) {
    case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        // A row that became selected or focused; deselection and text or
        // data changes carry an empty new state.
        if (change->uNewState != 0)
            CheckMarkToRecord(change->iItem);
        result = 0;
        return true;
    }
    case LVN_COLUMNCLICK:
        HeaderCheckToRecords(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
        result = 0;
        return true;
    case NM_RCLICK: {
        POINT pt{};
        GetCursorPos(&pt);
        ShowContextMenu(pt);
        result = 0;
        return true;
    }
    case NM_DBLCLK:
        OnOpenUrl();
        result = 0;
        return true;
    default:
        return CFormView::OnNotify(wParam, lParam, result);
    }
}

void CPelgraneView::CheckMarkToRecord(int nRow) {
    CYoutubeFile* movie = GetRowMovie(nRow);
    // While rows are inserted or deleted the list's numbering and ours may
    // differ for a moment; a row is only trusted when both name one record.
    if (!movie || m_bChangingRows ||
        m_listMovies.GetRowAppData(nRow) != reinterpret_cast<std::uintptr_t>(movie))
        return;
    const int check = m_listMovies.GetCellCheck(nRow, colCheck);
    movie->m_bChecked = check == 1 ? 1 : 0;
    m_rows[nRow].bChecked = check;
}

void CPelgraneView::HeaderCheckToRecords(int nColumn) {
    const int state = m_listMovies.GetHeaderCheck(nColumn);
    if (state <= kHeaderNoImage)
        return;
    const std::int32_t checked = state == kHeaderChecked ? 1 : 0;
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
        m_rows[row].movie->m_bChecked = checked;
        m_rows[row].bChecked = m_listMovies.GetCellCheck(row, colCheck);
    }
}

void CPelgraneView::ShowContextMenu(POINT ptScreen) {
    CFrameWnd* frame = GetParentFrame();
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_POPUP_EDIT));
    if (!frame || !menu)
        return;
    // The view is the start of the route: its commands first, then its document's.
    frame->TrackPopupMenu(GetSubMenu(menu, 0), ptScreen, *this);
    DestroyMenu(menu);
}

std::vector<int> CPelgraneView::SelectedRows() const {
    std::vector<int> rows;
    if (!m_listMovies.m_hWnd)
        return rows;
    int row = -1;
    // Each step finds a later row, so the walk ends within the row count.
    for (int n = m_listMovies.GetItemCount(); n > 0; --n) {
        row = static_cast<int>(
            ::SendMessageW(m_listMovies.m_hWnd, LVM_GETNEXTITEM, row, LVNI_SELECTED));
        if (row < 0)
            break;
        rows.push_back(row);
    }
    return rows;
}

void CPelgraneView::OnDeleteMovies() {
    CPelgraneDoc* doc = GetDocument();
    const std::vector<int> selected = SelectedRows();
    if (!doc || selected.empty())
        return;
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        const int row = *it;
        if (row >= static_cast<int>(m_rows.size()))
            continue;
        // The row's reference keeps the record alive until the row is gone,
        // whatever the collection does with it.
        MoviePtr movie = m_rows[row].movie;
        {
            ChangingRows changing(m_bChangingRows);
            m_listMovies.DeleteRow(row);
            m_rows.erase(m_rows.begin() + row);
        }
        doc->RemoveMovie(movie->GetUrl());
    }
    DropRemovedRows();
}

void CPelgraneView::DropRemovedRows() {
    CPelgraneDoc* doc = GetDocument();
    if (!doc)
        return;
    // Other rows may show records of the same address, which the removal
    // took out of the collection too: they must not stay to be used.
    std::unordered_set<const CYoutubeFile*> present;
    present.reserve(doc->m_movies.GetCount());
    auto pos = doc->m_movies.GetStartPosition();
    while (pos) {
        std::uint16_t key;
        MoviePtr movie;
        doc->m_movies.GetNextAssoc(pos, key, movie);
        present.insert(movie.get());
    }
    for (int row = static_cast<int>(m_rows.size()) - 1; row >= 0; --row) {
        if (present.count(m_rows[row].movie.get()))
            continue;
        ChangingRows changing(m_bChangingRows);
        m_listMovies.DeleteRow(row);
        m_rows.erase(m_rows.begin() + row);
    }
}

void CPelgraneView::OnOpenUrl() {
    const std::vector<int> selected = SelectedRows();
    if (selected.empty())
        return;
    if (CYoutubeFile* movie = GetRowMovie(selected.front()); movie && m_shellOpen)
        m_shellOpen(movie->GetUrl());
}

void CPelgraneView::OnDownload() {
    CPelgraneDoc* doc = GetDocument();
    if (!doc)
        return;
    doc->StartDownload();
    m_bRunning = 1;
    m_runSummary.Reset();
    ShowRunProgress();
}

void CPelgraneView::OnStop() {
    if (CPelgraneDoc* doc = GetDocument())
        doc->StopDownload();
    m_bRunning = 0;
    ShowRunProgress();
}

void CPelgraneView::OnUpdateDownload(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_bRunning == 0);
}
void CPelgraneView::OnUpdateStop(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_bRunning != 0);
}

void CPelgraneView::OnOpenOutputFolder() {
    // Resolves (and creates) the folder, then opens it through the settings' shell seam.
    ::OnOpenOutputFolder();
}

void CPelgraneView::OnLinkHome() {
    if (m_shellOpen)
        m_shellOpen(kMakerSite);
}
void CPelgraneView::OnLinkProduct() {
    if (m_shellOpen)
        m_shellOpen(kMakerProductPage);
}
void CPelgraneView::OnLinkContact() {
    if (m_shellOpen)
        m_shellOpen(kMakerContactPage);
}
