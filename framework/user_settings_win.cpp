#include "framework/user_settings.h"

#include <windows.h>

namespace {

class Key {
public:
    Key(const std::wstring& path, bool create) {
        LONG rc = create ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                           KEY_READ | KEY_WRITE, nullptr, &m_hKey, nullptr)
                         : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &m_hKey);
        if (rc != ERROR_SUCCESS)
            m_hKey = nullptr;
    }
    ~Key() {
        if (m_hKey)
            RegCloseKey(m_hKey);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

constexpr DWORD kAnyType = 0xFFFFFFFF;

bool Query(const std::wstring& keyPath, const std::wstring& name, DWORD wantType,
           std::vector<unsigned char>& bytes, std::size_t maxBytes, bool create = false) {
    Key key(keyPath, create);
    if (!key.get())
        return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (wantType != kAnyType && type != wantType) || size > maxBytes)
        return false;
    bytes.assign(size, 0);
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, bytes.data(), &size) !=
            ERROR_SUCCESS ||
        (wantType != kAnyType && type != wantType))
        return false;
    bytes.resize(size);
    return true;
}

} // namespace

bool WriteUserString(const std::wstring& keyPath, const std::wstring& name,
                     const std::wstring& value) {
    Key key(keyPath, true);
    return key.get() &&
           RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
}

namespace {

std::wstring TextOf(const std::vector<unsigned char>& bytes) {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    // Stored strings may or may not carry their terminator.
    if (auto end = text.find(L'\0'); end != std::wstring::npos)
        text.resize(end);
    return text;
}

} // namespace

bool ReadUserString(const std::wstring& keyPath, const std::wstring& name, std::wstring& value) {
    std::vector<unsigned char> bytes;
    if (!Query(keyPath, name, REG_SZ, bytes, 64 * 1024))
        return false;
    value = TextOf(bytes);
    return true;
}

bool ReadUserTextAnyType(const std::wstring& keyPath, const std::wstring& name,
                         std::wstring& value, std::size_t maxBytes) {
    std::vector<unsigned char> bytes;
    if (!Query(keyPath, name, kAnyType, bytes, maxBytes, true))
        return false;
    value = TextOf(bytes);
    return true;
}

UserWriteResult WriteUserExpandString(const std::wstring& keyPath, const std::wstring& name,
                                      const std::wstring& value) {
    Key key(keyPath, true);
    if (!key.get())
        return UserWriteResult::KeyNotOpened;
    return RegSetValueExW(key.get(), name.c_str(), 0, REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
                   ERROR_SUCCESS
               ? UserWriteResult::Written
               : UserWriteResult::ValueNotWritten;
}

bool WriteUserBinary(const std::wstring& keyPath, const std::wstring& name,
                     const std::vector<unsigned char>& bytes) {
    Key key(keyPath, true);
    return key.get() && RegSetValueExW(key.get(), name.c_str(), 0, REG_BINARY, bytes.data(),
                                       static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool ReadUserBinary(const std::wstring& keyPath, const std::wstring& name,
                    std::vector<unsigned char>& bytes, std::size_t maxBytes) {
    return Query(keyPath, name, REG_BINARY, bytes, maxBytes);
}
