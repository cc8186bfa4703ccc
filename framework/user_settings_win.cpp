#include "framework/user_settings.h"

#include "framework/registry.h"

#include <windows.h>

namespace {

constexpr std::size_t kStringLimit = 64 * 1024;

// Reads a value of one type; any other type counts as missing.
bool QueryTyped(const std::wstring& keyPath, const std::wstring& name, unsigned long wantType,
                std::vector<unsigned char>& bytes, std::size_t maxBytes) {
    CRegKey key;
    unsigned long type = 0;
    return key.Open(keyPath) && key.QueryValue(name, type, bytes, maxBytes) && type == wantType;
}

} // namespace

bool WriteUserString(const std::wstring& keyPath, const std::wstring& name,
                     const std::wstring& value) {
    CRegKey key;
    return key.Create(keyPath) && key.SetString(name, value);
}

bool ReadUserString(const std::wstring& keyPath, const std::wstring& name, std::wstring& value) {
    std::vector<unsigned char> bytes;
    if (!QueryTyped(keyPath, name, REG_SZ, bytes, kStringLimit))
        return false;
    value = TextFromRegistryBytes(bytes);
    return true;
}

bool ReadUserTextAnyType(const std::wstring& keyPath, const std::wstring& name, std::wstring& value,
                         std::size_t maxBytes) {
    CRegKey key;
    return key.Create(keyPath) && key.QueryString(name, value, maxBytes);
}

UserWriteResult WriteUserExpandString(const std::wstring& keyPath, const std::wstring& name,
                                      const std::wstring& value) {
    CRegKey key;
    if (!key.Create(keyPath))
        return UserWriteResult::KeyNotOpened;
    return key.SetExpandString(name, value) ? UserWriteResult::Written
                                            : UserWriteResult::ValueNotWritten;
}

bool WriteUserBinary(const std::wstring& keyPath, const std::wstring& name,
                     const std::vector<unsigned char>& bytes) {
    CRegKey key;
    return key.Create(keyPath) && key.SetValue(name, REG_BINARY, bytes.data(), bytes.size());
}

bool ReadUserBinary(const std::wstring& keyPath, const std::wstring& name,
                    std::vector<unsigned char>& bytes, std::size_t maxBytes) {
    return QueryTyped(keyPath, name, REG_BINARY, bytes, maxBytes);
}
