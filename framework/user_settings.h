#pragma once
// Small values under HKEY_CURRENT_USER in one call each (a key is opened, used
// and closed): the frame's placement, the shell registration, the output
// folder. Built on CRegKey (registry.h); failures are reported by return value.
#include <string>
#include <vector>

bool WriteUserString(const std::wstring& keyPath, const std::wstring& name,
                     const std::wstring& value);
// False when the value is missing or not a string.
bool ReadUserString(const std::wstring& keyPath, const std::wstring& name, std::wstring& value);
bool WriteUserBinary(const std::wstring& keyPath, const std::wstring& name,
                     const std::vector<unsigned char>& bytes);
// At most `maxBytes` are accepted; a longer value reads as missing.
bool ReadUserBinary(const std::wstring& keyPath, const std::wstring& name,
                    std::vector<unsigned char>& bytes, std::size_t maxBytes);

// The key is opened with create, so even a read leaves the key in place.
// Any value type is accepted; the text ends at its first zero character or at
// the end of the data. False when the key cannot be opened, the value is
// missing or holds more than `maxBytes`.
bool ReadUserTextAnyType(const std::wstring& keyPath, const std::wstring& name, std::wstring& value,
                         std::size_t maxBytes);

enum class UserWriteResult { Written, KeyNotOpened, ValueNotWritten };
// Stores `value` as REG_EXPAND_SZ, terminator included; environment references
// stay as they are (nothing is expanded on read either).
UserWriteResult WriteUserExpandString(const std::wstring& keyPath, const std::wstring& name,
                                      const std::wstring& value);
