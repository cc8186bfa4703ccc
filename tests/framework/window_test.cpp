// The window layer with real windows on the test display: routing through
// view, document, frame and application; menu states and prompts; keys in the
// main loop, inside a system message box and (not) inside our own dialog; the
// error boxes; the file commands with their dialogs answered as a user would;
// dropped files; shell registration; window placement.
#include "framework/app.h"
#include "framework/dialog.h"
#include "framework/frame.h"
#include "framework/shell.h"
#include "framework/strings.h"
#include "framework/view.h"
#include "tests/framework/test_resources.h"

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include "pump_win.h"
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kAppTitle[] = L"Test App";
std::atomic<int> g_docRuns{0};
std::atomic<int> g_gatedRuns{0};

using tb::test::WaitDialog;
using tb::test::WaitUntil;

// A message box's texts and whether it shows the given system icon.
struct BoxContents {
    std::wstring text;
    bool iconMatches = false;
};
BoxContents ReadBox(HWND box, LPCWSTR systemIcon) {
    struct Ctx {
        BoxContents out;
        HICON want;
    } ctx{{}, LoadIconW(nullptr, systemIcon)};
    EnumChildWindows(
        box,
        [](HWND child, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(lp);
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (lstrcmpiW(cls, L"Static") != 0)
                return TRUE;
            auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            if (icon)
                c->out.iconMatches = c->out.iconMatches || icon == c->want;
            wchar_t text[512] = {};
            GetWindowTextW(child, text, 512);
            if (text[0])
                c->out.text = text;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.out;
}

// Runs `drive` on a second thread while the test thread is inside a modal loop.
class Driver {
public:
    explicit Driver(std::function<void()> drive) : m_thread(std::move(drive)) {}
    ~Driver() { m_thread.join(); }

private:
    std::thread m_thread;
};

class TestDoc : public CDocument {
public:
    TestDoc() {
        OnCommand(ID_TEST_RUN, [] { ++g_docRuns; });
        OnCommand(ID_TEST_FAIL, [this] {
            if (m_failText.empty())
                throw CUserException();
            throw CException(m_failText);
        });
    }
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring())
            ar << m_value;
        else
            ar >> m_value;
    }
    std::uint32_t m_value = 0;
    std::wstring m_failText;
};

class TestView : public CView {
public:
    TestView() {
        OnCommand(ID_TEST_GATED, [] { ++g_gatedRuns; });
        OnUpdateCommand(ID_TEST_GATED, [this](CCmdUI* ui) { ui->Enable(m_gate); });
    }
    void OnUpdate(CView*, LPARAM, void*) override { ++m_updates; }
    bool m_gate = false;
    int m_updates = 0; // times told to show the document afresh
};

class TestFrame : public CFrameWnd {
protected:
    int OnCreate(CREATESTRUCTW* pcs) override {
        if (CFrameWnd::OnCreate(pcs) == -1)
            return -1;
        if (!m_wndStatusBar.Create(this))
            return -1;
        m_wndStatusBar.SetPanes({{120, L" "}, {121, L"1234567890"}});
        return 0;
    }
};

// Offers keys typed in the system's modal loops to the frame's accelerators,
// as the program's application object does.
class TestApp : public CWinApp {
public:
    TestApp() : CWinApp(kAppTitle) {
        AddDocTemplate(std::make_unique<CSingleDocTemplate>(
            IDR_TEST_FRAME, LoadResString(IDR_TEST_FRAME),
            [] { return std::make_unique<TestDoc>(); },
            [] { return std::make_unique<TestFrame>(); },
            [] { return std::make_unique<TestView>(); }));
    }
    bool ProcessMessageFilter(int code, MSG& msg) override {
        if (m_pMainWnd && m_pMainWnd->GetAccelerators().Translate(m_pMainWnd->m_hWnd, msg))
            return true;
        return CWinApp::ProcessMessageFilter(code, msg);
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_docRuns = 0;
        g_gatedRuns = 0;
        ASSERT_NE(app.OpenDocumentFile(L""), nullptr);
        frame = app.GetDocTemplate()->GetFrame();
        doc = static_cast<TestDoc*>(app.GetDocTemplate()->GetDocument());
        view = static_cast<TestView*>(frame->GetActiveView());
        ASSERT_TRUE(frame && frame->m_hWnd && view && view->m_hWnd);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir = std::wstring(temp) + L"tbfw" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(dir.c_str(), nullptr);
    }
    void TearDown() override {
        SHFILEOPSTRUCTW op{};
        std::wstring from = dir;
        from.pop_back();
        from.push_back(L'\0');
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        SHFileOperationW(&op);
    }
    void Pump() { app.PumpWaitingMessages(); }
    static void WriteFile(const std::wstring& path, std::string bytes) {
        std::ofstream(path.c_str(), std::ios::binary) << bytes;
    }
    std::wstring MessagePane() const { return frame->m_wndStatusBar.GetMessageText(); }

    TestApp app;
    CFrameWnd* frame = nullptr;
    TestDoc* doc = nullptr;
    TestView* view = nullptr;
    std::wstring dir;
};

TEST_F(WindowTest, RoutingMenuStatesAndPrompts) {
    EXPECT_EQ(frame->GetWindowText(), L"Untitled - Test App");

    // A menu command reaches the document through the view.
    frame->SendMessage(WM_COMMAND, ID_TEST_RUN, 0);
    EXPECT_EQ(g_docRuns, 1);

    HMENU popup = GetSubMenu(GetMenu(frame->m_hWnd), 0);
    auto grayed = [&](UINT id) { return (GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(grayed(ID_TEST_RUN));   // handler, no enabling handler
    EXPECT_TRUE(grayed(ID_TEST_GATED));  // enabling handler says no
    EXPECT_TRUE(grayed(ID_TEST_ORPHAN)); // nobody answers
    frame->SendMessage(WM_COMMAND, ID_TEST_GATED, 0);
    EXPECT_EQ(g_gatedRuns, 0); // disabled commands do not run
    view->m_gate = true;
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(grayed(ID_TEST_GATED));
    frame->SendMessage(WM_COMMAND, ID_TEST_GATED, 0);
    EXPECT_EQ(g_gatedRuns, 1);

    // Prompts while items are highlighted; the pane's own text afterwards.
    frame->SendMessage(WM_ENTERMENULOOP, FALSE, 0);
    struct {
        UINT id;
        const wchar_t* prompt;
    } prompts[] = {
        {ID_TEST_RUN, L"Run the thing"}, {ID_TEST_GATED, L"Gated command"}, {ID_TEST_ORPHAN, L""}};
    for (const auto& p : prompts) {
        frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(p.id, MF_HILITE),
                           reinterpret_cast<LPARAM>(popup));
        EXPECT_EQ(MessagePane(), p.prompt);
    }
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(MessagePane(), L" ");
}

TEST_F(WindowTest, KeysActInMainLoopAndMessageBoxButNotInOwnDialog) {
    // Main loop: Ins on the view runs the command; F6 has no handler and does nothing.
    view->PostMessage(WM_KEYDOWN, VK_INSERT, 0);
    view->PostMessage(WM_KEYDOWN, VK_F6, 0);
    Pump();
    EXPECT_EQ(g_docRuns, 1);

    // Inside a system message box the hook hands the key to the application.
    {
        Driver driver([] {
            HWND box = WaitDialog(kAppTitle);
            ASSERT_NE(box, nullptr);
            PostMessageW(box, WM_KEYDOWN, VK_INSERT, 0);
            WaitUntil([] { return g_docRuns == 2; });
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        app.DoMessageBox(L"Keys go through", MB_OK);
    }
    EXPECT_EQ(g_docRuns, 2);

    // Our own dialog keeps its keys; its edit text comes back through DDX.
    class Dlg : public CDialog {
    public:
        Dlg() : CDialog(IDD_TEST_DIALOG) {}
        void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_TEST_EDIT, m_text); }
        std::wstring m_text = L"initial";
    } dlg;
    std::wstring seen;
    {
        Driver driver([&seen] {
            HWND box = WaitDialog(L"Test Dialog");
            ASSERT_NE(box, nullptr);
            HWND edit = GetDlgItem(box, IDC_TEST_EDIT);
            wchar_t text[64] = {};
            GetWindowTextW(edit, text, 64);
            seen = text;
            SetWindowTextW(edit, L"typed");
            PostMessageW(edit, WM_KEYDOWN, VK_INSERT, 0);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
    }
    EXPECT_EQ(seen, L"initial");
    EXPECT_EQ(dlg.m_text, L"typed");
    EXPECT_EQ(g_docRuns, 2);
}

TEST_F(WindowTest, FailingCommandShowsStopBoxWithItsOwnTextOrTheGenericOne) {
    struct {
        const wchar_t* raised;
        const wchar_t* shown;
    } cases[] = {
        {L"The server name could not be resolved.", L"The server name could not be resolved."},
        {L"", L"Command failed."}};
    for (const auto& c : cases) {
        doc->m_failText = c.raised;
        BoxContents box;
        {
            Driver driver([&box] {
                HWND hBox = WaitDialog(kAppTitle);
                ASSERT_NE(hBox, nullptr);
                box = ReadBox(hBox, IDI_HAND);
                PostMessageW(hBox, WM_COMMAND, IDOK, 0);
            });
            frame->SendMessage(WM_COMMAND, ID_TEST_FAIL, 0);
        }
        EXPECT_EQ(box.text, c.shown);
        EXPECT_TRUE(box.iconMatches);
    }
}

// Answers the next file dialog titled `title` with `path`, or cancels it when
// `path` is empty.
void AnswerFileDialog(const wchar_t* title, std::wstring path) {
    HWND dlg = WaitDialog(title);
    ASSERT_NE(dlg, nullptr);
    if (path.empty()) {
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    // The name box is an edit or a combo box depending on the dialog's style.
    for (int id : {edt1, cmb13})
        if (HWND box = GetDlgItem(dlg, id))
            SetWindowTextW(box, path.c_str());
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
}

TEST_F(WindowTest, SaveAsOpenAndTheMissingFileRule) {
    const std::wstring saved = dir + L"saved.tbt";
    doc->m_value = 7;
    {
        Driver driver([&] { AnswerFileDialog(L"Save As", saved); });
        doc->OnFileSaveAs();
    }
    std::ifstream in(saved.c_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    EXPECT_EQ(bytes, std::string("\x07\0\0\0", 4));
    EXPECT_EQ(doc->GetPathName(), saved);
    EXPECT_EQ(frame->GetWindowText(), L"saved.tbt - Test App");

    // The file is gone: Save asks for a name; cancelling saves nothing.
    ASSERT_TRUE(DeleteFileW(saved.c_str()));
    {
        Driver driver([] { AnswerFileDialog(L"Save As", L""); });
        EXPECT_FALSE(doc->DoFileSave());
    }
    EXPECT_EQ(GetFileAttributesW(saved.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring other = dir + L"other.tbt";
    WriteFile(other, std::string("\x09\0\0\0", 4));
    {
        Driver driver([&] { AnswerFileDialog(L"Open", other); });
        app.OnFileOpen();
    }
    EXPECT_EQ(doc->m_value, 9u);
    EXPECT_EQ(doc->GetTitle(), L"other.tbt");
}

TEST_F(WindowTest, LoadErrorsShowExclamationBoxAndKeepOrResetTheDocument) {
    const std::wstring good = dir + L"good.tbt";
    WriteFile(good, std::string("\x05\0\0\0", 4));
    ASSERT_NE(app.OpenDocumentFile(good), nullptr);

    struct {
        std::wstring path;
        std::string bytes; // written when not empty
        std::wstring shown;
        std::wstring titleAfter;
        bool viewUpdated;
    } cases[] = {
        // Not opened at all: the document stays as it was.
        {dir + L"missing.tbt", "", dir + L"missing.tbt was not found.", L"good.tbt", false},
        // Opened and spoiled part-way: a new, untitled document, which the
        // view shows instead of the contents that were emptied.
        {dir + L"short.tbt", "\x01\x02", L"Unexpected file format.", L"Untitled", true},
    };
    for (const auto& c : cases) {
        if (!c.bytes.empty())
            WriteFile(c.path, c.bytes);
        const int updates = view->m_updates;
        BoxContents box;
        {
            Driver driver([&box] {
                HWND hBox = WaitDialog(kAppTitle);
                ASSERT_NE(hBox, nullptr);
                box = ReadBox(hBox, IDI_EXCLAMATION);
                PostMessageW(hBox, WM_COMMAND, IDOK, 0);
            });
            EXPECT_EQ(app.OpenDocumentFile(c.path), nullptr);
        }
        EXPECT_EQ(box.text, c.shown);
        EXPECT_TRUE(box.iconMatches);
        EXPECT_EQ(doc->GetTitle(), c.titleAfter);
        EXPECT_EQ(view->m_updates > updates, c.viewUpdated) << c.titleAfter;
    }
    EXPECT_TRUE(doc->GetPathName().empty());
}

TEST_F(WindowTest, DroppedFilesOpenInOrderAndTheLastStays) {
    const std::wstring a = dir + L"a.tbt", b = dir + L"b.tbt";
    WriteFile(a, std::string("\x01\0\0\0", 4));
    WriteFile(b, std::string("\x02\0\0\0", 4));
    std::wstring list = a + L'\0' + b + L'\0' + L'\0';
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    ASSERT_NE(mem, nullptr);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
           list.size() * sizeof(wchar_t));
    GlobalUnlock(mem);
    frame->PostMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
    Pump();
    EXPECT_EQ(doc->GetPathName(), b);
    EXPECT_EQ(doc->m_value, 2u);
}

TEST_F(WindowTest, ShellRegistrationForTheCurrentUser) {
    const std::wstring classes = L"Software\\Classes\\";
    auto read = [&](const std::wstring& key, const wchar_t* name = L"") {
        wchar_t value[1024] = {};
        DWORD size = sizeof(value);
        RegGetValueW(HKEY_CURRENT_USER, (classes + key).c_str(), name, RRF_RT_REG_SZ, nullptr,
                     value, &size);
        return std::wstring(value);
    };
    HKEY other;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (classes + L".tbx").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &other, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(other, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Other.Doc"),
                   10 * sizeof(wchar_t));
    RegCloseKey(other);

    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring program = GetShortPath(exe);
    for (const wchar_t* ext : {L".tbt", L".tbx"})
        EXPECT_EQ(RegisterShellFileType({L"Test.Document", L"Test.Document Name", ext, exe, 0}), 0);
    EXPECT_EQ(read(L"Test.Document"), L"Test.Document Name");
    EXPECT_EQ(read(L"Test.Document\\DefaultIcon"), program + L",0");
    EXPECT_EQ(read(L"Test.Document\\shell\\open\\command"), program + L" \"%1\"");
    EXPECT_EQ(read(L"Test.Document\\shell\\print\\command"), program + L" /p \"%1\"");
    EXPECT_EQ(read(L"Test.Document\\shell\\printto\\command"),
              program + L" /pt \"%1\" \"%2\" \"%3\" \"%4\"");
    EXPECT_EQ(read(L".tbt"), L"Test.Document");
    EXPECT_EQ(read(L".tbt\\ShellNew", L"NullFile"), L"");
    EXPECT_EQ(read(L".tbx"), L"Other.Doc"); // another program's association stays
}

TEST_F(WindowTest, PlacementIsStoredAndRestored) {
    const std::wstring key = L"Software\\TorvaneBrenlowTests\\Workspace";
    frame->SetPlacementStore(key, L"Placement");
    SetWindowPos(frame->m_hWnd, nullptr, 40, 50, 400, 300, SWP_NOZORDER);
    ASSERT_TRUE(frame->SavePlacement());
    SetWindowPos(frame->m_hWnd, nullptr, 10, 10, 200, 150, SWP_NOZORDER);
    ASSERT_TRUE(frame->RestorePlacement(SW_SHOW));
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    GetWindowPlacement(frame->m_hWnd, &wp);
    EXPECT_EQ(wp.rcNormalPosition.right - wp.rcNormalPosition.left, 400);
    EXPECT_EQ(wp.rcNormalPosition.bottom - wp.rcNormalPosition.top, 300);

    // A damaged value is ignored rather than trusted.
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &hKey, nullptr),
              ERROR_SUCCESS);
    const BYTE junk[5] = {1, 2, 3, 4, 5};
    RegSetValueExW(hKey, L"Placement", 0, REG_BINARY, junk, sizeof(junk));
    RegCloseKey(hKey);
    EXPECT_FALSE(frame->RestorePlacement(SW_SHOW));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TorvaneBrenlowTests");
}

} // namespace
