#pragma once
// The document's only view: a form on template 101 whose list control covers
// the whole client area. Its 500 ms timer drives the status bar clock and,
// during a download run, the refresh of the rows. It answers the commands that
// concern the list and the run (Download, Stop, Delete, Open URL, output
// folder, web links) and shows the list's context menu.
#include "framework/shell.h"
#include "framework/view.h"

#include <cstdint>

class CPelgraneDoc;

class CPelgraneView : public CFormView {
public:
    static constexpr UINT_PTR kTimerId = 100;
    static constexpr UINT kTimerPeriodMs = 500;

    CPelgraneView();
    ~CPelgraneView() override;

    CPelgraneDoc* GetDocument() const;
    void OnInitialUpdate() override;
    void OnUpdate(CView* pSender, LPARAM lHint, void* pHint) override;

    // ---- Commands ----
    void OnDownload();
    void OnStop();
    void OnUpdateDownload(CCmdUI* pCmdUI);
    void OnUpdateStop(CCmdUI* pCmdUI);
    void OnOpenOutputFolder();
    void OnLinkHome();
    void OnLinkProduct();
    void OnLinkContact();

    CWnd m_listMovies;
    CNoDropTarget m_dropTarget;
    std::int32_t m_bInitialized = 0;
    std::int32_t m_bRunning = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void InitMovieList();
    void StretchList();
    void ShowContextMenu(POINT ptScreen);
};
