#include "ui/about_dlg.h"

#include "res/resource.h"
#include "ui/maker_site.h"

#include <ctime>
#include <cwchar>
#include <vector>

std::wstring GetFileVersionText() {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return {};
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data()))
        return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info ||
        infoSize < sizeof(VS_FIXEDFILEINFO))
        return {};
    wchar_t text[32];
    std::swprintf(text, 32, L"%d.%d", static_cast<int>(HIWORD(info->dwFileVersionMS)),
                  static_cast<int>(LOWORD(info->dwFileVersionMS)));
    return text;
}

std::wstring CopyrightLine(int year) {
    std::wstring years = L"2009";
    if (year > 2009)
        years += L"-" + std::to_wstring(year);
    return L"Copyright (C) " + years + L" Velmora Software";
}

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_VERSION, m_strVersion);
    DDX_Text(pDX, IDC_COPYRIGHT, m_strCopyright);
    DDX_Control(pDX, IDC_HOMEPAGE, m_linkHomepage);
}

bool CAboutDlg::OnInitDialog() {
    m_strVersion = L"Version: " + GetFileVersionText();
    std::time_t now = m_now ? m_now() : std::time(nullptr);
    std::tm local{};
    int year = localtime_s(&local, &now) == 0 ? local.tm_year + 1900 : 0;
    m_strCopyright = CopyrightLine(year);
    // The base binds the link control and moves the texts into the statics.
    bool result = CDialog::OnInitDialog();
    m_linkHomepage.SetURL(kMakerSite);
    m_linkHomepage.SetTooltip(L"Visit Homepage");
    m_linkHomepage.SizeToContent();
    return result;
}
