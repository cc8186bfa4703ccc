#pragma once
// Small values under HKEY_CURRENT_USER, for the window layer's own needs (the
// frame's placement, the shell registration). Every call is complete in itself:
// a key is opened, used and closed. Failures are reported by return value.
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
