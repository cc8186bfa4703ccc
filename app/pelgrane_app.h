#pragma once
// The application object: start-up in a fixed order, the accelerator keys inside
// the system's modal loops, the About box.
#include "framework/accel.h"
#include "framework/app.h"
#include "framework/shell.h"

#include <memory>
#include <string>

class CWatchPageReader;
class CPelgraneDoc;

class CPelgraneApp : public CWinApp {
public:
    CPelgraneApp();
    ~CPelgraneApp() override;

    bool InitInstance() override;
    bool ProcessMessageFilter(int code, MSG& msg) override;
    void OnAppAbout();

    // Where the default project lives: the program's folder, "Default.torvane".
    static std::wstring DefaultProjectPath();
    // Moves an unreadable default project out of the way, so the next start
    // begins with a new project instead of failing again, under the first free
    // name "<name> (unreadable N)<extension>" beside it: every such copy is
    // kept. Returns the name it now has, or empty when it could not be moved.
    static std::wstring SetAsideUnreadable(const std::wstring& defaultPath);
    // What the user is told about it, once, right after the load error.
    static std::wstring SetAsideNotice(const std::wstring& keptPath);

    CAccelTable m_hAccel;

private:
    CPelgraneDoc* GetPelgraneDoc() const;
    // The shell's print and print-to commands: the project named in `info` is
    // printed without showing a window. False (after a message) when there is
    // no such printer, the project cannot be read or the printer refused it.
    bool PrintProject(const CCommandLineInfo& info);
    std::unique_ptr<COleInit> m_ole;
    // Shared with page reads that a Cancel left behind, still reading.
    std::shared_ptr<CWatchPageReader> m_reader;
};
