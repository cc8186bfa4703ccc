#include "program_driver.h"

#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace tb_test {

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

struct FindState {
    DWORD pid;
    std::wstring title; // empty: any captioned window that is not a dialog
    HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam) {
    auto* state = reinterpret_cast<FindState*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != state->pid || !IsWindowVisible(hwnd))
        return TRUE;
    std::wstring text = ProgramDriver::TextOf(hwnd);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    bool match =
        state->title.empty()
            ? (std::wstring(cls) != L"#32770" && std::wstring(cls) != L"tooltips_class32" &&
               !text.empty() && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)
            : text == state->title;
    if (match) {
        state->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

ProgramDriver::ProgramDriver() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    m_folder = std::wstring(temp) + L"tb_app_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++counter) + L"\\";
    CreateDirectoryW(m_folder.c_str(), nullptr);
    // The program sits beside the test programs' tree: <build>/app.
    std::wstring source = ModuleFolder() + L"..\\..\\app\\TorvaneBrenlow.exe";
    CopyFileW(source.c_str(), PathIn(L"TorvaneBrenlow.exe").c_str(), FALSE);
}

ProgramDriver::ProgramDriver(std::wstring folder)
    : m_folder(std::move(folder)), m_ownsFolder(false) {}

ProgramDriver::~ProgramDriver() {
    if (m_pi.hProcess && Running()) {
        TerminateProcess(m_pi.hProcess, 99);
        WaitForSingleObject(m_pi.hProcess, 10000);
    }
    Forget();
    if (!m_ownsFolder)
        return;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((m_folder + L"*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                SetFileAttributesW(PathIn(fd.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(PathIn(fd.cFileName).c_str());
            }
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(m_folder.c_str());
}

void ProgramDriver::Forget() {
    if (m_pi.hProcess)
        CloseHandle(m_pi.hProcess);
    if (m_pi.hThread)
        CloseHandle(m_pi.hThread);
    m_pi = {};
}

bool ProgramDriver::RunShellVerb(const std::wstring& file, const wchar_t* verb) {
    Forget();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpDirectory = m_folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess)
        return false;
    m_pi.hProcess = info.hProcess;
    m_pi.dwProcessId = GetProcessId(info.hProcess);
    return true;
}

bool ProgramDriver::Start(const std::wstring& args) {
    Forget();
    std::wstring exe = PathIn(L"TorvaneBrenlow.exe");
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          m_folder.c_str(), &si, &m_pi) != FALSE;
}

bool ProgramDriver::Running() const {
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

HWND ProgramDriver::FindWindowTitled(const std::wstring& title) const {
    FindState state{m_pi.dwProcessId, title, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND ProgramDriver::WaitMainWindow() {
    HWND found = nullptr;
    WaitFor([&] {
        found = FindWindowTitled(L"");
        return found != nullptr || !Running();
    });
    return found;
}

HWND ProgramDriver::WaitWindowTitled(const std::wstring& title) {
    HWND found = nullptr;
    WaitFor([&] {
        found = FindWindowTitled(title);
        return found != nullptr || !Running();
    });
    return found;
}

int ProgramDriver::WaitExit(std::chrono::milliseconds timeout) {
    if (!m_pi.hProcess ||
        WaitForSingleObject(m_pi.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return static_cast<int>(code);
}

void ProgramDriver::PostKey(HWND target, UINT vk, bool shift, bool control) {
    // Posted key messages carry no modifier state; the program reads it from its
    // thread's keyboard state, which an attached thread shares and may set.
    if (shift || control) {
        DWORD thread = GetWindowThreadProcessId(target, nullptr);
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        BYTE state[256] = {};
        if (shift)
            state[VK_SHIFT] = 0x80;
        if (control)
            state[VK_CONTROL] = 0x80;
        SetKeyboardState(state);
        s_attachedThread = thread;
    }
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

void ProgramDriver::ReleaseModifiers() {
    if (!s_attachedThread)
        return;
    BYTE state[256] = {};
    SetKeyboardState(state);
    AttachThreadInput(GetCurrentThreadId(), s_attachedThread, FALSE);
    s_attachedThread = 0;
}

std::wstring ProgramDriver::TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    // WM_GETTEXT with a timeout: a hung program must not hang the test.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, &result);
    return text;
}

std::wstring ProgramDriver::MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? TextOf(text) : std::wstring();
}

} // namespace tb_test
