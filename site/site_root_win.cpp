#include "site/internet_opener.h"
#include "site/watch_page_reader.h"

#include <windows.h>

#include <utility>

namespace {
// Owns an open registry key.
class COwnedKey {
public:
    ~COwnedKey() {
        if (m_h)
            RegCloseKey(m_h);
    }
    HKEY* Receive() { return &m_h; }
    HKEY Get() const { return m_h; }

private:
    HKEY m_h = nullptr;
};
} // namespace

std::wstring ConfiguredSiteRoot() {
    return SiteRootFromKey(HKEY_CURRENT_USER, L"Software\\TorvanePelgrane");
}

std::wstring SiteRootFromKey(HKEY parent, const wchar_t* subKey) {
    COwnedKey key;
    if (RegOpenKeyExW(parent, subKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return kDefaultSiteRoot;
    // The size is asked first; a value that changes in between is read again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD bytes = 0;
        if (RegGetValueW(key.Get(), nullptr, L"SiteRoot", RRF_RT_REG_SZ, nullptr, nullptr,
                         &bytes) != ERROR_SUCCESS ||
            bytes > 64 * 1024)
            return kDefaultSiteRoot;
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(key.Get(), nullptr, L"SiteRoot", RRF_RT_REG_SZ, nullptr,
                                            value.data(), &bytes);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return kDefaultSiteRoot;
        value.resize(wcsnlen(value.c_str(), value.size()));
        if (value.empty())
            return kDefaultSiteRoot;
        // Addresses are built by appending to the root, which ends in a slash.
        if (value.back() != L'/')
            value += L'/';
        return value;
    }
    return kDefaultSiteRoot;
}
