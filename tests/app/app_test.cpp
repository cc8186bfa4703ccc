// The program as a user meets it: started, driven through its keys, menus and
// dialogs, and closed, with the project files it leaves behind checked.
#include "framework/archive.h"
#include "framework/codepage.h"
#include "framework/disk_file.h"
#include "model/movie_list.h"
#include "program_driver.h"
#include "res/resource.h"
#include "res/version.h"
#include "standin/server.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <ctime>

using namespace tb_test;

namespace {

const std::vector<std::uint8_t> kEmptyProject = {0, 0, 0, 0};
// One movie under key 0: address "ab", title "T", size 74,565, Completed.
const std::vector<std::uint8_t> kOneMovie = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFE, 0xFF, 0x02, 0x61,
    0x00, 0x62, 0x00, 0xFF, 0xFE, 0xFF, 0x01, 0x54, 0x00, 0x45, 0x23, 0x01, 0x00,
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFE, 0xFF, 0x00};

constexpr wchar_t kAppTitle[] = L"Torvane Brenlow";

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// Closes the main window as its close box does.
void CloseMain(HWND main) {
    PostMessageW(main, WM_CLOSE, 0, 0);
}

TEST(Program, FirstStartIsUntitledAndCloseWritesTheEmptyDefaultProject) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(Contains(ProgramDriver::TextOf(main), L"Untitled"));
    EXPECT_FALSE(Exists(program.DefaultProject()));
    CloseMain(main);
    ASSERT_EQ(program.WaitExit(), 0);
    EXPECT_EQ(ReadBytes(program.DefaultProject()), kEmptyProject);

    // The next start opens it.
    ASSERT_TRUE(program.Start());
    main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(Contains(ProgramDriver::TextOf(main), L"Default.torvane"));
    CloseMain(main);
    EXPECT_EQ(program.WaitExit(), 0);
}

TEST(Program, EveryWayOfClosingSavesTheProjectOnce) {
    struct Way {
        const char* name;
        UINT msg;
        WPARAM wParam;
    };
    const Way ways[] = {
        {"close box", WM_CLOSE, 0},
        {"Exit (close the document)", WM_COMMAND, ID_FILE_CLOSE},
        {"Exit (the application)", WM_COMMAND, ID_APP_EXIT},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        ProgramDriver program;
        ASSERT_TRUE(program.Start());
        HWND main = program.WaitMainWindow();
        ASSERT_NE(main, nullptr);
        PostMessageW(main, way.msg, way.wParam, 0);
        ASSERT_EQ(program.WaitExit(), 0);
        EXPECT_EQ(ReadBytes(program.DefaultProject()), kEmptyProject);
    }
}

TEST(Program, FileOnTheCommandLineWinsAndIsWrittenBackLeavingTheDefaultAlone) {
    ProgramDriver program;
    WriteBytes(program.DefaultProject(), kEmptyProject);
    const std::wstring other = program.PathIn(L"Other.torvane");
    WriteBytes(other, kOneMovie);
    // Appended bytes are not part of the project: the save at close drops them,
    // which shows that the file was written back.
    auto padded = kOneMovie;
    padded.push_back(0x55);
    WriteBytes(other, padded);

    ASSERT_TRUE(program.Start(L"\"" + other + L"\""));
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(Contains(ProgramDriver::TextOf(main), L"Other.torvane"));
    CloseMain(main);
    ASSERT_EQ(program.WaitExit(), 0);
    EXPECT_EQ(ReadBytes(other), kOneMovie);
    EXPECT_EQ(ReadBytes(program.DefaultProject()), kEmptyProject);
}

TEST(Program, OwnFileDeletedWhileRunningAsksAtCloseAndCancelSavesNothing) {
    ProgramDriver program;
    const std::wstring own = program.PathIn(L"Mine.torvane");
    WriteBytes(own, kOneMovie);
    ASSERT_TRUE(program.Start(L"\"" + own + L"\""));
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(DeleteFileW(own.c_str()));

    CloseMain(main);
    HWND saveAs = program.WaitWindowTitled(L"Save As");
    ASSERT_NE(saveAs, nullptr);
    PostMessageW(saveAs, WM_COMMAND, IDCANCEL, 0);
    ASSERT_EQ(program.WaitExit(), 0);
    EXPECT_FALSE(Exists(own));
    EXPECT_FALSE(Exists(program.DefaultProject()));
}

TEST(Program, EveryUnreadableDefaultProjectIsKeptAndTheUserToldWhere) {
    ProgramDriver program;
    const std::wstring folder = program.PathIn(L"");
    // Promises 5 movies, then a second file that promises 9: each start fails,
    // each copy is kept under a name of its own.
    const std::vector<std::uint8_t> broken[] = {{0x05, 0x00, 0x00, 0x00, 0x01},
                                                {0x09, 0x00, 0x00, 0x00}};
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE(n);
        WriteBytes(program.DefaultProject(), broken[n - 1]);
        ASSERT_TRUE(program.Start());
        HWND box = program.WaitWindowTitled(kAppTitle);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ProgramDriver::MessageBoxText(box), L"Unexpected file format.");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));

        const std::wstring kept =
            folder + L"Default (unreadable " + std::to_wstring(n) + L").torvane";
        HWND notice = program.WaitWindowTitled(kAppTitle);
        ASSERT_NE(notice, nullptr);
        EXPECT_TRUE(Contains(ProgramDriver::MessageBoxText(notice), L"\n" + kept + L"\n"))
            << ProgramDriver::MessageBoxText(notice);
        PostMessageW(notice, WM_COMMAND, IDOK, 0);
        EXPECT_NE(program.WaitExit(), -1);
        EXPECT_FALSE(Exists(program.DefaultProject()));
        for (int m = 1; m <= n; ++m)
            EXPECT_EQ(
                ReadBytes(folder + L"Default (unreadable " + std::to_wstring(m) + L").torvane"),
                broken[m - 1]);
    }

    ASSERT_TRUE(program.Start());
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(Contains(ProgramDriver::TextOf(main), L"Untitled"));
    CloseMain(main);
    EXPECT_EQ(program.WaitExit(), 0);
}

TEST(Program, UnreadableFileOnTheCommandLineCostsNotTheDefaultProject) {
    ProgramDriver program;
    WriteBytes(program.DefaultProject(), kOneMovie);
    const std::wstring bad = program.PathIn(L"Bad.torvane");
    WriteBytes(bad, {0x01, 0x00});
    ASSERT_TRUE(program.Start(L"\"" + bad + L"\""));
    HWND box = program.WaitWindowTitled(kAppTitle);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ProgramDriver::MessageBoxText(box), L"Unexpected file format.");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(program.WaitExit(), -1);
    EXPECT_EQ(ReadBytes(program.DefaultProject()), kOneMovie);
    EXPECT_EQ(ReadBytes(bad), (std::vector<std::uint8_t>{0x01, 0x00}));
}

TEST(Program, KeysActInTheMainWindowAndInsideAMessageBox) {
    ProgramDriver program;
    const std::wstring other = program.PathIn(L"Other.torvane");
    auto padded = kOneMovie;
    padded.push_back(0x55);
    WriteBytes(other, padded);
    ASSERT_TRUE(program.Start(L"\"" + other + L"\""));
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);

    // Ctrl+S writes the project to its own file (the stray byte goes).
    ProgramDriver::PostKey(main, 'S', false, true);
    EXPECT_TRUE(WaitFor([&] { return ReadBytes(other) == kOneMovie; }));
    ProgramDriver::ReleaseModifiers();

    // An address that cannot be read ends the command in an error box; Ctrl+N
    // typed into that box still starts a new project.
    ProgramDriver::PostKey(main, VK_INSERT);
    HWND add = program.WaitWindowTitled(L"Dialog");
    ASSERT_NE(add, nullptr);
    // Port 1 on the loopback host refuses the connection at once.
    SetDlgItemTextW(add, 1007, L"http://127.0.0.1:1/watch?v=refused");
    PostMessageW(add, WM_COMMAND, IDOK, 0);
    HWND box = program.WaitWindowTitled(kAppTitle);
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box, main);
    ProgramDriver::PostKey(GetDlgItem(box, IDOK) ? GetDlgItem(box, IDOK) : box, 'N', false, true);
    EXPECT_TRUE(WaitFor([&] { return Contains(ProgramDriver::TextOf(main), L"Untitled"); }));
    ProgramDriver::ReleaseModifiers();
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));

    struct Case {
        UINT vk;
        bool shift, control;
        const wchar_t* dialog;
        const wchar_t* promptStart; // static 1008 of the address dialog, if any
    };
    const Case cases[] = {
        {VK_INSERT, false, false, L"Dialog", L"Input an URL of Youtube Video link."},
        {VK_INSERT, true, false, L"Dialog", L"Input the URL contains links"},
        {'O', false, true, L"Open", nullptr},
        {'S', false, true, L"Save As", nullptr}, // the new project has no file yet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        ProgramDriver::PostKey(main, c.vk, c.shift, c.control);
        HWND dialog = program.WaitWindowTitled(c.dialog);
        ProgramDriver::ReleaseModifiers();
        ASSERT_NE(dialog, nullptr);
        if (c.promptStart) {
            EXPECT_EQ(ProgramDriver::TextOf(GetDlgItem(dialog, IDC_PROMPT)).rfind(c.promptStart, 0),
                      0u);
        }
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    }

    // F6 and Shift+F6 have no effect: no window appears, the program goes on.
    ProgramDriver::PostKey(main, VK_F6);
    ProgramDriver::PostKey(main, VK_F6, true);
    ProgramDriver::ReleaseModifiers();
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(program.FindWindowTitled(L"Dialog"), nullptr);

    CloseMain(main);
    EXPECT_EQ(program.WaitExit(), 0);
    // The new project went to the default project; the other file kept its movie.
    EXPECT_EQ(ReadBytes(program.DefaultProject()), kEmptyProject);
    EXPECT_EQ(ReadBytes(other), kOneMovie);
}

TEST(Program, AboutBoxShowsVersionAndCopyrightYears) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_COMMAND, ID_APP_ABOUT, 0);
    HWND about = program.WaitWindowTitled(L"About Torvane Brenlow");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ProgramDriver::TextOf(GetDlgItem(about, IDC_VERSION)),
              L"Version: " + std::to_wstring(TB_VERSION_MAJOR) + L"." +
                  std::to_wstring(TB_VERSION_MINOR));
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    EXPECT_EQ(ProgramDriver::TextOf(GetDlgItem(about, IDC_COPYRIGHT)),
              L"Copyright (C) 2009-" + std::to_wstring(local.tm_year + 1900) +
                  L" Velmora Software");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));
    CloseMain(main);
    EXPECT_EQ(program.WaitExit(), 0);
}

TEST(Program, MainWindowPlacementIsRestoredAtTheNextStart) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    SetWindowPos(main, nullptr, 123, 77, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT placed{};
    ASSERT_TRUE(WaitFor([&] {
        GetWindowRect(main, &placed);
        return placed.left == 123 && placed.right - placed.left == 640;
    }));
    CloseMain(main);
    ASSERT_EQ(program.WaitExit(), 0);

    ASSERT_TRUE(program.Start());
    main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    RECT restored{};
    GetWindowRect(main, &restored);
    EXPECT_EQ(restored.left, placed.left);
    EXPECT_EQ(restored.top, placed.top);
    EXPECT_EQ(restored.right, placed.right);
    EXPECT_EQ(restored.bottom, placed.bottom);
    CloseMain(main);
    EXPECT_EQ(program.WaitExit(), 0);
}

std::wstring RegText(const std::wstring& key, const wchar_t* value = nullptr) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

TEST(Program, RegistersTheProjectFileTypeForTheCurrentUser) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    const std::wstring classes = L"Software\\Classes\\";
    EXPECT_EQ(RegText(classes + L".torvane"), L"Velmora.Document");
    EXPECT_EQ(RegText(classes + L".torvane\\ShellNew", L"NullFile"), L"");
    EXPECT_EQ(RegText(classes + L"Velmora.Document"), L"Torvane Brenlow.Document");
    std::wstring open = RegText(classes + L"Velmora.Document\\shell\\open\\command");
    EXPECT_TRUE(open.size() > 5 && open.compare(open.size() - 5, 5, L" \"%1\"") == 0) << open;
    std::wstring print = RegText(classes + L"Velmora.Document\\shell\\print\\command");
    EXPECT_TRUE(Contains(print, L" /p \"%1\"")) << print;
    std::wstring printTo = RegText(classes + L"Velmora.Document\\shell\\printto\\command");
    EXPECT_TRUE(Contains(printTo, L" /pt \"%1\" \"%2\" \"%3\" \"%4\"")) << printTo;
    EXPECT_TRUE(Contains(RegText(classes + L"Velmora.Document\\DefaultIcon"), L",0"));
    CloseMain(main);
    EXPECT_EQ(program.WaitExit(), 0);
}

// The open command the shell finds for an extension, as registered.
std::wstring ShellOpenCommand(const wchar_t* extension) {
    wchar_t command[2048] = {};
    DWORD size = 2048;
    if (AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, extension, L"open", command,
                          &size) != S_OK)
        return L"<none>";
    return command;
}

std::wstring ShortPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : path;
}

TEST(Program, TheShellOpensAProjectWithTheProgramWhereverItWasStartedLast) {
    // Two copies in two folders, as after moving or reinstalling the program:
    // the one started last is the one the shell runs.
    ProgramDriver first, program;
    for (ProgramDriver* copy : {&first, &program}) {
        ASSERT_TRUE(copy->Start());
        HWND main = copy->WaitMainWindow();
        ASSERT_NE(main, nullptr);
        CloseMain(main);
        ASSERT_EQ(copy->WaitExit(), 0);
        EXPECT_EQ(_wcsicmp(ShellOpenCommand(L".torvane").c_str(),
                           (ShortPath(copy->PathIn(L"TorvaneBrenlow.exe")) + L" \"%1\"").c_str()),
                  0)
            << ShellOpenCommand(L".torvane");
    }

    const std::wstring project = program.PathIn(L"Opened By The Shell.torvane");
    WriteBytes(project, kOneMovie);
    ASSERT_TRUE(program.RunShellVerb(project));
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(Contains(ProgramDriver::TextOf(main), L"Opened By The Shell.torvane"))
        << ProgramDriver::TextOf(main);
    CloseMain(main);
    EXPECT_EQ(program.WaitExit(), 0);
    EXPECT_EQ(ReadBytes(project), kOneMovie);
}

TEST(Program, PrintingWithoutAPrinterSaysSoAndEnds) {
    struct Way {
        const char* name;
        std::wstring args;  // on the command line; empty: the shell's print verb
        std::wstring named; // the printer the message names, if any
    };
    const Way ways[] = {
        {"/p", L"/p", L""},
        {"/pt with a printer that is not there", L"/pt", L"No Such Printer"},
        {"the shell's print verb", L"", L""},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        ProgramDriver program;
        const std::wstring project = program.PathIn(L"List.torvane");
        WriteBytes(project, kOneMovie);
        if (way.args.empty()) {
            // Registers the verbs, then the shell runs the print command.
            ASSERT_TRUE(program.Start());
            HWND main = program.WaitMainWindow();
            ASSERT_NE(main, nullptr);
            CloseMain(main);
            ASSERT_EQ(program.WaitExit(), 0);
            ASSERT_TRUE(program.RunShellVerb(project, L"print"));
        } else {
            std::wstring args = way.args + L" \"" + project + L"\"";
            if (!way.named.empty())
                args += L" \"" + way.named + L"\" winspool Port1";
            ASSERT_TRUE(program.Start(args));
        }
        HWND box = program.WaitWindowTitled(kAppTitle);
        ASSERT_NE(box, nullptr);
        std::wstring text = ProgramDriver::MessageBoxText(box);
        EXPECT_TRUE(Contains(text, L"\"List.torvane\" cannot be printed")) << text;
        if (way.named.empty())
            EXPECT_TRUE(Contains(text, L"no printer is installed")) << text;
        else
            EXPECT_TRUE(Contains(text, L"\"" + way.named + L"\" is not available")) << text;
        // No main window: printing was all that was asked for.
        EXPECT_EQ(program.FindWindowTitled(L""), nullptr);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(program.WaitExit(), 1);
        EXPECT_EQ(ReadBytes(project), kOneMovie); // nothing written back
    }
}

} // namespace

TEST(Program, AddReadsTheWatchPageOfTheStandinSite) {
    standin::Server site;
    const standin::Movie& movie = standin::Catalogue()[1]; // a title with non-ASCII letters
    const std::wstring root = site.WideRoot();
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\TorvanePelgrane", L"SiteRoot", REG_SZ,
                              root.c_str(),
                              static_cast<DWORD>((root.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    struct RootReset {
        ~RootReset() {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\TorvanePelgrane", L"SiteRoot");
        }
    } reset;

    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ProgramDriver::PostKey(main, VK_INSERT);
    HWND add = program.WaitWindowTitled(L"Dialog");
    ASSERT_NE(add, nullptr);
    const std::wstring watch = root + L"watch?v=" + std::wstring(movie.id.begin(), movie.id.end());
    SetDlgItemTextW(add, 1007, watch.c_str());
    PostMessageW(add, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(site.WaitForRequests(1, std::chrono::seconds(20)));
    EXPECT_EQ(site.Requests().front().Header("User-Agent"), "Brenlow");
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(add); }));
    CloseMain(main);
    ASSERT_EQ(program.WaitExit(), 0);

    // The project written at close holds the movie as the page gave it: the
    // UTF-8 title one character per byte, the video address on the site root.
    CYoutubeFileList saved;
    LoadFromFile(program.DefaultProject(), [&](CArchive& ar) { saved.Serialize(ar); });
    ASSERT_EQ(saved.GetCount(), 1u);
    MoviePtr added;
    ASSERT_TRUE(saved.Lookup(0, added));
    std::wstring title;
    AppendAnsiAsWide(title, movie.title.data(), movie.title.size());
    EXPECT_EQ(added->m_strUrl, watch);
    EXPECT_EQ(added->m_strTitle, title);
    const std::string target = standin::VideoTarget(movie);
    EXPECT_EQ(added->m_strVideoUrl, root + std::wstring(target.begin(), target.end()));
    EXPECT_EQ(added->m_nStatus, Ready);
}
