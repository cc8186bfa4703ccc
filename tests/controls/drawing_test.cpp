// What the header, the off-screen context and the list's cells draw, read
// back as pixels from the windows (a DIB copy of the window's own context) at
// places computed from the drawing rules.
#include "controls/xmemdc.h"
#include "list_fixture.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr COLORREF kRed = RGB(200, 0, 0);
// Cells are checked without grid lines, which the list draws over the cells.
constexpr DWORD kPlainStyle = LVS_EX_FULLROWSELECT;

COLORREF Sys(int index) {
    return GetSysColor(index);
}

void Repaint(HWND hWnd) {
    RedrawWindow(hWnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
}

// ---------------------------------------------------------------- off-screen context

TEST(MemDC, DrawsOffscreenInTargetCoordinatesAndCopiesTheClipBoxOnce) {
    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 100);
    HGDIOBJ old = SelectObject(target, bitmap);
    RECT all{0, 0, 100, 100};
    FillRect(target, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HRGN clip = CreateRectRgn(10, 20, 60, 70);
    SelectClipRgn(target, clip);
    {
        CXMemDC mem(target);
        ASSERT_TRUE(mem.IsOffscreen());
        EXPECT_EQ(mem.m_rcArea.left, 10);
        EXPECT_EQ(mem.m_rcArea.bottom, 70);
        FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SetPixel(mem, 10, 20, RGB(0, 0, 255));
        // Nothing reaches the target before the context goes.
        EXPECT_EQ(GetPixel(target, 30, 30), RGB(255, 255, 255));
    }
    SelectClipRgn(target, nullptr);
    EXPECT_EQ(GetPixel(target, 10, 20), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(target, 59, 69), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(target, 60, 70), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(target, 5, 5), RGB(255, 255, 255));
    DeleteObject(clip);
    SelectObject(target, old);
    DeleteObject(bitmap);
    DeleteDC(target);
    ReleaseDC(nullptr, screen);
}

// ---------------------------------------------------------------- header

struct HeaderGeometry {
    std::vector<RECT> items;
    int sum = 0;
};

HeaderGeometry ReadHeader(HWND header) {
    HeaderGeometry g;
    int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        RECT rc;
        SendMessageW(header, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc));
        g.items.push_back(rc);
        g.sum += rc.right - rc.left;
    }
    return g;
}

// Top-left corner of the built-in box of an item drawn without an image list.
POINT BuiltInBox(const RECT& item) {
    return {item.left + 6, item.top + (item.bottom - item.top - 13) / 2};
}

void ExpectBox(const CCapture& shot, POINT box, bool ticked) {
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(shot.At(box.x + i, box.y), CXHeaderCtrl::kBoxFrame) << i;
        EXPECT_EQ(shot.At(box.x + i, box.y + 12), CXHeaderCtrl::kBoxFrame) << i;
        EXPECT_EQ(shot.At(box.x, box.y + i), CXHeaderCtrl::kBoxFrame) << i;
        EXPECT_EQ(shot.At(box.x + 12, box.y + i), CXHeaderCtrl::kBoxFrame) << i;
    }
    EXPECT_EQ(shot.At(box.x + 1, box.y + 1), Sys(COLOR_WINDOW));
    EXPECT_EQ(shot.At(box.x + 9, box.y + 3), ticked ? CXHeaderCtrl::kTick : Sys(COLOR_WINDOW));
    EXPECT_EQ(shot.At(box.x + 5, box.y + 7), ticked ? CXHeaderCtrl::kTick : Sys(COLOR_WINDOW));
    EXPECT_EQ(shot.At(box.x + 3, box.y + 5), ticked ? CXHeaderCtrl::kTick : Sys(COLOR_WINDOW));
    EXPECT_EQ(shot.At(box.x + 9, box.y + 6), Sys(COLOR_WINDOW));
}

TEST(HeaderDrawing, BuiltInBoxDividersAndFrame) {
    ListFixture f(1);
    HWND header = f.list.m_wndHeader.m_hWnd;
    f.UseHeaderCheck(2);
    Repaint(header);
    const HeaderGeometry g = ReadHeader(header);
    ASSERT_EQ(g.items.size(), 5u);
    CCapture shot(header);
    ExpectBox(shot, BuiltInBox(g.items[0]), true);

    const COLORREF face = Sys(COLOR_BTNFACE), light = Sys(COLOR_BTNHIGHLIGHT),
                   dark = Sys(COLOR_BTNSHADOW);
    for (std::size_t i = 0; i + 1 < g.items.size(); ++i) {
        SCOPED_TRACE(i);
        const RECT& rc = g.items[i];
        EXPECT_EQ(shot.At(rc.right - 1, rc.top + 2), dark);
        EXPECT_EQ(shot.At(rc.right - 1, rc.bottom - 3), dark);
        EXPECT_EQ(shot.At(rc.right, rc.top + 2), light);
        EXPECT_EQ(shot.At(rc.right, rc.bottom - 3), light);
        EXPECT_EQ(shot.At(rc.right, rc.top + 1), face);
        EXPECT_EQ(shot.At(rc.right, rc.bottom - 2), face);
    }
    // No divider after the last item, and the frame spans the items only.
    const RECT& last = g.items.back();
    const int mid = (last.top + last.bottom) / 2;
    EXPECT_EQ(shot.At(g.sum, mid), face);
    EXPECT_EQ(shot.At(g.sum, 0), face);
    EXPECT_EQ(shot.At(g.sum - 1, mid), dark);
    EXPECT_EQ(shot.At(0, mid), light);
    EXPECT_EQ(shot.At(g.sum - 2, 0), light);
    EXPECT_EQ(shot.At(5, last.bottom - 1), dark);

    f.UseHeaderCheck(1);
    Repaint(header);
    ExpectBox(CCapture(header), BuiltInBox(g.items[0]), false);
}

TEST(HeaderDrawing, CheckImagesFromTheResourceMatchTheBuiltInBox) {
    ListFixture f(1);
    HWND header = f.list.m_wndHeader.m_hWnd;
    HIMAGELIST images = ImageList_Create(13, 13, ILC_COLOR24, 3, 1);
    HBITMAP strip = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_CHECKBOXES));
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(ImageList_AddMasked(images, strip, RGB(255, 0, 255)), 0);
    ASSERT_EQ(ImageList_GetImageCount(images), 3);
    DeleteObject(strip);
    SendMessageW(header, HDM_SETIMAGELIST, HDSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    EXPECT_EQ(f.list.m_wndHeader.m_sizeImage.cx, 13);
    EXPECT_EQ(f.list.m_wndHeader.m_sizeImage.cy, 13);

    const HeaderGeometry g = ReadHeader(header);
    const RECT& item = g.items[0];
    const POINT image{item.left + 6, (item.top + item.bottom) / 2 - 7};
    for (int state : {1, 2}) {
        SCOPED_TRACE(state);
        f.UseHeaderCheck(state);
        Repaint(header);
        ExpectBox(CCapture(header), image, state == 2);
    }
    SendMessageW(header, HDM_SETIMAGELIST, HDSIL_NORMAL, 0);
    ImageList_Destroy(images);
}

TEST(HeaderDrawing, SecondContextKindsGetTheSamePicture) {
    ListFixture f(1);
    CXHeaderCtrl& header = f.list.m_wndHeader;
    f.UseHeaderCheck(2);
    Repaint(header.m_hWnd);
    CCapture window(header.m_hWnd);
    const HeaderGeometry g = ReadHeader(header.m_hWnd);
    const int cx = window.Width(), cy = window.Height();

    // A memory context as the target: the off-screen path, same pixels.
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, cx, cy);
    HGDIOBJ old = SelectObject(mem, bitmap);
    header.Paint(mem);
    int differ = 0;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < g.sum + 2; ++x)
            differ += GetPixel(mem, x, y) != window.At(x, y);
    EXPECT_EQ(differ, 0);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);

    // A recording context (as a printer is) is drawn on directly: the
    // recording holds the drawing itself and no bitmap copy.
    HDC emf = CreateEnhMetaFileW(screen, nullptr, nullptr, nullptr);
    ASSERT_TRUE(CXMemDC::DrawsDirectly(emf));
    IntersectClipRect(emf, 0, 0, cx, cy); // the page: the header's area
    header.Paint(emf);
    HENHMETAFILE recording = CloseEnhMetaFile(emf);
    struct Seen {
        int blits = 0, lines = 0, texts = 0;
    } seen;
    EnumEnhMetaFile(
        nullptr, recording,
        [](HDC, HANDLETABLE*, const ENHMETARECORD* rec, int, LPARAM data) -> int {
            auto* s = reinterpret_cast<Seen*>(data);
            // Copies of a bitmap; fills are recorded as blits without one.
            if (rec->iType == EMR_BITBLT)
                s->blits += reinterpret_cast<const EMRBITBLT*>(rec)->cbBitsSrc != 0;
            s->lines += rec->iType == EMR_LINETO;
            s->texts += rec->iType == EMR_EXTTEXTOUTW;
            return 1;
        },
        &seen, nullptr);
    DeleteEnhMetaFile(recording);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(seen.blits, 0);
    EXPECT_EQ(seen.lines, 7 + 2 * 4); // the tick and the four dividers
    EXPECT_GE(seen.texts, 4);
}

// ---------------------------------------------------------------- list cells

TEST(CellDrawing, ProgressBarFrameFillAndTextColours) {
    ListFixture f(3, ListFixture::MovieColumns(), kPlainStyle);
    f.list.SetCellColors(1, 4, kRed, f.list.m_clrWindow);
    f.list.ShowCellProgress(1, 4);
    const RECT c = f.Cell(1, 4);
    const RECT r{c.left + 1, c.top, c.right, c.bottom - 1};
    const COLORREF grey = CXListCtrl::kProgressBack, light = f.list.m_clrHighlight,
                   lightText = f.list.m_clrHighlightText;
    // Past 100 (a body longer than its known size, for one tick) is drawn
    // as a full bar, inside the cell.
    for (int percent : {0, 42, 100, 250, INT_MAX}) {
        SCOPED_TRACE(percent);
        const int shown = std::min(percent, 100);
        f.list.SetCellProgress(1, 4, percent);
        CCapture shot(f.list.m_hWnd);
        // Frame: black top and left, shadow bottom and right.
        EXPECT_EQ(shot.At(r.left, r.top + 3), RGB(0, 0, 0));
        EXPECT_EQ(shot.At(r.left + 3, r.top), RGB(0, 0, 0));
        EXPECT_EQ(shot.At(r.right - 1, r.top + 3), f.list.m_clrBtnShadow);
        EXPECT_EQ(shot.At(r.left + 3, r.bottom - 1), f.list.m_clrBtnShadow);
        const RECT inside{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        const int area = (inside.right - inside.left) * (inside.bottom - inside.top);
        if (percent == 0) {
            EXPECT_EQ(shot.Count(inside, grey), area); // no fill, no text
            continue;
        }
        const RECT fill{inside.left, inside.top,
                        r.left + 1 + (r.right - r.left - 1) * shown / 100 - 1, inside.bottom};
        EXPECT_EQ(shot.At(fill.right - 1, fill.top), light);
        EXPECT_EQ(shot.At(fill.right, fill.top), shown == 100 ? f.list.m_clrBtnShadow : grey);
        EXPECT_EQ(shot.Count({c.right, c.top, shot.Width(), c.bottom}, light), 0); // nor beyond
        const RECT rest{fill.right, inside.top, inside.right, inside.bottom};
        // The text changes colour exactly at the end of the fill.
        EXPECT_GT(shot.Count(fill, lightText), 0);
        EXPECT_EQ(shot.Count(fill, kRed), 0);
        if (percent == 42) {
            EXPECT_GT(shot.Count(rest, kRed), 0);
            EXPECT_EQ(shot.Count(rest, lightText), 0);
        }
    }
}

TEST(CellDrawing, CheckBoxCentredWithoutTextAndBesideItsText) {
    auto columns = ListFixture::MovieColumns();
    ListFixture f(3, columns, kPlainStyle);
    f.list.SetCellCheck(0, 0, 1);
    f.list.SetCellCheck(2, 0, 1);
    f.list.SetRowEnabled(2, 0);
    f.list.SetCellText(1, 1, L"Xy");
    f.list.SetCellColors(1, 1, kRed, f.list.m_clrWindow);
    f.list.SetCellCheck(1, 1, 1);
    SetFocus(f.host.m_hWnd); // no selection colours
    Repaint(f.list.m_hWnd);
    CCapture shot(f.list.m_hWnd);

    struct Case {
        int row, column;
        bool centred;
        COLORREF tick; // CLR_NONE: no tick
    };
    for (Case k :
         {Case{0, 0, true, CXHeaderCtrl::kTick}, Case{1, 0, true, CLR_NONE},
          Case{2, 0, true, f.list.m_clrGrayText}, Case{1, 1, false, CXHeaderCtrl::kTick}}) {
        SCOPED_TRACE(testing::Message() << k.row << "," << k.column);
        const RECT c = f.Cell(k.row, k.column);
        const int side = c.bottom - 1 - c.top;
        const int left = k.centred ? c.left + (c.right - c.left) / 2 - side / 2 - 1 : c.left + 9;
        const RECT box{left, c.top, left + side, c.bottom - 1};
        EXPECT_EQ(shot.At(box.left, box.top + side / 2), CXHeaderCtrl::kBoxFrame);
        EXPECT_EQ(shot.At(box.right - 1, box.top + side / 2), CXHeaderCtrl::kBoxFrame);
        EXPECT_EQ(shot.At(box.left + side / 2, box.bottom - 1), CXHeaderCtrl::kBoxFrame);
        EXPECT_EQ(shot.At(box.left - 1, box.top + side / 2), f.list.m_clrWindow);
        EXPECT_EQ(shot.At(box.left + 1, box.bottom - 2), f.list.m_clrWindow);
        const POINT tick[] = {{9, 3}, {9, 5}, {6, 6}, {5, 8}, {4, 6}, {3, 7}};
        for (POINT p : tick)
            EXPECT_EQ(shot.At(box.left + p.x, box.top + p.y),
                      k.tick == CLR_NONE ? f.list.m_clrWindow : k.tick);
        if (!k.centred) {
            // The text starts four pixels right of the box.
            int first = -1;
            for (int x = box.right; x < c.right && first < 0; ++x)
                if (shot.Count({x, c.top, x + 1, c.bottom}, kRed))
                    first = x;
            EXPECT_GE(first, box.right + 4);
            EXPECT_LE(first, box.right + 6);
        }
    }

    // A selected row of the focused list shows the selection colours.
    const RECT c = f.Cell(1, 0);
    Click(f.list.m_hWnd, f.CellCenter(1, 3));
    // Every cell of the row, up to the last column, not only the one clicked.
    CCapture selected(f.list.m_hWnd);
    const RECT last = f.Cell(1, 4);
    EXPECT_EQ(selected.At(last.right - 2, last.top + 1), f.list.m_clrHighlight);
    EXPECT_EQ(selected.At(c.left + 1, c.top + 1), f.list.m_clrHighlight);
}

TEST(CellDrawing, ARowTurnsGreyTheMomentItIsDisabledAndBackWhenEnabled) {
    ListFixture f(3, ListFixture::MovieColumns(), kPlainStyle);
    for (int c = 1; c < 5; ++c)
        f.list.SetCellColors(1, c, kRed, f.list.m_clrWindow);
    SetFocus(f.host.m_hWnd); // no selection colours
    Repaint(f.list.m_hWnd);
    const RECT row{f.Cell(1, 1).left, f.Cell(1, 1).top, f.Cell(1, 4).right, f.Cell(1, 1).bottom};
    ASSERT_GT(CCapture(f.list.m_hWnd).Count(row, kRed), 0);
    // Read back before any message runs: the setter itself repaints the row.
    f.list.SetRowEnabled(1, 0);
    CCapture grey(f.list.m_hWnd);
    EXPECT_EQ(grey.Count(row, kRed), 0);
    EXPECT_GT(grey.Count(row, f.list.m_clrGrayText), 0);
    f.list.SetRowEnabled(1, 1);
    EXPECT_GT(CCapture(f.list.m_hWnd).Count(row, kRed), 0);
}

TEST(CellDrawing, CellsChangedWhileRedrawingIsOffShowWhenItIsBack) {
    ListFixture f(2, ListFixture::MovieColumns(), kPlainStyle);
    SetFocus(f.host.m_hWnd);
    SendMessageW(f.list.m_hWnd, WM_SETREDRAW, FALSE, 0);
    f.list.SetCellCheck(1, 0, 1);
    f.list.ShowCellProgress(1, 4);
    f.list.SetCellProgress(1, 4, 100);
    SendMessageW(f.list.m_hWnd, WM_SETREDRAW, TRUE, 0);
    const RECT box = f.Cell(1, 0), bar = f.Cell(1, 4);
    const int side = box.bottom - 1 - box.top;
    const int left = box.left + (box.right - box.left) / 2 - side / 2 - 1;
    EXPECT_TRUE(PumpUntil([&] {
        CCapture shot(f.list.m_hWnd);
        return shot.At(left + 9, box.top + 3) == CXHeaderCtrl::kTick &&
               shot.At(bar.left + 3, bar.top + 1) == f.list.m_clrHighlight;
    }));
}

TEST(CellDrawing, HeldCellPaintsShowTogetherAtTheLastRelease) {
    ListFixture f(2, ListFixture::MovieColumns(), kPlainStyle);
    SetFocus(f.host.m_hWnd);
    f.list.ShowCellProgress(1, 4);
    Repaint(f.list.m_hWnd);
    const RECT bar = f.Cell(1, 4);
    auto filled = [&] {
        return CCapture(f.list.m_hWnd).At(bar.left + 3, bar.top + 2) == f.list.m_clrHighlight;
    };
    ASSERT_FALSE(filled());
    f.list.HoldCellPaints();
    f.list.HoldCellPaints();
    f.list.SetCellProgress(1, 4, 100);
    EXPECT_FALSE(filled());
    f.list.ReleaseCellPaints();
    EXPECT_FALSE(filled());
    // Painted by the last release itself, before any message is handled.
    f.list.ReleaseCellPaints();
    EXPECT_TRUE(filled());
}

TEST(CellDrawing, TextCellsFollowTheHeaderAlignmentAndShowAmpersands) {
    ListFixture f(2, ListFixture::MovieColumns(), kPlainStyle);
    f.list.SetCellColors(0, 3, kRed, f.list.m_clrWindow);
    f.list.SetCellColors(0, 2, kRed, f.list.m_clrWindow);
    f.list.SetCellText(0, 3, L"ii"); // centred column
    f.list.SetCellText(0, 2, L"ii"); // left column
    SetFocus(f.host.m_hWnd);
    Repaint(f.list.m_hWnd);
    // First and last column of red pixels in a cell.
    auto span = [&](const RECT& c) {
        CCapture shot(f.list.m_hWnd);
        int first = -1, last = -1;
        for (int x = c.left; x < c.right; ++x)
            if (shot.Count({x, c.top, x + 1, c.bottom}, kRed)) {
                if (first < 0)
                    first = x;
                last = x;
            }
        return std::pair{first, last};
    };
    const RECT centred = f.Cell(0, 3), left = f.Cell(0, 2);
    auto [cFirst, cLast] = span(centred);
    EXPECT_NEAR((cFirst + cLast) / 2.0, (centred.left + centred.right) / 2.0, 3.0);
    auto [lFirst, lLast] = span(left);
    EXPECT_GE(lFirst, left.left + 5); // the text inset
    EXPECT_LE(lFirst, left.left + 7);
    // Cell texts are data: an ampersand is drawn, not taken for a mnemonic.
    f.list.SetCellText(0, 2, L"i&i");
    EXPECT_GT(span(left).second, lLast + 3);
}

} // namespace
