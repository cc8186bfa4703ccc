#include "framework/internet.h"

#include <string>

std::wstring InternetErrorText(DWORD code) {
    // WinInet's codes live in its own message table; other codes (a socket
    // error passed through) come from the system's.
    wchar_t* text = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    DWORD n = 0;
    if (HMODULE wininet = GetModuleHandleW(L"wininet.dll"))
        n = FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, wininet, code, 0,
                           reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0)
        n = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result;
    if (n != 0 && text)
        result.assign(text, n);
    if (text)
        LocalFree(text);
    while (!result.empty() &&
           (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    if (result.empty())
        result = L"Internet error " + std::to_wstring(code) + L".";
    return result;
}

void ThrowInternetException(DWORD code) {
    throw CInternetException(code, InternetErrorText(code));
}

std::uint32_t CInternetFile::Read(void* buffer, std::uint32_t count) {
    DWORD read = 0;
    if (!InternetReadFile(m_handle.Get(), buffer, count, &read))
        ThrowInternetException(GetLastError());
    return read;
}

CInternetSession::CInternetSession(const wchar_t* agent, DWORD_PTR context, DWORD accessType,
                                   DWORD flags)
    : m_handle(InternetOpenW(agent, accessType, nullptr, nullptr, flags)) {
    if (!m_handle)
        ThrowInternetException(GetLastError());
    (void)context;
}

std::unique_ptr<CInternetFile> CInternetSession::OpenURL(const std::wstring& url, DWORD_PTR context,
                                                         DWORD flags) {
    CInternetHandle file(InternetOpenUrlW(m_handle.Get(), url.c_str(), nullptr, 0, flags, context));
    if (!file)
        ThrowInternetException(GetLastError());
    DWORD type = 0;
    DWORD size = sizeof type;
    if (!InternetQueryOptionW(file.Get(), INTERNET_OPTION_HANDLE_TYPE, &type, &size) ||
        type != INTERNET_HANDLE_TYPE_HTTP_REQUEST)
        return nullptr;
    return std::make_unique<CInternetFile>(std::move(file));
}
