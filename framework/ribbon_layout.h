#pragma once
// Geometry of the ribbon bar, computed from measured text widths and the
// window's DPI alone, so every size and position is known (and testable)
// without a window. The bar, top to bottom: the caption row (application
// button at the left, the title centred, the window's minimise, maximise and
// close buttons at the right), the row of category tabs, and the panels of the
// active category. When the width does not hold every panel, panels collapse
// from the right, each into one button that drops its content down.
// Portable: no Win32 types here.
#include <string>
#include <vector>

struct CRibbonRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const CRibbonRect&) const = default;
};

// Every size of the bar and its status bar at one DPI: the 96-DPI design size
// scaled and rounded.
struct CRibbonMetrics {
    int dpi = 96;
    int captionHeight = 0;   // title row
    int tabHeight = 0;       // category tabs
    int panelAreaHeight = 0; // panels with their margins
    int panelMargin = 0;     // around and between panels
    int panelCaptionHeight = 0;
    int panelPadding = 0;  // inside a panel, left and right
    int largeImage = 0;    // large button picture
    int smallImage = 0;    // menu and status pictures, panel icons
    int buttonPadding = 0; // inside a large button, left and right
    int buttonMinWidth = 0;
    int tabPadding = 0; // left and right of a tab's text
    int tabGap = 0;
    int appButton = 0; // the round application button (square side)
    int captionButtonWidth = 0;
    int menuItemHeight = 0;   // application menu rows
    int menuWidth = 0;        // application menu item column
    int menuBottomHeight = 0; // its bottom strip with the exit button
    int statusHeight = 0;
    int statusPadding = 0;
    int fontHeight = 0; // pixel height of the bar's text (em height)
    int keyTipHeight = 0;

    static CRibbonMetrics ForDpi(int dpi);
    int Scale(int designPixels) const;
    int RibbonHeight() const { return captionHeight + tabHeight + panelAreaHeight; }
};

// What the layout needs to know of the content: the widths of texts measured in
// the bar's font at the same DPI.
struct CRibbonLayoutPanel {
    int captionWidth = 0;
    std::vector<int> buttonLabelWidths;
};
struct CRibbonLayoutInput {
    int width = 0;
    int dpi = 96;
    int appButtonSize = 45; // at 96 DPI, as the application gave it
    int titleWidth = 0;
    std::vector<int> tabWidths;             // category names
    std::vector<CRibbonLayoutPanel> panels; // of the active category
    bool captionButtons = true;             // the bar draws minimise/maximise/close
};

struct CRibbonPanelLayout {
    CRibbonRect rect;    // whole panel, caption included
    CRibbonRect caption; // name strip at the bottom
    bool collapsed = false;
    CRibbonRect collapsedButton;      // when collapsed: the one button
    std::vector<CRibbonRect> buttons; // when expanded: each button
    int fullWidth = 0;                // width when expanded
};

struct CRibbonLayout {
    CRibbonMetrics metrics;
    int height = 0;
    CRibbonRect caption; // the whole title row
    CRibbonRect title;   // where the title text is centred
    CRibbonRect appButton;
    CRibbonRect minimizeButton, maximizeButton, closeButton;
    std::vector<CRibbonRect> tabs;
    CRibbonRect panelArea;
    std::vector<CRibbonPanelLayout> panels;
};

CRibbonLayout LayoutRibbon(const CRibbonLayoutInput& input);

// Width of a large button with a label of `labelWidth` pixels.
int LargeButtonWidth(const CRibbonMetrics& m, int labelWidth);

// Key tips: one distinct letter or digit per label, taken from the label's
// mnemonic (the letter after '&') when it has one, else its first free letter,
// else the first free letter or digit. `taken` holds tips already in use at the
// same level. Returns upper-case tips in the order of `labels`.
std::vector<std::wstring> AssignKeyTips(const std::vector<std::wstring>& labels,
                                        std::vector<std::wstring> taken = {});

// A label as shown: the '&' that marks a mnemonic removed ("&&" stays one '&').
std::wstring StripMnemonic(const std::wstring& label);
