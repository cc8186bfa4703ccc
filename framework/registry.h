#pragma once
// One open key under HKEY_CURRENT_USER, closed when the object goes. The
// settings that outlive a session (output folder, site root) are single
// string values under the program's own key; this class is all they need.
// The shell registration may also reach for HKEY_LOCAL_MACHINE (see Root).
//
// Typical use:
//   CRegKey key;
//   if (key.Create(L"Software\\TorvanePelgrane")) {   // opens, creating if missing
//       std::wstring text;
//       if (key.QueryString(L"OutputFolder", text) && !text.empty()) ...
//   }
#include <cstddef>
#include <string>
#include <vector>

// A stored value's bytes as UTF-16 text: up to its first zero character or the
// end of the data (a terminator is optional; an odd trailing byte is dropped).
std::wstring TextFromRegistryBytes(const std::vector<unsigned char>& bytes);

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey();
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    CRegKey(CRegKey&& other) noexcept;
    CRegKey& operator=(CRegKey&& other) noexcept;

    // The hive a key lives in: the user's own, or the machine's (writable only
    // where the user is permitted to change it).
    enum Root { CurrentUser, LocalMachine };

    // Opens `subKey` of the hive (HKEY_CURRENT_USER by default) for reading
    // and writing, creating it (and any missing parents) when absent. False
    // when it cannot be opened.
    bool Create(const std::wstring& subKey, Root root = CurrentUser);
    // Opens an existing key only; `write` asks for write access too.
    bool Open(const std::wstring& subKey, bool write = false, Root root = CurrentUser);
    void Close();
    bool IsOpen() const { return m_hKey != nullptr; }

    // Reads a value whatever its stored type as UTF-16 text: the text ends at
    // its first zero character or at the end of the data (a stored terminator
    // is optional; an odd trailing byte is dropped). False when the value is
    // missing, the key is not open, or the data is larger than `maxBytes`.
    bool QueryString(const std::wstring& name, std::wstring& value,
                     std::size_t maxBytes = 64 * 1024) const;
    // Reads a value's raw bytes and its type (REG_SZ, REG_BINARY, ...). False
    // when it is missing, the key is not open, or it is larger than `maxBytes`.
    bool QueryValue(const std::wstring& name, unsigned long& type, std::vector<unsigned char>& data,
                    std::size_t maxBytes) const;
    // Stores raw bytes with the given type.
    bool SetValue(const std::wstring& name, unsigned long type, const void* data, std::size_t size);
    // Stores `value` as REG_SZ / REG_EXPAND_SZ, terminator included. Nothing is
    // expanded, on write or on read.
    bool SetString(const std::wstring& name, const std::wstring& value);
    bool SetExpandString(const std::wstring& name, const std::wstring& value);
    // True when the value is gone afterwards (also when it never existed).
    bool DeleteValue(const std::wstring& name);

    // The raw HKEY, for calls this class does not wrap. Owned by the object.
    void* Handle() const { return m_hKey; }

private:
    bool SetText(const std::wstring& name, const std::wstring& value, unsigned long type);

    void* m_hKey = nullptr;
};
