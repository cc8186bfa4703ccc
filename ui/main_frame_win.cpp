#include "ui/main_frame.h"

#include "framework/app.h"
#include "framework/strings.h"
#include "res/resource.h"

#include <cwchar>
#include <memory>

std::wstring FormatClock(const std::tm& local) {
    // The C runtime's own names are the English ones whatever the user's locale.
    wchar_t buffer[128] = {};
    if (std::wcsftime(buffer, 128, L"%H:%M:%S %A, %B %d, %Y", &local) == 0)
        return {};
    return buffer;
}

int CMainFrame::OnCreate(CREATESTRUCTW* pcs) {
    if (CFrameWndEx::OnCreate(pcs) == -1)
        return -1;
    m_wndRibbonBar.Create(this);
    InitializeRibbon();

    if (!m_wndStatusBar.Create(this))
        return -1;
    const std::wstring pane1 = LoadResString(IDS_STATUS_PANE1);
    const std::wstring pane2 = LoadResString(IDS_STATUS_PANE2);
    m_wndStatusBar.AddElement(std::make_unique<CRibbonStatusBarPane>(ID_STATUSBAR_PANE1, pane1),
                              pane1);
    // The clock pane starts with its 40-digit text, which also sets its width.
    m_wndStatusBar.AddExtendedElement(
        std::make_unique<CRibbonStatusBarPane>(ID_STATUSBAR_PANE2, pane2), pane2);

    if (CWinApp* app = AfxGetApp(); app && !app->GetRegistryKey().empty())
        SetPlacementStore(app->GetProfileBranch() + L"\\Workspace", L"MainWindowPlacement");
    return 0;
}

void CMainFrame::InitializeRibbon() {
    const std::wstring file = LoadResString(IDS_RIBBON_FILE);

    m_PanelImages.SetImageSize(16, 16);
    m_PanelImages.Load(IDB_BUTTONS);

    m_MainButton.SetImage(IDB_MAIN);
    m_MainButton.SetText(L"\nf");
    m_MainButton.SetToolTipText(file);
    m_wndRibbonBar.SetApplicationButton(&m_MainButton, SIZE{45, 45});

    auto button = [](UINT id, const std::wstring& text, int small, int large) {
        return std::make_unique<CRibbonButton>(id, text, small, large);
    };
    CRibbonMainCategory* main =
        m_wndRibbonBar.AddMainCategory(file, IDB_SMALLICONS, IDB_LARGEICONS);
    main->Add(button(ID_MOVIES_ADD, L"Add", 0, 0));
    main->Add(button(ID_MOVIES_BATCH_ADD, L"Batch Add", 1, 1));
    main->Add(button(ID_DOWNLOAD_START, L"Download", 8, 8));
    main->Add(button(ID_DOWNLOAD_STOP, L"Stop", 9, 9));
    main->Add(button(ID_FILE_CLOSE, L"Exit", 7, 7));
    main->AddToBottom(button(ID_APP_EXIT, L"Exit", 15, -1));

    CRibbonCategory* home = m_wndRibbonBar.AddCategory(L"Home", IDB_SMALLICONS, IDB_LARGEICONS);
    struct Entry {
        UINT id;
        std::wstring text;
        int image;
    };
    auto panel = [&](const wchar_t* name, int icon, std::initializer_list<Entry> entries) {
        CRibbonPanel* p = home->AddPanel(name, &m_PanelImages, icon);
        for (const Entry& e : entries)
            p->Add(button(e.id, e.text, e.image, e.image));
    };
    panel(L"Movies", 26,
          {{ID_MOVIES_ADD, L"Add", 0},
           {ID_MOVIES_BATCH_ADD, L"Batch Add", 1},
           {ID_MOVIES_DELETE, L"Delete", 4}});
    panel(L"Download", 26, {{ID_DOWNLOAD_START, L"Download", 8}, {ID_DOWNLOAD_STOP, L"Stop", 9}});
    panel(L"Projects", 7,
          {{ID_FILE_NEW, LoadResString(IDS_RIBBON_NEW), 10},
           {ID_FILE_OPEN, LoadResString(IDS_RIBBON_OPEN), 11},
           {ID_FILE_SAVE, LoadResString(IDS_RIBBON_SAVE), 12},
           {ID_FILE_SAVE_AS, LoadResString(IDS_RIBBON_SAVEAS), 13}});
    panel(L"Options", 7,
          {{ID_OPTIONS_OUTPUT_FOLDER, L"Output", 16}, {ID_OPTIONS_OPEN_FOLDER, L"Open", 15}});
    panel(L"Help", 7, {{ID_APP_ABOUT, L"About", 19}});
    panel(L"Links", 7,
          {{ID_LINK_HOME, L"Home", 20},
           {ID_LINK_PRODUCT, L"Product", 21},
           {ID_LINK_CONTACT, L"Contact", 22}});
    panel(L"Exit", 26, {{ID_FILE_CLOSE, L"Exit", 7}});
    m_wndRibbonBar.RecalcLayout();
}

void CMainFrame::UpdateClockPane() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    std::wstring text;
    if (localtime_s(&local, &now) == 0)
        text = FormatClock(local);
    m_wndStatusBar.SetPaneText(ID_STATUSBAR_PANE2, text);
    m_wndStatusBar.Invalidate(true);
}
