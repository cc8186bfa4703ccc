#pragma once
// Views: the child window in the frame that shows a document. CView routes the
// commands it does not answer on to its document. CFormView is a view built from
// a dialog template (a child dialog without caption).
#include "framework/wnd.h"

class CDocument;
class CFrameWnd;

class CView : public CWnd {
public:
    static constexpr UINT kFirstPaneID = 0xE900;

    ~CView() override;
    // Creates the view window as a child of `pFrame` and attaches it to `pDoc`.
    virtual bool Create(CFrameWnd* pFrame, CDocument* pDoc);
    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetParentFrame() const { return m_pFrame; }

    // First show and every new or opened document (base: OnUpdate(nullptr, 0, nullptr)).
    virtual void OnInitialUpdate();
    // The document changed (UpdateAllViews). Base: repaint.
    virtual void OnUpdate(CView* pSender, LPARAM lHint, void* pHint);

    // Own table first, then the document's.
    bool OnCmdMsg(unsigned id, CCmdUI* pCmdUI) override;

protected:
    CDocument* m_pDocument = nullptr;
    CFrameWnd* m_pFrame = nullptr;

private:
    friend class CDocument;
    void DetachDocument() { m_pDocument = nullptr; }
};

class CFormView : public CView {
public:
    explicit CFormView(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}
    bool Create(CFrameWnd* pFrame, CDocument* pDoc) override;
    // Runs the data exchange (members -> controls), then the base.
    void OnInitialUpdate() override;

protected:
    bool OnInitDialog() override { return false; } // the frame gives the focus
    UINT m_nIDTemplate;
};
