#pragma once
// The document's only view: a form on template 101 whose list control covers
// the whole client area, one row per movie of the document's collection (check
// box, address, title, size, status; the status cell turns into a progress bar
// while the movie downloads). Its 500 ms timer drives the status bar clock and,
// during a download run, the refresh of the rows, since the run's threads
// change the records without telling anybody. It carries the user's check
// marks into the records and answers the commands that concern the list and
// the run (Download, Stop, Delete, Open URL, output folder, web links).
//
// Rows hold the collection's shared records: a row keeps its record alive, so
// a movie removed from the collection (Delete, New, Open) never leaves a row
// pointing at freed memory, and the view never creates or destroys a record.
#include "controls/xlist_ctrl.h"
#include "download/run_summary.h"
#include "framework/shell.h"
#include "framework/view.h"
#include "model/movie.h"

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CPelgraneDoc;

class CPelgraneView : public CFormView {
public:
    static constexpr UINT_PTR kTimerId = 100;
    static constexpr UINT kTimerPeriodMs = 500;
    // ShowMovieRow's row index meaning "append a new row".
    static constexpr int kAppendRow = 2147483647;
    enum Column { colCheck = 0, colUrl = 1, colTitle = 2, colSize = 3, colStatus = 4 };

    CPelgraneView();
    ~CPelgraneView() override;

    CPelgraneDoc* GetDocument() const;
    void OnInitialUpdate() override;
    void OnUpdate(CView* pSender, LPARAM lHint, void* pHint) override;

    // Writes `movie` into row `nRow` (kAppendRow: a new row at the end);
    // returns the row, negative when no row could be appended.
    int ShowMovieRow(int nRow, const MoviePtr& movie);
    // The per-tick refresh during a run: a downloading row with a known size
    // gets its bar (and its texts, once); the other rows show their records.
    void RefreshRunRows();
    // The record a row shows, or null for a row out of range.
    CYoutubeFile* GetRowMovie(int nRow) const;

    // ---- Commands ----
    void OnDownload();
    void OnStop();
    void OnUpdateDownload(CCmdUI* pCmdUI);
    void OnUpdateStop(CCmdUI* pCmdUI);
    void OnDeleteMovies();
    void OnOpenUrl();
    void OnOpenOutputFolder();
    void OnLinkHome();
    void OnLinkProduct();
    void OnLinkContact();

    CXListCtrl m_listMovies;
    CNoDropTarget m_dropTarget;
    std::int32_t m_bInitialized = 0;
    std::int32_t m_bRunning = 0;
    // Opens an address with the shell's default verb (Open URL, web links);
    // tests put a recorder here.
    std::function<void(const std::wstring&)> m_shellOpen;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // What a row holds beside the control's own cells: its record (one
    // reference, keeping it alive) and the values the row shows now, so a tick
    // skips the rows whose record has not changed without asking the control.
    struct RowState {
        MoviePtr movie;
        std::int32_t nStatus = 0;
        std::uint32_t dwSize = 0;
        std::int32_t bChecked = -1;
    };
    // The header's check-box images; destroyed with the view.
    struct ImageList {
        HIMAGELIST h = nullptr;
        ~ImageList() {
            if (h)
                ImageList_Destroy(h);
        }
    };

    // The run's summary in the status bar and its progress on the taskbar
    // button, from the run's figures; cleared once the run is over.
    void ShowRunProgress();
    void InitMovieList();
    void Update(bool bRebuild);
    void StretchList();
    void ShowContextMenu(POINT ptScreen);
    void RememberShown(int nRow);
    // The row's check mark into its record (a click, a selection change).
    void CheckMarkToRecord(int nRow);
    // After a column-0 header click: every record takes the header's state.
    void HeaderCheckToRecords(int nColumn);
    // Drops the rows whose record is no longer in the collection, last first.
    void DropRemovedRows();
    std::vector<int> SelectedRows() const;

    // Set while the view inserts or deletes rows (the list notifies meanwhile).
    struct ChangingRows {
        explicit ChangingRows(bool& flag) : m_flag(flag), m_saved(flag) { m_flag = true; }
        ~ChangingRows() { m_flag = m_saved; }
        bool& m_flag;
        bool m_saved;
    };

    std::vector<RowState> m_rows; // one per list row, same order
    CRunSummary m_runSummary;
    bool m_bRunProgressShown = false;
    bool m_bChangingRows = false;
    ImageList m_headerImages;
};
