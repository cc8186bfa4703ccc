#include "controls/visual_styles.h"

#include <shlwapi.h>

#include <cwchar>

namespace {

// The library stays loaded from program start to exit: theme handles opened
// by any window must never outlive its code.
class CThemeLibrary {
public:
    CThemeLibrary() : m_hModule(LoadLibraryW(L"UxTheme.dll")) {}
    ~CThemeLibrary() {
        if (m_hModule)
            FreeLibrary(m_hModule);
    }
    CThemeLibrary(const CThemeLibrary&) = delete;
    CThemeLibrary& operator=(const CThemeLibrary&) = delete;
    FARPROC Find(const char* name) const {
        return m_hModule ? GetProcAddress(m_hModule, name) : nullptr;
    }

private:
    HMODULE m_hModule;
};
const CThemeLibrary g_library;

// Failing substitutes for functions the library does not have.
HTHEME WINAPI NoOpenThemeData(HWND, LPCWSTR) {
    return nullptr;
}
HRESULT WINAPI NoCloseThemeData(HTHEME) {
    return E_NOTIMPL;
}
HRESULT WINAPI NoDrawThemeBackground(HTHEME, HDC, int, int, LPCRECT, LPCRECT) {
    return E_NOTIMPL;
}
HRESULT WINAPI NoGetThemeColor(HTHEME, int, int, int, COLORREF*) {
    return E_NOTIMPL;
}
BOOL WINAPI NoIsAppThemed() {
    return FALSE;
}
HRESULT WINAPI NoGetCurrentThemeName(LPWSTR, int, LPWSTR, int, LPWSTR, int) {
    return E_NOTIMPL;
}

// Looked up by name on first use; the substitute when it is missing.
template <typename Fn> Fn Resolve(const char* name, Fn substitute) {
    FARPROC found = g_library.Find(name);
    return found ? reinterpret_cast<Fn>(reinterpret_cast<void*>(found)) : substitute;
}

HTHEME WINAPI LazyOpenThemeData(HWND hWnd, LPCWSTR cls) {
    static const auto fn = Resolve("OpenThemeData", &NoOpenThemeData);
    return fn(hWnd, cls);
}
HRESULT WINAPI LazyCloseThemeData(HTHEME h) {
    static const auto fn = Resolve("CloseThemeData", &NoCloseThemeData);
    return fn(h);
}
HRESULT WINAPI LazyDrawThemeBackground(HTHEME h, HDC dc, int part, int state, LPCRECT rc,
                                       LPCRECT clip) {
    static const auto fn = Resolve("DrawThemeBackground", &NoDrawThemeBackground);
    return fn(h, dc, part, state, rc, clip);
}
HRESULT WINAPI LazyGetThemeColor(HTHEME h, int part, int state, int prop, COLORREF* clr) {
    static const auto fn = Resolve("GetThemeColor", &NoGetThemeColor);
    return fn(h, part, state, prop, clr);
}
BOOL WINAPI LazyIsAppThemed() {
    static const auto fn = Resolve("IsAppThemed", &NoIsAppThemed);
    return fn();
}
HRESULT WINAPI LazyGetCurrentThemeName(LPWSTR file, int cchFile, LPWSTR color, int cchColor,
                                       LPWSTR size, int cchSize) {
    static const auto fn = Resolve("GetCurrentThemeName", &NoGetCurrentThemeName);
    return fn(file, cchFile, color, cchColor, size, cchSize);
}

const ThemeFunctions kLibrary{&LazyOpenThemeData, &LazyCloseThemeData, &LazyDrawThemeBackground,
                              &LazyGetThemeColor, &LazyIsAppThemed,    &LazyGetCurrentThemeName};

const ThemeFunctions* g_api = &kLibrary;
int g_styled = -1; // -1 not decided yet

bool ComCtlVersion(DWORD& major, DWORD& minor) {
    HMODULE hComCtl = GetModuleHandleW(L"comctl32.dll");
    if (!hComCtl)
        return false;
    auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(hComCtl, "DllGetVersion")));
    if (!getVersion)
        return false;
    DLLVERSIONINFO info{};
    info.cbSize = sizeof(info);
    if (FAILED(getVersion(&info)))
        return false;
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    return true;
}

} // namespace

const ThemeFunctions& CVisualStyles::Api() {
    return *g_api;
}

bool CVisualStyles::StyledFor(DWORD major, DWORD minor, const std::wstring& colorName,
                              bool bAppThemed) {
    if (major != 6 || minor != 0 || !bAppThemed)
        return false;
    // The faces were drawn for these schemes; any other scheme may clash.
    for (const wchar_t* scheme : {L"normalcolor", L"homestead", L"metallic"})
        if (_wcsicmp(colorName.c_str(), scheme) == 0)
            return true;
    return false;
}

bool CVisualStyles::UseStyles() {
    if (g_styled < 0) {
        DWORD major = 0, minor = 0;
        wchar_t file[MAX_PATH] = {}, color[MAX_PATH] = {};
        bool styled = false;
        if (ComCtlVersion(major, minor) &&
            SUCCEEDED(g_api->GetCurrentThemeName(file, MAX_PATH, color, MAX_PATH, nullptr, 0)))
            styled = StyledFor(major, minor, color, g_api->IsAppThemed() != FALSE);
        g_styled = styled ? 1 : 0;
    }
    return g_styled == 1;
}

void CVisualStyles::OverrideForTesting(const ThemeFunctions* api, int styled) {
    g_api = api ? api : &kLibrary;
    g_styled = styled;
}

CThemeData::CThemeData(HWND hWnd, const wchar_t* pszClass) {
    if (CVisualStyles::UseStyles())
        m_hTheme = CVisualStyles::Api().OpenThemeData(hWnd, pszClass);
}

CThemeData::~CThemeData() {
    if (m_hTheme)
        CVisualStyles::Api().CloseThemeData(m_hTheme);
}
