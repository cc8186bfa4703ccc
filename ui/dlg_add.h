#pragma once
// The address dialog of Add and Batch Add: one prompt, one edit box. It checks
// nothing; the caller takes the address as typed.
#include "framework/dialog.h"

#include <cstdint>
#include <string>

class CDlgAdd : public CDialog {
public:
    // `siteRoot`: the video site's web root ("http://host/"), the base of the
    // example address in the prompt.
    explicit CDlgAdd(std::wstring siteRoot, CWnd* pParent = nullptr);

    std::wstring m_strAddress;
    std::int32_t m_bBatch = 0;
    std::wstring m_strPrompt;

    // The prompt for Add (bBatch false) or Batch Add.
    static std::wstring PromptFor(bool bBatch, const std::wstring& siteRoot);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;

private:
    std::wstring m_strSiteRoot;
};
