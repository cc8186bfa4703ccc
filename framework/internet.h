#pragma once
// The internet layer over WinInet: a session (one internet handle with its
// agent text), the address opener and reads of the opened file. Every handle
// is owned by an object; failures raise CInternetException with the system's
// own text for the error code.
#include "framework/errors.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

// Owns one HINTERNET.
class CInternetHandle {
public:
    CInternetHandle() = default;
    explicit CInternetHandle(HINTERNET h) : m_h(h) {}
    ~CInternetHandle() { Close(); }
    CInternetHandle(CInternetHandle&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    CInternetHandle& operator=(CInternetHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_h = std::exchange(other.m_h, nullptr);
        }
        return *this;
    }
    HINTERNET Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void Close() {
        if (m_h)
            InternetCloseHandle(std::exchange(m_h, nullptr));
    }

private:
    HINTERNET m_h = nullptr;
};

// The system's description of a WinInet (or system) error code, from
// wininet.dll's message table; "Internet error <code>." when it has none.
std::wstring InternetErrorText(DWORD code);
// Raises CInternetException for `code` with its system text.
[[noreturn]] void ThrowInternetException(DWORD code);

// A body opened by the session: read it to its end, then close it.
class CInternetFile {
public:
    explicit CInternetFile(CInternetHandle handle) : m_handle(std::move(handle)) {}
    // Up to `count` bytes; 0 at the end of the body. Raises on a read error.
    std::uint32_t Read(void* buffer, std::uint32_t count);
    void Close() { m_handle.Close(); }
    HINTERNET Handle() const { return m_handle.Get(); }

private:
    CInternetHandle m_handle;
};

class CInternetSession {
public:
    // Opens the internet handle with the system's own proxy settings; raises
    // CInternetException when that fails.
    explicit CInternetSession(const wchar_t* agent, DWORD_PTR context = 1,
                              DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG, DWORD flags = 0);
    // Opens an http or https address with a GET (redirects followed by the
    // system). Raises CInternetException when the address cannot be opened;
    // returns no object when what was opened is not an HTTP response.
    std::unique_ptr<CInternetFile> OpenURL(const std::wstring& url, DWORD_PTR context = 1,
                                           DWORD flags = INTERNET_FLAG_TRANSFER_ASCII);
    void Close() { m_handle.Close(); }
    HINTERNET Handle() const { return m_handle.Get(); }

private:
    CInternetHandle m_handle;
};
