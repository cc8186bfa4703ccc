#pragma once
// Runs the real program from a private copy in a fresh folder (its program
// folder, so its default project is private to the test) and drives its
// windows from outside, as a user would: windows are found by process and
// title, keys are posted to them, dialogs are answered through their buttons.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tb_test {

// Polls `done` until it holds or `timeout` passes.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = std::chrono::seconds(20));

std::vector<std::uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
bool Exists(const std::wstring& path);

class ProgramDriver {
public:
    ProgramDriver(); // a fresh folder holding a copy of the program
    // The program already in `folder` (ending in a backslash), such as an
    // installed or unpacked copy; that folder is left as it is.
    explicit ProgramDriver(std::wstring folder);
    ~ProgramDriver(); // ends a program still running, removes a folder it made

    const std::wstring& Folder() const { return m_folder; }
    std::wstring PathIn(const std::wstring& name) const { return m_folder + name; }
    std::wstring DefaultProject() const { return PathIn(L"Default.torvane"); }

    // Starts the program with `args`; true when it started.
    bool Start(const std::wstring& args = L"");
    // Asks the shell to carry out `verb` on `file`, as a double-click ("open")
    // or the file's context menu does; true when the shell started a process,
    // which this driver then follows like one it started itself.
    bool RunShellVerb(const std::wstring& file, const wchar_t* verb = L"open");
    // The main window once it is visible, or null after the deadline.
    HWND WaitMainWindow();
    // A visible top-level window of the program with exactly this caption.
    HWND FindWindowTitled(const std::wstring& title) const;
    HWND WaitWindowTitled(const std::wstring& title);
    // Waits for the process to end; its exit code, or -1 on timeout.
    int WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool Running() const;

    // Posts a key press (down and up). With modifiers, they stay held until
    // ReleaseModifiers, since the program reads them when it takes the message.
    static void PostKey(HWND target, UINT vk, bool shift = false, bool control = false);
    static void ReleaseModifiers();
    static std::wstring TextOf(HWND hwnd);
    // The text of a message box's message (its static control 0xFFFF).
    static std::wstring MessageBoxText(HWND box);

private:
    void Forget(); // lets go of the process followed so far
    static inline DWORD s_attachedThread = 0;
    std::wstring m_folder;
    bool m_ownsFolder = true;
    PROCESS_INFORMATION m_pi{};
};

} // namespace tb_test
