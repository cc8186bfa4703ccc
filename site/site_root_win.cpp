#include "framework/registry.h"
#include "site/internet_opener.h"
#include "site/watch_page_reader.h"

std::wstring ConfiguredSiteRoot() {
    return SiteRootFromKey(L"Software\\TorvanePelgrane");
}

std::wstring SiteRootFromKey(const std::wstring& subKey) {
    CRegKey key;
    std::wstring value;
    if (!key.Open(subKey) || !key.QueryString(L"SiteRoot", value) || value.empty())
        return kDefaultSiteRoot;
    // Addresses are built by appending to the root, which ends in a slash.
    if (value.back() != L'/')
        value += L'/';
    return value;
}
