// The resources as the program carries them: the dialog templates control by
// control, the menus, the keys, the string table and the icon sizes. This test
// program links the same compiled resource script as the program.
#include "res/resource.h"
#include "res/version.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

HMODULE Self() {
    return GetModuleHandleW(nullptr);
}

std::wstring LoadText(UINT id) {
    const wchar_t* p = nullptr;
    int n = LoadStringW(Self(), id, reinterpret_cast<LPWSTR>(&p), 0);
    return n > 0 ? std::wstring(p, n) : std::wstring();
}

// A cursor over a dialog template in memory.
struct Reader {
    const BYTE* p;
    WORD Word() {
        WORD w;
        std::memcpy(&w, p, 2);
        p += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d;
        std::memcpy(&d, p, 4);
        p += 4;
        return d;
    }
    short Short() { return static_cast<short>(Word()); }
    std::wstring Text() {
        std::wstring s;
        for (WORD w = Word(); w != 0; w = Word())
            s += static_cast<wchar_t>(w);
        return s;
    }
    // A name or an ordinal; ordinals come back as "#<n>" and the predefined
    // control classes by their names.
    std::wstring NameOrOrdinal(bool controlClass = false) {
        WORD first;
        std::memcpy(&first, p, 2);
        if (first == 0xFFFF) {
            p += 2;
            WORD ord = Word();
            if (!controlClass)
                return L"#" + std::to_wstring(ord);
            switch (ord) {
            case 0x80:
                return L"Button";
            case 0x81:
                return L"Edit";
            case 0x82:
                return L"Static";
            default:
                return L"#" + std::to_wstring(ord);
            }
        }
        return Text();
    }
    void AlignDword(const BYTE* base) {
        while ((p - base) % 4)
            ++p;
    }
};

struct Item {
    int id;
    std::wstring cls;
    std::wstring text;
    int x, y, cx, cy;
    DWORD style;
};

struct Template {
    DWORD style;
    int cx, cy;
    std::wstring title;
    int pointSize;
    std::wstring font;
    std::vector<Item> items;
};

Template LoadTemplate(int id) {
    HRSRC res = FindResourceW(Self(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    EXPECT_NE(res, nullptr);
    if (!res)
        return {};
    auto base = static_cast<const BYTE*>(LockResource(LoadResource(Self(), res)));
    Reader r{base};
    Template t{};
    EXPECT_EQ(r.Word(), 1);      // extended template
    EXPECT_EQ(r.Word(), 0xFFFF); // signature
    r.Dword();                   // help id
    r.Dword();                   // extended style
    t.style = r.Dword();
    int count = r.Word();
    r.Short();
    r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    r.NameOrOrdinal(); // menu
    r.NameOrOrdinal(); // class
    t.title = r.Text();
    t.pointSize = r.Word();
    r.Word();
    r.Word(); // italic, charset
    t.font = r.Text();
    for (int i = 0; i < count; ++i) {
        r.AlignDword(base);
        Item item{};
        r.Dword();
        r.Dword();
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = static_cast<int>(r.Dword());
        item.cls = r.NameOrOrdinal(true);
        item.text = r.NameOrOrdinal();
        r.p += r.Word();
        t.items.push_back(item);
    }
    return t;
}

void ExpectItems(const Template& t, const std::vector<Item>& want) {
    ASSERT_EQ(t.items.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        const Item& got = t.items[i];
        EXPECT_EQ(got.id, want[i].id);
        EXPECT_EQ(_wcsicmp(got.cls.c_str(), want[i].cls.c_str()), 0) << got.cls;
        EXPECT_EQ(got.text, want[i].text);
        EXPECT_EQ(got.x, want[i].x);
        EXPECT_EQ(got.y, want[i].y);
        EXPECT_EQ(got.cx, want[i].cx);
        EXPECT_EQ(got.cy, want[i].cy);
        EXPECT_EQ(got.style, want[i].style) << std::hex << got.style;
    }
}

TEST(Resources, AboutTemplateIsLaidOutControlByControl) {
    Template t = LoadTemplate(IDD_ABOUTBOX);
    EXPECT_EQ(t.style, 0x80C800C8u);
    EXPECT_EQ(t.cx, 207);
    EXPECT_EQ(t.cy, 87);
    EXPECT_EQ(t.title, L"About Torvane Brenlow");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.font, L"MS Shell Dlg");
    ExpectItems(t, {
                       {-1, L"Static", L"#128", 14, 14, 20, 20, 0x50000003},
                       {-1, L"Static", L"Torvane Brenlow", 47, 16, 129, 8, 0x50020080},
                       {1002, L"Static", L"Copyright (C) 2009 Velmora Software", 47, 38, 153, 8,
                        0x50020000},
                       {1, L"Button", L"OK", 47, 66, 50, 14, 0x50030001},
                       {1001, L"Static", L"Static", 47, 27, 95, 8, 0x50020000},
                       {1004, L"Button", L"Homepage", 47, 49, 50, 14, 0x50010000},
                   });
}

TEST(Resources, FormTemplateHoldsTheListControl) {
    Template t = LoadTemplate(IDD_PELGRANE_FORM);
    EXPECT_EQ(t.style & (WS_CHILD | WS_CAPTION | WS_POPUP), static_cast<DWORD>(WS_CHILD));
    EXPECT_EQ(t.cx, 82);
    EXPECT_EQ(t.cy, 69);
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.font, L"MS Shell Dlg");
    ExpectItems(t, {{1000, L"SysListView32", L"", 0, 0, 23, 22, 0x50810801}});
}

TEST(Resources, AddTemplateIsLaidOutControlByControl) {
    Template t = LoadTemplate(IDD_DLG_ADD);
    EXPECT_EQ(t.style, 0x80C800C8u);
    EXPECT_EQ(t.cx, 358);
    EXPECT_EQ(t.cy, 86);
    EXPECT_EQ(t.title, L"Dialog");
    EXPECT_EQ(t.font, L"MS Shell Dlg");
    ExpectItems(t, {
                       {1, L"Button", L"OK", 93, 66, 50, 14, 0x50010001},
                       {2, L"Button", L"Cancel", 229, 66, 50, 14, 0x50010000},
                       {1007, L"Edit", L"", 7, 50, 344, 14, 0x50810080},
                       {1008, L"Static", L"Static", 7, 7, 344, 39, 0x50020000},
                   });
}

struct MenuEntry {
    std::wstring text; // empty for a separator
    UINT id;
};

std::vector<MenuEntry> PopupItems(int menuId) {
    std::vector<MenuEntry> out;
    HMENU menu = LoadMenuW(Self(), MAKEINTRESOURCEW(menuId));
    EXPECT_NE(menu, nullptr);
    if (!menu)
        return out;
    HMENU popup = GetSubMenu(menu, 0);
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = 128;
        GetMenuItemInfoW(popup, i, TRUE, &mi);
        out.push_back({(mi.fType & MFT_SEPARATOR) ? L"" : text, mi.wID});
    }
    DestroyMenu(menu);
    return out;
}

void ExpectMenu(int menuId, const std::vector<MenuEntry>& want) {
    auto got = PopupItems(menuId);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].text, want[i].text);
        if (!want[i].text.empty()) {
            EXPECT_EQ(got[i].id, want[i].id);
        }
    }
}

TEST(Resources, ContextMenuItemsInOrder) {
    ExpectMenu(IDR_POPUP_EDIT, {
                                   {L"&Add Movie\t Ins", ID_MOVIES_ADD},
                                   {L"&Batch Add Movies\t Shift+Ins", ID_MOVIES_BATCH_ADD},
                                   {L"Delete\tDel", ID_MOVIES_DELETE},
                                   {L"", 0},
                                   {L"Open URL", ID_MOVIES_OPEN_URL},
                                   {L"", 0},
                                   {L"Open Output Folder", ID_MOVIES_OPEN_FOLDER},
                                   {L"", 0},
                                   {L"&Download", ID_DOWNLOAD_START},
                                   {L"S&top", ID_DOWNLOAD_STOP},
                                   {L"", 0},
                                   {L"&Save Project\tCtrl+S", ID_FILE_SAVE},
                               });
}

TEST(Resources, FrameMenuItemsInOrder) {
    HMENU menu = LoadMenuW(Self(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    wchar_t title[32] = {};
    GetMenuStringW(menu, 0, title, 32, MF_BYPOSITION);
    EXPECT_STREQ(title, L"&Movies");
    DestroyMenu(menu);
    ExpectMenu(IDR_MAINFRAME, {
                                  {L"&Add Movie\t Ins", ID_MOVIES_ADD},
                                  {L"&Batch Add Movies\t Shift+Ins", ID_MOVIES_BATCH_ADD},
                                  {L"", 0},
                                  {L"Download", ID_DOWNLOAD_START},
                                  {L"S&top", ID_DOWNLOAD_STOP},
                                  {L"", 0},
                                  {L"Delete\tDel", ID_MOVIES_DELETE},
                                  {L"", 0},
                                  {L"E&xit", ID_APP_EXIT},
                              });
}

TEST(Resources, AcceleratorTable) {
    HACCEL accel = LoadAcceleratorsW(Self(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(accel, nullptr);
    ACCEL entries[16];
    int n = CopyAcceleratorTableW(accel, entries, 16);
    struct Want {
        BYTE flags;
        WORD key;
        WORD cmd;
    };
    const Want want[] = {
        {FVIRTKEY | FNOINVERT | FCONTROL, 'N', ID_FILE_NEW},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'O', ID_FILE_OPEN},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'S', ID_FILE_SAVE},
        {FVIRTKEY | FNOINVERT, VK_INSERT, ID_MOVIES_ADD},
        {FVIRTKEY | FNOINVERT | FSHIFT, VK_INSERT, ID_MOVIES_BATCH_ADD},
        {FVIRTKEY | FNOINVERT, VK_DELETE, ID_MOVIES_DELETE},
        {FVIRTKEY | FNOINVERT, VK_F6, ID_NEXT_PANE},
        {FVIRTKEY | FNOINVERT | FSHIFT, VK_F6, ID_PREV_PANE},
    };
    ASSERT_EQ(n, 8);
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].fVirt & 0x7F, want[i].flags);
        EXPECT_EQ(entries[i].key, want[i].key);
        EXPECT_EQ(entries[i].cmd, want[i].cmd);
    }
}

TEST(Resources, StringTable) {
    struct Case {
        UINT id;
        const wchar_t* text;
    };
    const Case cases[] = {
        {IDR_MAINFRAME, L"Torvane Brenlow\n\nTorvane Brenlow\nTorvane Brenlow Files (*.torvane)\n"
                        L".torvane\nVelmora.Document\nTorvane Brenlow.Document"},
        {AFX_IDS_APP_TITLE, L"Torvane Brenlow"},
        {IDP_OLE_INIT_FAILED, L"OLE initialization failed.  Make sure that the OLE libraries "
                              L"are the correct version."},
        {IDS_STATUS_PANE1, L" "},
        {IDS_STATUS_PANE2, L"1234567890123456789012345678901234567890"},
        {IDS_RIBBON_FILE, L"File"},
        {IDS_RIBBON_NEW, L"&New"},
        {IDS_RIBBON_OPEN, L"&Open..."},
        {IDS_RIBBON_SAVE, L"&Save"},
        {IDS_RIBBON_SAVEAS, L"Save &As..."},
        {IDS_EDIT_MENU, L"Edit"},
        {ID_MOVIES_ADD, L"Add a movie."},
        {ID_MOVIES_BATCH_ADD, L"Batch add movies."},
        {ID_FILE_NEW, L"Create a new document\nNew"},
        {ID_FILE_OPEN, L"Open an existing document\nOpen"},
        {ID_FILE_CLOSE, L"Close the active document\nClose"},
        {ID_FILE_SAVE, L"Save the active document\nSave"},
        {ID_FILE_SAVE_AS, L"Save the active document with a new name\nSave As"},
        {ID_APP_ABOUT, L"Display program information, version number and copyright\nAbout"},
        {ID_APP_EXIT, L"Quit the application; prompts to save documents\nExit"},
        {ID_NEXT_PANE, L"Switch to the next window pane\nNext Pane"},
        {ID_PREV_PANE, L"Switch back to the previous window pane\nPrevious Pane"},
        // Commands without a prompt have no entry at all.
        {ID_DOWNLOAD_START, L""},
        {ID_DOWNLOAD_STOP, L""},
        {ID_MOVIES_DELETE, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadText(c.id), c.text) << c.id;
}

TEST(Resources, IconCarriesThreeSizesAndVersionBlockIsReal) {
    HRSRC res = FindResourceW(Self(), MAKEINTRESOURCEW(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(res, nullptr);
    auto dir = static_cast<const BYTE*>(LockResource(LoadResource(Self(), res)));
    WORD count;
    std::memcpy(&count, dir + 4, 2);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i)
        sizes.push_back(dir[6 + 14 * i]);
    EXPECT_EQ(sizes, (std::vector<int>{48, 32, 16}));

    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &len));
    EXPECT_EQ(HIWORD(info->dwFileVersionMS), TB_VERSION_MAJOR);
    EXPECT_EQ(LOWORD(info->dwFileVersionMS), TB_VERSION_MINOR);

    HRSRC manifest = FindResourceW(Self(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    std::string xml(static_cast<const char*>(LockResource(LoadResource(Self(), manifest))),
                    SizeofResource(Self(), manifest));
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(xml.find("PerMonitorV2"), std::string::npos);
}

} // namespace
