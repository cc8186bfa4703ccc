#pragma once
// Visual styles for the application-drawn controls. The theme library is
// loaded once for the process and each theme function is looked up by name the
// first time it is used; a missing library or function gets a substitute that
// fails, so callers fall back to classic drawing. Whether styled drawing is
// used at all is decided once and kept.
#include <windows.h>

#include <uxtheme.h>

#include <string>

// The theme functions the controls call, as one table so a test can put its
// own in place of the library's.
struct ThemeFunctions {
    HTHEME(WINAPI* OpenThemeData)(HWND, LPCWSTR);
    HRESULT(WINAPI* CloseThemeData)(HTHEME);
    HRESULT(WINAPI* DrawThemeBackground)(HTHEME, HDC, int, int, LPCRECT, LPCRECT);
    HRESULT(WINAPI* GetThemeColor)(HTHEME, int, int, int, COLORREF*);
    BOOL(WINAPI* IsAppThemed)();
    HRESULT(WINAPI* GetCurrentThemeName)(LPWSTR, int, LPWSTR, int, LPWSTR, int);
};

class CVisualStyles {
public:
    // The table in use: the library's functions (or failing substitutes).
    static const ThemeFunctions& Api();
    // True when controls draw with visual styles: common controls report
    // version 6.0 exactly, the theme's colour scheme is one the styled faces
    // were made for, and the application is themed. Computed on first call.
    static bool UseStyles();
    // The rule behind UseStyles, from its inputs.
    static bool StyledFor(DWORD dwComCtlMajor, DWORD dwComCtlMinor, const std::wstring& colorName,
                          bool bAppThemed);

    // Tests: `api` replaces the table (null restores the library's) and
    // `styled` replaces the kept decision (-1 decides again from the table).
    static void OverrideForTesting(const ThemeFunctions* api, int styled);
};

// An open theme handle, closed when the owner goes. Empty when styles are off
// or the class has no theme data.
class CThemeData {
public:
    CThemeData(HWND hWnd, const wchar_t* pszClass);
    ~CThemeData();
    CThemeData(const CThemeData&) = delete;
    CThemeData& operator=(const CThemeData&) = delete;
    HTHEME Get() const { return m_hTheme; }
    explicit operator bool() const { return m_hTheme != nullptr; }

private:
    HTHEME m_hTheme = nullptr;
};
