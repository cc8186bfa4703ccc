#include "framework/command_line.h"

void CCommandLineInfo::ParseParam(const std::wstring& param, bool bFlag, bool /*bLast*/) {
    if (bFlag) {
        std::wstring flag;
        for (wchar_t c : param)
            flag += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        if (flag == L"p") {
            m_nShellCommand = FilePrint;
        } else if (flag == L"pt") {
            m_nShellCommand = FilePrintTo;
            m_nPrintToArgs = 3;
        } else if (flag == L"embedding") {
            m_bRunEmbedded = true;
        } else if (flag == L"automation") {
            m_bRunAutomated = true;
        }
        return;
    }
    if (m_strFileName.empty()) {
        m_strFileName = param;
        if (m_nShellCommand == FileNew)
            m_nShellCommand = FileOpen;
        return;
    }
    // After /pt the file name is followed by printer, driver and port.
    if (m_nPrintToArgs == 3)
        m_strPrinterName = param;
    else if (m_nPrintToArgs == 2)
        m_strDriverName = param;
    else if (m_nPrintToArgs == 1)
        m_strPortName = param;
    if (m_nPrintToArgs > 0)
        --m_nPrintToArgs;
}

void ParseCommandLineArgs(CCommandLineInfo& info, const std::vector<std::wstring>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        bool flag = arg.size() > 1 && (arg[0] == L'/' || arg[0] == L'-');
        info.ParseParam(flag ? arg.substr(1) : arg, flag, i + 1 == args.size());
    }
}
