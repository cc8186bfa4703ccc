#include "ui/dlg_add.h"

#include "res/resource.h"

CDlgAdd::CDlgAdd(std::wstring siteRoot, CWnd* pParent)
    : CDialog(IDD_DLG_ADD, pParent), m_strSiteRoot(std::move(siteRoot)) {}

std::wstring CDlgAdd::PromptFor(bool bBatch, const std::wstring& siteRoot) {
    if (bBatch)
        return L"Input the URL contains links of Youtube Video. All videos in this page will be "
               L"added to task.\nFor example:\n\n" +
               siteRoot;
    return L"Input an URL of Youtube Video link.\nFor example:\n\n" + siteRoot +
           L"watch?v=Xk3bT9qLm2A";
}

void CDlgAdd::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_ADDRESS, m_strAddress);
    DDX_Text(pDX, IDC_PROMPT, m_strPrompt);
}

bool CDlgAdd::OnInitDialog() {
    m_strPrompt = PromptFor(m_bBatch != 0, m_strSiteRoot);
    // The base moves the texts into the controls and answers true, so the
    // focus goes to the first tab stop: the OK button, and Enter at once
    // confirms an empty address.
    return CDialog::OnInitDialog();
}
