#pragma once
// The program's command line as the shell uses it: an optional file to open,
// optionally preceded by /p (print) or /pt (print to printer, driver, port).
// Portable.
#include <string>
#include <vector>

class CCommandLineInfo {
public:
    enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileNothing };
    virtual ~CCommandLineInfo() = default;
    // One argument at a time; `bFlag` when it began with '/' or '-' (which is
    // then stripped), `bLast` for the last one.
    virtual void ParseParam(const std::wstring& param, bool bFlag, bool bLast);

    ShellCommand m_nShellCommand = FileNew;
    std::wstring m_strFileName;
    std::wstring m_strPrinterName, m_strDriverName, m_strPortName;
    bool m_bRunEmbedded = false, m_bRunAutomated = false;

private:
    int m_nPrintToArgs = 0; // values still expected after /pt
};

// Feeds `args` (without the program name) to `info`.
void ParseCommandLineArgs(CCommandLineInfo& info, const std::vector<std::wstring>& args);
