#pragma once
// The About box: the program's version, the copyright line and a link to the
// maker's web site.
#include "framework/dialog.h"
#include "ui/link_ctrl.h"

#include <ctime>
#include <functional>
#include <string>

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* pParent = nullptr);

    std::wstring m_strVersion;
    std::wstring m_strCopyright;
    CLinkCtrl m_linkHomepage;
    // The current time the copyright years are taken from (tests set a date).
    std::function<std::time_t()> m_now = [] { return std::time(nullptr); };

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
};

// The running program file's version as "major.minor"; empty on any failure.
std::wstring GetFileVersionText();
// The copyright line for the local year `year` (0 or less: unknown): the year
// 2009 alone up to 2009, "2009-<year>" after it.
std::wstring CopyrightLine(int year);
