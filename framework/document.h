#pragma once
// The document base and the single-document template with the file commands.
//
// A document has a path (empty until it is opened from or saved to a file), a
// title ("Untitled" for a new one, else the file's name), a modified flag and its
// views. Loading and saving go through the archive: OnOpenDocument and
// OnSaveDocument call the virtual Serialize; their errors are reported here
// (exclamation icon, the error's text) and turned into a false result.
//
// Command handlers the program maps to its command ids (the framework does not
// know the numbers):
//   document: OnFileSave, OnFileSaveAs, OnFileClose
//   application (app.h): OnFileNew, OnFileOpen, OnAppExit
#include "framework/archive.h"
#include "framework/command.h"
#include "framework/errors.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFrameWnd;
class CView;
class CSingleDocTemplate;

class CDocument : public CCmdTarget {
public:
    CDocument() = default;
    ~CDocument() override;

    const std::wstring& GetPathName() const { return m_strPathName; }
    // Sets the path and takes the file's name as the title.
    virtual void SetPathName(const std::wstring& path);
    const std::wstring& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::wstring& title); // also updates the frame's caption
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true) { m_bModified = bModified; }

    const std::vector<CView*>& GetViews() const { return m_views; }
    void AddView(CView* pView);
    void RemoveView(CView* pView);
    // Tells every view except `pSender` that the document changed.
    void UpdateAllViews(CView* pSender, LPARAM lHint = 0, void* pHint = nullptr);
    CSingleDocTemplate* GetDocTemplate() const { return m_pTemplate; }

    // ---- Overridables ----
    virtual void Serialize(CArchive& ar);
    virtual void DeleteContents() {}
    // A new, empty document: DeleteContents, no path, not modified. True on success.
    virtual bool OnNewDocument();
    // Loads `path`. A file that cannot be opened leaves the document untouched
    // (still unmodified); a file that fails part-way leaves it modified ("spoiled"):
    // the template then starts a new document. A 0-byte file is opened without
    // reading anything. Errors are reported here; returns false on failure.
    virtual bool OnOpenDocument(const std::wstring& path);
    // Writes the document to `path`; errors reported here; false on failure.
    virtual bool OnSaveDocument(const std::wstring& path);
    // Closes the document: destroys its frame (which ends a single-document
    // program) and its contents.
    virtual void OnCloseDocument();
    // Asks "Save changes to <title>?" when modified; false when the user cancels.
    virtual bool SaveModified();

    // ---- Saving ----
    // Save: when the file at the path is read-only or missing (or there is no
    // path) the Save As dialog decides; otherwise the file is written in place.
    bool DoFileSave();
    // Saves to `path`, or after the Save As dialog when `path` is empty. With
    // bReplace the document takes the new path and title. False when cancelled or
    // failed; a failed save leaves the folder as it was, an existing file the
    // dialog agreed to replace included.
    bool DoSave(const std::wstring& path, bool bReplace = true);

    // ---- Command handlers (mapped by the program) ----
    void OnFileSave() { DoFileSave(); }
    void OnFileSaveAs() { DoSave(std::wstring()); }
    void OnFileClose();

    // Reports a load or save error in one place: the error's text (or
    // `fallback` when it has none), exclamation icon.
    virtual void ReportSaveLoadException(const std::wstring& path, const CException* pError,
                                         bool bSaving, const wchar_t* fallback);

private:
    friend class CSingleDocTemplate;
    std::wstring m_strPathName;
    std::wstring m_strTitle;
    bool m_bModified = false;
    std::vector<CView*> m_views;
    CSingleDocTemplate* m_pTemplate = nullptr;
};

// Ties one document, one frame and one view together, created on demand from
// factories, and reuses them for every New and Open.
class CSingleDocTemplate {
public:
    // Fields of the template's string resource (separated by line feeds).
    enum DocStringIndex {
        windowTitle,     // the application's window title
        docName,         // base of new documents' titles; empty: "Untitled"
        fileNewName,     // name for a new file
        filterName,      // e.g. "Torvane Brenlow Files (*.torvane)"
        filterExt,       // e.g. ".torvane"
        regFileTypeId,   // e.g. "Velmora.Document"
        regFileTypeName, // e.g. "Torvane Brenlow.Document"
    };
    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<std::unique_ptr<CFrameWnd>()>;
    using ViewFactory = std::function<std::unique_ptr<CView>()>;

    // `strings`: the resource's seven fields, e.g. LoadResString(nIDResource).
    CSingleDocTemplate(UINT nIDResource, std::wstring strings, DocumentFactory makeDocument,
                       FrameFactory makeFrame, ViewFactory makeView);
    ~CSingleDocTemplate();
    CSingleDocTemplate(const CSingleDocTemplate&) = delete;
    CSingleDocTemplate& operator=(const CSingleDocTemplate&) = delete;

    UINT GetResourceID() const { return m_nIDResource; }
    std::wstring GetDocString(DocStringIndex index) const;

    // Empty `path`: a new document; otherwise opens that file. Creates the
    // document, frame and view the first time (a failure then destroys them
    // again). For an existing document whose load failed untouched, it stays as
    // it was; a spoiled one becomes a new document titled "Untitled". The view
    // is initialised again after success. bMakeVisible shows the frame.
    // Returns the document, or null on failure.
    CDocument* OpenDocumentFile(const std::wstring& path, bool bMakeVisible = true);
    void SetDefaultTitle(CDocument* pDoc);

    CDocument* GetDocument() const { return m_document.get(); }
    CFrameWnd* GetFrame() const { return m_frame.get(); }
    // Called by the document when it closes; the objects stay until the template
    // goes, the windows are gone.
    void OnDocumentClosed() { m_bOpen = false; }
    bool IsOpen() const { return m_bOpen; }

    // The file dialogs of Open and Save As, with this template's filter
    // ("<filterName>" / "*<filterExt>" and "All Files (*.*)"). `fileName` is the
    // proposal in and the choice out; false when cancelled.
    bool DoPromptFileName(std::wstring& fileName, bool bOpen);

private:
    bool CreateWindows();
    void DiscardCreated();
    void InitialUpdateFrame(bool bMakeVisible);
    UINT m_nIDResource;
    std::wstring m_strings;
    DocumentFactory m_makeDocument;
    FrameFactory m_makeFrame;
    ViewFactory m_makeView;
    std::unique_ptr<CDocument> m_document;
    std::unique_ptr<CFrameWnd> m_frame;
    bool m_bOpen = false;
};

inline constexpr wchar_t kUntitled[] = L"Untitled";
