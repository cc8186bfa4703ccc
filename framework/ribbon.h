#pragma once
// The ribbon bar of a frame: it replaces the menu bar and the window caption.
// Across its top it draws the title row (the round application button, the
// window title, the minimise, maximise and close buttons), below it the tabs of
// its categories, and the panels of the active category with their large
// buttons. The application button drops down the application menu: entries
// with large pictures and buttons on its bottom edge. Panels that do not fit
// collapse from the right into one button each, which drops the panel down.
//
// Every button carries a command id. Clicks run the command along the frame's
// routing; the enabled state of each button comes from the frame's command
// state pass (the bar is one of the frame's command surfaces), so the bar, the
// menus and the keys always agree. Hovering shows the command's title and
// prompt from the string table. Alt shows key tips: the letter of the
// application button opens its menu, a category's selects it, a button's runs
// it; Escape backs out one level.
//
// The bar knows nothing of what the commands do; the frame fills it.
#include "framework/frame.h"
#include "framework/gdi.h"
#include "framework/image_strip.h"
#include "framework/ribbon_layout.h"

#include <memory>
#include <string>
#include <vector>

class CRibbonBar;
class CRibbonPopup;

// A large button of a panel, or an entry of the application menu.
class CRibbonButton {
public:
    CRibbonButton(UINT nID, std::wstring text, int nSmallImage = -1, int nLargeImage = -1)
        : m_nID(nID), m_strText(std::move(text)), m_nSmallImage(nSmallImage),
          m_nLargeImage(nLargeImage) {}
    virtual ~CRibbonButton() = default;

    UINT GetID() const { return m_nID; }
    const std::wstring& GetText() const { return m_strText; }
    int GetSmallImage() const { return m_nSmallImage; }
    int GetLargeImage() const { return m_nLargeImage; }
    bool IsEnabled() const { return m_bEnabled; }
    const std::wstring& GetKeyTip() const { return m_strKeyTip; }

private:
    friend class CRibbonBar;
    UINT m_nID;
    std::wstring m_strText;
    int m_nSmallImage, m_nLargeImage;
    bool m_bEnabled = true;
    std::wstring m_strKeyTip;
};

// A named group of buttons with an icon, shown when the panel is collapsed.
class CRibbonPanel {
public:
    CRibbonPanel(std::wstring name, const CImageStrip* pIcons, int nIcon)
        : m_strName(std::move(name)), m_pIcons(pIcons), m_nIcon(nIcon) {}
    CRibbonButton* Add(std::unique_ptr<CRibbonButton> button);
    const std::wstring& GetName() const { return m_strName; }
    int GetIconIndex() const { return m_nIcon; }
    int GetCount() const { return static_cast<int>(m_buttons.size()); }
    CRibbonButton* GetElement(int index) const;
    const std::wstring& GetKeyTip() const { return m_strKeyTip; }

private:
    friend class CRibbonBar;
    friend class CRibbonPopup;
    std::wstring m_strName;
    const CImageStrip* m_pIcons;
    int m_nIcon;
    std::vector<std::unique_ptr<CRibbonButton>> m_buttons;
    std::wstring m_strKeyTip;
};

// A tab of the bar with its panels; its buttons take their pictures from the
// category's small and large strips (bitmap resources).
class CRibbonCategory {
public:
    CRibbonCategory(std::wstring name, UINT nSmallImages, UINT nLargeImages);
    virtual ~CRibbonCategory() = default;
    CRibbonPanel* AddPanel(std::wstring name, const CImageStrip* pIcons, int nIcon);
    const std::wstring& GetName() const { return m_strName; }
    int GetPanelCount() const { return static_cast<int>(m_panels.size()); }
    CRibbonPanel* GetPanel(int index) const;
    const std::wstring& GetKeyTip() const { return m_strKeyTip; }
    const CImageStrip& GetSmallImages() const { return m_smallImages; }
    const CImageStrip& GetLargeImages() const { return m_largeImages; }

protected:
    friend class CRibbonBar;
    friend class CRibbonPopup;
    std::wstring m_strName;
    CImageStrip m_smallImages, m_largeImages;
    std::vector<std::unique_ptr<CRibbonPanel>> m_panels;
    std::wstring m_strKeyTip;
};

// The application menu: its entries top to bottom, and the buttons on its
// bottom edge.
class CRibbonMainCategory : public CRibbonCategory {
public:
    using CRibbonCategory::CRibbonCategory;
    CRibbonButton* Add(std::unique_ptr<CRibbonButton> button);
    CRibbonButton* AddToBottom(std::unique_ptr<CRibbonButton> button);
    const std::vector<std::unique_ptr<CRibbonButton>>& GetItems() const { return m_items; }
    const std::vector<std::unique_ptr<CRibbonButton>>& GetBottom() const { return m_bottom; }

private:
    std::vector<std::unique_ptr<CRibbonButton>> m_items, m_bottom;
};

// The round button at the top left: a picture, a text whose part after a line
// feed is its key tip ("\nf": no label, key tip F), and a tooltip.
class CRibbonApplicationButton {
public:
    bool SetImage(UINT nBitmapID);
    void SetText(const std::wstring& text);
    void SetToolTipText(const std::wstring& text) { m_strToolTip = text; }
    const std::wstring& GetKeyTip() const { return m_strKeyTip; }
    const std::wstring& GetToolTipText() const { return m_strToolTip; }
    const CImageStrip& GetImage() const { return m_image; }

private:
    CImageStrip m_image;
    std::wstring m_strLabel, m_strKeyTip, m_strToolTip;
};

// What lies under a point of the bar.
struct CRibbonHit {
    enum Kind {
        nothing,
        caption, // title row outside any button: moves the window
        appButton,
        tab,
        button,      // a button of an expanded panel
        panelButton, // a collapsed panel
        minimize,
        maximize,
        close,
    };
    Kind kind = nothing;
    int nTab = -1, nPanel = -1, nButton = -1;
    CRibbonButton* pButton = nullptr;
};

class CRibbonBar : public CWnd, public CCommandSurface {
public:
    static constexpr UINT kDefaultID = 59398;

    CRibbonBar();
    ~CRibbonBar() override;

    // A visible child at the top of `pFrame`. The frame's menu bar goes: the
    // ribbon carries its commands from now on.
    bool Create(CFrameWnd* pFrame, UINT nID = kDefaultID);
    // The application button, `size` pixels square at 96 DPI.
    void SetApplicationButton(CRibbonApplicationButton* pButton, SIZE size);
    CRibbonMainCategory* AddMainCategory(const std::wstring& name, UINT nSmallImages,
                                         UINT nLargeImages);
    CRibbonCategory* AddCategory(const std::wstring& name, UINT nSmallImages, UINT nLargeImages);
    int GetCategoryCount() const { return static_cast<int>(m_categories.size()); }
    CRibbonCategory* GetCategory(int index) const;
    CRibbonMainCategory* GetMainCategory() const { return m_main.get(); }
    void SetActiveCategory(int index);
    int GetActiveCategory() const { return m_nActive; }
    // Finds the first button with this command (panels first, then the menu).
    CRibbonButton* FindByID(UINT nID) const;

    // ---- Geometry ----
    int GetDpi() const { return m_nDpi; }
    // Takes a new DPI (the frame's DPI changed): fonts and layout follow.
    void SetDpi(int dpi);
    int GetHeight() const { return m_layout.height; }
    // Lays the bar out again for its width.
    void RecalcLayout();
    // The frame's title changed: measured again and centred anew.
    void OnTitleChanged();
    const CRibbonLayout& GetLayout() const { return m_layout; }
    // The layout for any width and DPI, measured with this bar's content.
    CRibbonLayout ComputeLayout(int width, int dpi) const;
    CRibbonHit HitTest(POINT ptClient) const;
    // Client rectangle of the button with command `nID` in the active
    // category, empty when it is not shown (its panel collapsed).
    RECT GetButtonRect(UINT nID) const;

    // Draws the whole bar into `hdc` (the window's size).
    void Draw(HDC hdc) const;

    // ---- Commands ----
    void UpdateCommandStates(CCmdTarget& route) override;
    // Runs `nID` along the frame's routing (nothing when it is disabled).
    void RunButton(const CRibbonButton& button);

    // ---- Drop-downs ----
    void ShowApplicationMenu();
    // Leaves key tips and closes any drop-down (the frame lost activation).
    void CancelModes();
    // Whether the bar draws the window's title and its minimise, maximise and
    // close buttons (the frame gave it the caption), or the system does.
    void SetDrawsCaption(bool bDraws);
    bool DrawsCaption() const { return m_bDrawsCaption; }
    // The look of the window's buttons while the frame tracks them.
    void SetCaptionButtonState(CRibbonHit::Kind hot, CRibbonHit::Kind pressed);
    void ShowPanelPopup(int panel);
    void ClosePopup();
    CRibbonPopup* GetPopup() const { return m_popup.get(); }

    // ---- Keys ----
    // Offered every key message of the frame before anything else: Alt
    // (pressed and released alone) and the key tips. True when consumed.
    bool PreTranslateKey(const MSG& msg);
    enum class KeyTips { none, top, category, menu, panel };
    KeyTips GetKeyTipLevel() const { return m_keyTips; }

    // ---- Tooltip ----
    // Title and description shown for a button: the title from the command's
    // string entry (after the line feed), else the label; the prompt as the
    // description.
    static void GetToolTip(const CRibbonButton& button, std::wstring& title,
                           std::wstring& description);
    HWND GetToolTipWindow() const { return m_hToolTip; }

    // The fonts and pictures the bar and its drop-downs draw with.
    HFONT GetFont() const { return m_font; }
    HFONT GetBoldFont() const { return m_fontBold; }
    const CImageStrip* PanelIcons() const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnDestroy() override;

private:
    friend class CRibbonPopup;
    void AssignKeyTips();
    void SetHot(const CRibbonHit& hit);
    void OnMouseMove(POINT pt);
    void OnLButtonDown(POINT pt);
    void OnLButtonUp(POINT pt);
    void SetKeyTips(KeyTips level);
    bool OnKeyTipKey(UINT vk);
    void UpdateToolTip();
    void CreateFonts();
    CRibbonLayoutInput LayoutInput(int width, int dpi) const;
    CFrameWnd* Frame() const { return m_pFrame; }

    CFrameWnd* m_pFrame = nullptr;
    CRibbonApplicationButton* m_pAppButton = nullptr;
    SIZE m_appButtonSize{45, 45};
    std::unique_ptr<CRibbonMainCategory> m_main;
    std::vector<std::unique_ptr<CRibbonCategory>> m_categories;
    int m_nActive = 0;
    int m_nDpi = 96;
    bool m_bDrawsCaption = true;
    CRibbonLayout m_layout;
    CFontHandle m_font, m_fontBold;
    HDC m_hMeasureDC = nullptr; // text widths for layouts of any DPI
    // Text widths of the last measurement: a resize only lays out again.
    struct Measured {
        int dpi = -1;
        int active = -1;
        std::size_t elements = 0;
        bool drawsCaption = false;
        std::wstring title;
        CRibbonLayoutInput input;
    };
    mutable Measured m_measured;

    CRibbonHit m_hot, m_pressed;
    bool m_bTracking = false; // WM_MOUSELEAVE requested
    std::unique_ptr<CRibbonPopup> m_popup;
    HWND m_hToolTip = nullptr;
    CRibbonHit m_tipFor;

    std::wstring m_strTipText; // lives while the tooltip shows it

    KeyTips m_keyTips = KeyTips::none;
    bool m_bAltArmed = false;
    bool m_bSwallowAltUp = false; // the Alt that left key tips
};

// A drop-down of the bar: the application menu or the buttons of a collapsed
// panel. It holds the mouse while open, so a click anywhere else closes it.
class CRibbonPopup : public CWnd {
public:
    enum class Kind { menu, panel };
    struct Item {
        CRibbonButton* pButton = nullptr;
        RECT rect{};
        bool bottom = false; // on the menu's bottom edge
    };

    CRibbonPopup(CRibbonBar& bar, Kind kind, const CRibbonCategory* category, int panel);
    ~CRibbonPopup() override;
    // Shows the popup with its top left at `ptScreen`, without taking the focus.
    bool Open(POINT ptScreen);
    void Close();
    Kind GetKind() const { return m_kind; }
    int GetPanel() const { return m_nPanel; }
    const std::vector<Item>& GetItems() const { return m_items; }
    // Client rectangle of the entry with command `nID` (empty when none).
    RECT GetItemRect(UINT nID) const;
    void Draw(HDC hdc) const;
    bool m_bShowKeyTips = false;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int ItemAt(POINT pt) const;
    void Build();
    CRibbonBar& m_bar;
    Kind m_kind;
    const CRibbonCategory* m_pCategory;
    int m_nPanel;
    std::vector<Item> m_items;
    SIZE m_size{};
    int m_nHot = -1, m_nPressed = -1;
    bool m_bClosing = false;
};
