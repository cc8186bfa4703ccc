#pragma once
// A list control in a top-level host window on the test display, the host
// recording what the list tells its parent; helpers for real input and for
// reading back what the window shows.
#include "controls/xlist_ctrl.h"
#include "pump_win.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

using tb::test::Pump;
using tb::test::PumpUntil;

// The parent of the list: a window object, so the list's notifications are
// reflected to it, and a log of what reached the parent, in order.
class CHostWnd : public CWnd {
public:
    struct Event {
        enum Kind { checkboxClicked, itemChanged, columnClick, rightClick } kind;
        int row, column;
        int headerCheck; // the list's header state of the column at that moment
    };
    std::vector<Event> m_events;
    CXListCtrl* m_pList = nullptr;
    int Count(Event::Kind kind) const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

struct ListFixture {
    // The movie list's columns: check box, then four texts.
    struct Column {
        const wchar_t* text;
        int width;
        int format;
    };
    static const std::vector<Column>& MovieColumns();

    static constexpr DWORD kMovieListStyle = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
    ListFixture(int rows = 5, const std::vector<Column>& columns = MovieColumns(),
                DWORD exStyle = kMovieListStyle);
    ~ListFixture();
    ListFixture(const ListFixture&) = delete;
    ListFixture& operator=(const ListFixture&) = delete;

    // Gives the header of column 0 the check-all image from the host.
    void UseHeaderCheck(int state = 1);
    POINT CellCenter(int row, int column) const; // client coordinates
    RECT Cell(int row, int column) const;
    std::vector<int> SelectedRows() const;
    int FocusedRow() const;

    CHostWnd host;
    CXListCtrl list;
};

// Real input through SendInput at a point of a window's client area.
void Click(HWND hWnd, POINT client, bool right = false);
void DoubleClick(HWND hWnd, POINT client);
void PressKey(WORD vk);

// The client area of a window as the display shows it now, one COLORREF per
// pixel (read through a DIB section from the window's own context).
class CCapture {
public:
    explicit CCapture(HWND hWnd);
    COLORREF At(int x, int y) const;
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    // Pixels of `rc` (clipped) that have exactly this colour.
    int Count(const RECT& rc, COLORREF clr) const;

private:
    int m_cx = 0, m_cy = 0;
    std::vector<COLORREF> m_pixels;
};
