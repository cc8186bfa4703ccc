// The ribbon's geometry, key tips and picture resampling, without a window:
// the layout is computed from text widths and a DPI alone.
#include "framework/pixels.h"
#include "framework/ribbon_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool Inside(const CRibbonRect& inner, const CRibbonRect& outer) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

// Seven panels shaped like a typical Home tab, labels measured as a font of
// about 6 px per character at 96 DPI would measure them.
CRibbonLayoutInput Input(int width, int dpi) {
    auto w = [dpi](int chars) { return chars * 6 * dpi / 96; };
    CRibbonLayoutInput in;
    in.width = width;
    in.dpi = dpi;
    in.titleWidth = w(30);
    in.tabWidths = {w(4)};
    in.panels = {{w(6), {w(3), w(9), w(6)}},
                 {w(8), {w(8), w(4)}},
                 {w(8), {w(3), w(7), w(4), w(8)}},
                 {w(7), {w(6), w(4)}},
                 {w(4), {w(5)}},
                 {w(5), {w(4), w(7), w(7)}},
                 {w(4), {w(4)}}};
    return in;
}

TEST(RibbonLayout, EveryPartScalesWithTheDpiAndStaysInItsPlace) {
    struct Case {
        int dpi, rowHeight, ribbonHeight, largeImage;
    };
    for (Case c : {Case{96, 26, 142, 32}, Case{144, 39, 213, 48}, Case{192, 52, 284, 64}}) {
        SCOPED_TRACE(c.dpi);
        CRibbonLayout l = LayoutRibbon(Input(4000, c.dpi));
        EXPECT_EQ(l.metrics.captionHeight, c.rowHeight);
        EXPECT_EQ(l.height, c.ribbonHeight);
        EXPECT_EQ(l.metrics.largeImage, c.largeImage);
        EXPECT_EQ(l.metrics.smallImage, c.largeImage / 2);
        EXPECT_EQ(l.appButton.Width(), l.metrics.Scale(45));

        // Title row: the application button straddles it and the tab row; the
        // window's three buttons sit at its right end; the title between.
        EXPECT_EQ(l.caption.Height(), c.rowHeight);
        EXPECT_LT(l.appButton.top, l.caption.bottom);
        EXPECT_GT(l.appButton.bottom, l.caption.bottom);
        EXPECT_LE(l.appButton.bottom, l.panelArea.top);
        EXPECT_EQ(l.closeButton.right, 4000);
        EXPECT_EQ(l.maximizeButton.right, l.closeButton.left);
        EXPECT_EQ(l.minimizeButton.right, l.maximizeButton.left);
        EXPECT_GE(l.title.left, l.appButton.right);
        EXPECT_LE(l.title.right, l.minimizeButton.left);
        EXPECT_NEAR((l.title.left + l.title.right) / 2, 2000, 1);
        ASSERT_EQ(l.tabs.size(), 1u);
        EXPECT_GT(l.tabs[0].left, l.appButton.right);

        // Panels left to right, apart, inside the area; buttons inside their
        // panel above its caption, side by side, each holding a large picture.
        ASSERT_EQ(l.panels.size(), 7u);
        int lastRight = 0;
        for (const CRibbonPanelLayout& p : l.panels) {
            EXPECT_FALSE(p.collapsed);
            EXPECT_TRUE(Inside(p.rect, l.panelArea));
            EXPECT_GT(p.rect.left, lastRight);
            lastRight = p.rect.right;
            EXPECT_EQ(p.caption.bottom, p.rect.bottom);
            int buttonRight = p.rect.left;
            for (const CRibbonRect& b : p.buttons) {
                EXPECT_TRUE(Inside(b, p.rect));
                EXPECT_LE(b.bottom, p.caption.top);
                EXPECT_GE(b.left, buttonRight);
                buttonRight = b.right;
                EXPECT_GE(b.Width(), l.metrics.largeImage);
                EXPECT_GE(b.Height(), l.metrics.largeImage + l.metrics.fontHeight);
            }
        }
    }
}

TEST(RibbonLayout, PanelsCollapseFromTheRightOneAtATimeAsTheWidthShrinks) {
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        const CRibbonLayout wide = LayoutRibbon(Input(10000, dpi));
        const int full = wide.panels.back().rect.right + wide.metrics.panelMargin;
        // Exactly the full width holds every panel; one pixel less folds the last.
        EXPECT_EQ(LayoutRibbon(Input(full, dpi)).panels.back().collapsed, false);
        std::vector<int> collapsedAt(7, -1);
        int previous = 0;
        for (int width = full; width >= 100; --width) {
            CRibbonLayout l = LayoutRibbon(Input(width, dpi));
            int count = 0;
            for (std::size_t i = 0; i < 7; ++i)
                if (l.panels[i].collapsed) {
                    ++count;
                    if (collapsedAt[i] < 0)
                        collapsedAt[i] = width;
                }
            // The collapsed ones are always the rightmost ones.
            for (std::size_t i = 0; i + 1 < 7; ++i) {
                if (l.panels[i].collapsed) {
                    EXPECT_TRUE(l.panels[i + 1].collapsed) << width;
                }
            }
            EXPECT_GE(count, previous);
            previous = count;
            // What is left fits, unless everything is already folded.
            if (count < 7) {
                EXPECT_LE(l.panels.back().rect.right + l.metrics.panelMargin, width);
            }
            for (const CRibbonPanelLayout& p : l.panels)
                if (p.collapsed) {
                    EXPECT_TRUE(p.buttons.empty());
                    EXPECT_TRUE(Inside(p.collapsedButton, p.rect));
                    EXPECT_LE(p.rect.Width(), p.fullWidth);
                }
        }
        for (std::size_t i = 0; i + 1 < 7; ++i)
            EXPECT_LT(collapsedAt[i], collapsedAt[i + 1]) << i;
    }
}

TEST(RibbonLayout, NarrowTitleRowKeepsTheTitleBetweenButtonAndWindowButtons) {
    CRibbonLayout l = LayoutRibbon(Input(300, 96));
    EXPECT_GE(l.title.left, l.appButton.right);
    EXPECT_LE(l.title.right, l.minimizeButton.left);
    EXPECT_GE(l.title.Width(), 0);
    // Without the window's buttons (the system draws the caption) the row is free.
    CRibbonLayoutInput in = Input(800, 96);
    in.captionButtons = false;
    l = LayoutRibbon(in);
    EXPECT_TRUE(l.closeButton.Empty());
    EXPECT_TRUE(l.minimizeButton.Empty());
    // An unusable DPI (a failed query) falls back to the design size.
    EXPECT_EQ(LayoutRibbon(Input(800, 0)).height, 142);
}

TEST(RibbonKeyTips, MnemonicFirstThenLettersOfTheLabelThenAnyFreeOne) {
    struct Case {
        std::vector<std::wstring> labels, taken, tips;
    };
    for (const Case& c : {
             Case{{L"Add", L"Batch Add", L"Delete"}, {}, {L"A", L"B", L"D"}},
             Case{{L"&New", L"&Open...", L"&Save", L"Save &As..."}, {}, {L"N", L"O", L"S", L"A"}},
             // Same first letters: the next letters of the label.
             Case{{L"Download", L"Delete", L"Done"}, {}, {L"D", L"E", L"O"}},
             Case{{L"Exit", L"Exit"}, {}, {L"E", L"X"}},
             // A tip taken at the same level (the application button's F).
             Case{{L"File"}, {L"F"}, {L"I"}},
             Case{{L"&&Up"}, {}, {L"U"}},
             Case{{L"", L"..."}, {}, {L"A", L"B"}},
         }) {
        EXPECT_EQ(AssignKeyTips(c.labels, c.taken), c.tips) << c.labels.front();
    }
    // More elements than letters and digits: every tip distinct, the rest none.
    std::vector<std::wstring> many(40, L"Same");
    std::vector<std::wstring> tips = AssignKeyTips(many);
    for (std::size_t i = 0; i < 36; ++i)
        for (std::size_t j = i + 1; j < 36; ++j)
            EXPECT_NE(tips[i], tips[j]);
    EXPECT_EQ(tips[36], L"");
    EXPECT_EQ(StripMnemonic(L"Save &As..."), L"Save As...");
    EXPECT_EQ(StripMnemonic(L"A && B&"), L"A & B");
}

CPixels Solid(int w, int h, std::uint32_t argb) {
    CPixels p;
    p.width = w;
    p.height = h;
    p.data.assign(static_cast<std::size_t>(w * h), argb);
    return p;
}

TEST(RibbonPixels, ResamplingKeepsFlatAreasAndAveragesEdges) {
    // A flat colour stays exactly that colour at 1.5x, 2x and 0.5x.
    for (auto [w, h] : {std::pair{24, 24}, std::pair{32, 32}, std::pair{8, 8}}) {
        CPixels out = ScalePixels(Solid(16, 16, 0xFF3366CC), w, h);
        ASSERT_EQ(out.data.size(), static_cast<std::size_t>(w * h));
        for (std::uint32_t p : out.data)
            EXPECT_EQ(p, 0xFF3366CCu);
    }
    // Halving a black/white checkerboard gives the mean grey everywhere.
    CPixels board = Solid(4, 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            board.data[static_cast<std::size_t>(y * 4 + x)] = (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000;
    for (std::uint32_t p : ScalePixels(board, 2, 2).data)
        EXPECT_EQ(p, 0xFF808080u);
    // Half-transparent edge at 1.5x: premultiplied colour never exceeds alpha.
    CPixels edge = Solid(2, 1, 0);
    edge.data[1] = 0xFFFFFFFF;
    CPixels up = ScalePixels(edge, 3, 1);
    EXPECT_EQ(up.data[0], 0u);
    EXPECT_EQ(up.data[2], 0xFFFFFFFFu);
    EXPECT_NEAR(static_cast<int>(up.data[1] >> 24), 0x80, 1);
    EXPECT_LE((up.data[1] >> 16) & 0xFF, up.data[1] >> 24);
    EXPECT_TRUE(ScalePixels(edge, 0, 3).data.empty());
}

TEST(RibbonPixels, BitmapRowsKeyColourAndDisabledLook) {
    // A bottom-up 24-bit strip of 2 x 2 with rows padded to 8 bytes: the light
    // grey pixel becomes transparent, the others opaque in their place.
    const unsigned char bits24[] = {
        0xC0, 0xC0, 0xC0, 0x00, 0x00, 0xFF, 0, 0, // bottom row: grey, red
        0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0, 0, // top row: blue, green
    };
    CPixels p = PixelsFromBgr(bits24, 2, 2, 8, 3, true, 0xC0C0C0);
    ASSERT_EQ(p.width, 2);
    EXPECT_EQ(p.At(0, 0), 0xFF0000FFu);
    EXPECT_EQ(p.At(1, 0), 0xFF00FF00u);
    EXPECT_EQ(p.At(0, 1), 0u);
    EXPECT_EQ(p.At(1, 1), 0xFFFF0000u);
    // 32-bit with alpha: kept and premultiplied; the key does not apply.
    const unsigned char bits32[] = {0xC0, 0xC0, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0x80};
    p = PixelsFromBgr(bits32, 2, 1, 8, 4, false, 0xC0C0C0);
    EXPECT_EQ(p.At(0, 0), 0xFFC0C0C0u);
    EXPECT_EQ(p.At(1, 0), 0x80808080u);
    // A stride shorter than a row is refused.
    EXPECT_EQ(PixelsFromBgr(bits24, 2, 2, 5, 3, true, 0).width, 0);

    // Disabled: grey (equal channels), fainter, transparent stays transparent.
    CPixels red = Solid(1, 1, 0xFFFF0000);
    red.data.push_back(0);
    red.width = 2;
    CPixels off = DisabledPixels(red);
    std::uint32_t g = off.data[0];
    EXPECT_EQ((g >> 16) & 0xFF, g & 0xFF);
    EXPECT_EQ((g >> 8) & 0xFF, g & 0xFF);
    EXPECT_LT(g >> 24, 0xFFu);
    EXPECT_EQ(off.data[1], 0u);
}

} // namespace
