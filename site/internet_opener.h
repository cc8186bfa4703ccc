#pragma once
// The page opener over the internet layer: each address is opened in an
// internet session of its own (agent "Brenlow"), closed with its stream.
#include "site/page_reader.h"

#include <memory>
#include <string>

class CInternetPageOpener : public IPageOpener {
public:
    std::unique_ptr<IPageStream> Open(const std::wstring& url) override;
};

inline constexpr wchar_t kPageAgent[] = L"Brenlow";

// The video site's web root: the per-user string "SiteRoot" under
// HKEY_CURRENT_USER\Software\TorvanePelgrane when present and not empty,
// otherwise kDefaultSiteRoot. A closing slash is added when the value lacks one.
std::wstring ConfiguredSiteRoot();
// The same rule for the value "SiteRoot" of any key under HKEY_CURRENT_USER
// (tests use a key of their own).
std::wstring SiteRootFromKey(const std::wstring& subKey);
