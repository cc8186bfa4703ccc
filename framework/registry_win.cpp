#include "framework/registry.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

HKEY AsKey(void* h) {
    return static_cast<HKEY>(h);
}

HKEY RootKey(CRegKey::Root root) {
    return root == CRegKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

} // namespace

std::wstring TextFromRegistryBytes(const std::vector<unsigned char>& bytes) {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    if (auto end = text.find(L'\0'); end != std::wstring::npos)
        text.resize(end);
    return text;
}

CRegKey::~CRegKey() {
    Close();
}

CRegKey::CRegKey(CRegKey&& other) noexcept : m_hKey(other.m_hKey) {
    other.m_hKey = nullptr;
}

CRegKey& CRegKey::operator=(CRegKey&& other) noexcept {
    if (this != &other) {
        Close();
        m_hKey = other.m_hKey;
        other.m_hKey = nullptr;
    }
    return *this;
}

bool CRegKey::Create(const std::wstring& subKey, Root root) {
    Close();
    HKEY key = nullptr;
    if (RegCreateKeyExW(RootKey(root), subKey.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    m_hKey = key;
    return true;
}

bool CRegKey::Open(const std::wstring& subKey, bool write, Root root) {
    Close();
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootKey(root), subKey.c_str(), 0, write ? (KEY_READ | KEY_WRITE) : KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    m_hKey = key;
    return true;
}

void CRegKey::Close() {
    if (m_hKey) {
        RegCloseKey(AsKey(m_hKey));
        m_hKey = nullptr;
    }
}

bool CRegKey::QueryValue(const std::wstring& name, unsigned long& type,
                         std::vector<unsigned char>& data, std::size_t maxBytes) const {
    if (!m_hKey)
        return false;
    DWORD kind = 0, size = 0;
    if (RegQueryValueExW(AsKey(m_hKey), name.c_str(), nullptr, &kind, nullptr, &size) !=
            ERROR_SUCCESS ||
        size > maxBytes)
        return false;
    std::vector<unsigned char> bytes(size);
    // The value may grow between the two calls; a second "more data" answer
    // counts as a failed read rather than a loop.
    if (RegQueryValueExW(AsKey(m_hKey), name.c_str(), nullptr, &kind,
                         bytes.empty() ? nullptr : bytes.data(), &size) != ERROR_SUCCESS ||
        size > bytes.size())
        return false;
    bytes.resize(size);
    type = kind;
    data = std::move(bytes);
    return true;
}

bool CRegKey::QueryString(const std::wstring& name, std::wstring& value,
                          std::size_t maxBytes) const {
    unsigned long type = 0;
    std::vector<unsigned char> bytes;
    if (!QueryValue(name, type, bytes, maxBytes))
        return false;
    value = TextFromRegistryBytes(bytes);
    return true;
}

bool CRegKey::SetValue(const std::wstring& name, unsigned long type, const void* data,
                       std::size_t size) {
    if (!m_hKey || size > 0x7FFFFFFF)
        return false;
    return RegSetValueExW(AsKey(m_hKey), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool CRegKey::SetText(const std::wstring& name, const std::wstring& value, unsigned long type) {
    return SetValue(name, type, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}

bool CRegKey::SetString(const std::wstring& name, const std::wstring& value) {
    return SetText(name, value, REG_SZ);
}

bool CRegKey::SetExpandString(const std::wstring& name, const std::wstring& value) {
    return SetText(name, value, REG_EXPAND_SZ);
}

bool CRegKey::DeleteValue(const std::wstring& name) {
    if (!m_hKey)
        return false;
    LONG rc = RegDeleteValueW(AsKey(m_hKey), name.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}
