// The printed movie list, drawn into an enhanced metafile and read back record
// by record: what text lands where on which page.
#include "ui/print_list.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct Text {
    std::wstring text;
    int x = 0, y = 0;
};

struct Page {
    std::vector<Text> texts;
    int ruleLines = 0; // lines drawn (the rule under the headings)
};

int CALLBACK CollectRecord(HDC, HANDLETABLE*, const ENHMETARECORD* rec, int, LPARAM data) {
    auto* page = reinterpret_cast<Page*>(data);
    if (rec->iType == EMR_EXTTEXTOUTW) {
        const auto* out = reinterpret_cast<const EMREXTTEXTOUTW*>(rec);
        const auto* chars = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(rec) +
                                                             out->emrtext.offString);
        page->texts.push_back({std::wstring(chars, out->emrtext.nChars),
                               static_cast<int>(out->emrtext.ptlReference.x),
                               static_cast<int>(out->emrtext.ptlReference.y)});
    } else if (rec->iType == EMR_LINETO) {
        ++page->ruleLines;
    }
    return 1;
}

// Draws one page into a metafile with the print font and reads it back.
Page DrawPage(const CListPageLayout& layout, const std::vector<CPrintLine>& lines,
              std::size_t page) {
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    HFONT font = CreateListPrintFont(dc);
    HGDIOBJ old = SelectObject(dc, font);
    DrawListPage(dc, layout, L"Project.torvane", lines, page);
    SelectObject(dc, old);
    DeleteObject(font);
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    Page out;
    EnumEnhMetaFile(nullptr, emf, CollectRecord, &out, nullptr);
    DeleteEnhMetaFile(emf);
    return out;
}

const Text* Find(const Page& page, const std::wstring& text) {
    for (const Text& t : page.texts)
        if (t.text == text)
            return &t;
    return nullptr;
}

// Width of `text` in the print font at the screen's resolution (the
// metafile's reference device).
int TextWidth(const std::wstring& text) {
    HDC dc = GetDC(nullptr);
    HFONT font = CreateListPrintFont(dc);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

// The layout the printer would get for a page this size at the screen's
// resolution, measured with the print font.
CListPageLayout Layout(int width, int height, const std::vector<CPrintLine>& lines) {
    HDC dc = GetDC(nullptr);
    HFONT font = CreateListPrintFont(dc);
    HGDIOBJ old = SelectObject(dc, font);
    CListPageLayout l = ListPageLayoutFor(dc, width, height, lines);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return l;
}

std::vector<CPrintLine> Lines(int count) {
    std::vector<CPrintLine> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back({L"http://site/watch?v=" + std::to_wstring(i),
                         L"Title " + std::to_wstring(i), std::to_wstring(i) + L" Bytes",
                         i % 2 ? L"Completed" : L"Ready"});
    return lines;
}

TEST(PrintLayout, PagesHoldWhatFitsAndNeverNone) {
    struct Case {
        int width, height, lineHeight;
    };
    for (Case c : {Case{600, 400, 20}, Case{2480, 3508, 60}, Case{100, 50, 20}, Case{1, 1, 0}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        CListPageLayout l = ListPageLayout(c.width, c.height, 96, 96, c.lineHeight, 60, 70);
        ASSERT_GE(l.linesPerPage, 1u);
        const std::size_t per = l.linesPerPage;
        EXPECT_EQ(l.PageCount(0), 1u); // an empty list still prints its header
        EXPECT_EQ(l.PageCount(per), 1u);
        EXPECT_EQ(l.PageCount(per + 1), 2u);
        EXPECT_EQ(l.PageCount(3 * per), 3u);
        if (per > 1) {
            // Everything inside the margins, movie lines clear of the foot.
            EXPECT_GE(l.titleTop, l.area.top);
            EXPECT_LT(l.headingTop, l.ruleY);
            EXPECT_LT(l.ruleY, l.firstLineTop);
            EXPECT_LE(l.LineTop(per - 1) + l.lineHeight, l.footerTop);
            EXPECT_LE(l.footerTop + l.lineHeight, l.area.bottom);
            EXPECT_LE(l.area.bottom, c.height);
            for (int i = 0; i < 4; ++i)
                EXPECT_LT(l.columns[i] + l.gap, l.columns[i + 1]);
        }
    }
}

TEST(PrintLayout, EveryMovieOnceInOrderUnderAHeaderWithPageNumbers) {
    // As many lines as the page holds, decided on a first layout.
    const std::size_t per = Layout(600, 400, Lines(1)).linesPerPage;
    ASSERT_GE(per, 2u);
    const auto lines = Lines(static_cast<int>(2 * per + 3));
    const CListPageLayout l = Layout(600, 400, lines);
    ASSERT_EQ(l.linesPerPage, per);
    const std::size_t pages = l.PageCount(lines.size());
    ASSERT_EQ(pages, 3u);

    std::vector<std::wstring> printed;
    for (std::size_t p = 0; p < pages; ++p) {
        SCOPED_TRACE(p);
        Page page = DrawPage(l, lines, p);
        const Text* title = Find(page, L"Project.torvane");
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->y, l.titleTop);
        const wchar_t* headings[] = {L"Address", L"Title", L"Size", L"Status"};
        for (int c = 0; c < 4; ++c) {
            const Text* h = Find(page, headings[c]);
            ASSERT_NE(h, nullptr) << c;
            EXPECT_EQ(h->y, l.headingTop);
            EXPECT_GE(h->x, l.columns[c]);
            EXPECT_LT(h->x, l.columns[c + 1]);
        }
        EXPECT_EQ(page.ruleLines, 1);
        const Text* footer =
            Find(page, L"Page " + std::to_wstring(p + 1) + L" of " + std::to_wstring(pages));
        ASSERT_NE(footer, nullptr);
        EXPECT_EQ(footer->y, l.footerTop);

        // Each movie on one line: its four texts in their columns at one height.
        for (std::size_t i = 0; i < per && p * per + i < lines.size(); ++i) {
            const CPrintLine& line = lines[p * per + i];
            const Text* url = Find(page, line.url);
            const Text* name = Find(page, line.title);
            const Text* size = Find(page, line.size);
            ASSERT_TRUE(url && name && size) << i;
            const int top = l.LineTop(i);
            EXPECT_EQ(url->y, top);
            EXPECT_EQ(name->y, top);
            EXPECT_EQ(size->y, top);
            EXPECT_EQ(url->x, l.columns[0]);
            EXPECT_EQ(name->x, l.columns[1]);
            // Sizes are right-aligned in their column.
            EXPECT_NEAR(size->x + TextWidth(line.size), l.columns[3] - l.gap, 1);
            bool statusThere = false;
            for (const Text& t : page.texts)
                statusThere |= t.text == line.status && t.y == top && t.x == l.columns[3];
            EXPECT_TRUE(statusThere) << i;
        }
        for (const Text& t : page.texts)
            if (t.text.rfind(L"http://", 0) == 0)
                printed.push_back(t.text);
    }
    std::vector<std::wstring> want;
    for (const CPrintLine& line : lines)
        want.push_back(line.url);
    EXPECT_EQ(printed, want);
}

TEST(PrintLayout, LongTextsAreCutInsideTheirColumn) {
    const std::wstring longTitle(200, L'W');
    const std::wstring longUrl = L"http://site/watch?v=" + std::wstring(200, L'x');
    const std::vector<CPrintLine> lines = {{longUrl, longTitle, L"1023.99MB", L"Downloading"}};
    const CListPageLayout l = Layout(600, 400, lines);
    Page page = DrawPage(l, lines, 0);
    bool sawTitle = false, sawUrl = false;
    for (const Text& t : page.texts) {
        if (t.y != l.LineTop(0))
            continue;
        if (t.x == l.columns[1]) {
            sawTitle = true;
            EXPECT_LT(t.text.size(), longTitle.size());
            EXPECT_LE(t.x + TextWidth(t.text), l.columns[2] - l.gap) << t.text.size();
        } else if (t.x == l.columns[0]) {
            sawUrl = true;
            EXPECT_EQ(t.text.rfind(L"http://site/", 0), 0u);
            EXPECT_LE(t.x + TextWidth(t.text), l.columns[1] - l.gap);
        }
    }
    EXPECT_TRUE(sawTitle);
    EXPECT_TRUE(sawUrl);
    // Size and status are never cut.
    EXPECT_NE(Find(page, L"1023.99MB"), nullptr);
    EXPECT_NE(Find(page, L"Downloading"), nullptr);
}

// Pages as metafiles, refusing the page numbered `refuse` (from 0) if asked.
class MetafilePages : public IPageSink {
public:
    explicit MetafilePages(int refuse = -1) : m_refuse(refuse) {}
    ~MetafilePages() override {
        if (m_dc)
            DeleteEnhMetaFile(CloseEnhMetaFile(m_dc));
    }
    HDC BeginPage() override {
        if (static_cast<int>(pages.size()) == m_refuse)
            return nullptr;
        m_dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
        return m_dc;
    }
    bool EndPage() override {
        HENHMETAFILE emf = CloseEnhMetaFile(m_dc);
        m_dc = nullptr;
        Page page;
        EnumEnhMetaFile(nullptr, emf, CollectRecord, &page, nullptr);
        DeleteEnhMetaFile(emf);
        pages.push_back(page);
        return true;
    }
    std::vector<Page> pages;

private:
    int m_refuse;
    HDC m_dc = nullptr;
};

TEST(PrintJob, EveryPageInTurnAndNoneAfterARefusal) {
    HDC screen = GetDC(nullptr);
    // Lines for two full pages and one line on a third, at the screen's page size.
    const std::size_t per =
        Layout(GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES), Lines(1))
            .linesPerPage;
    const auto lines = Lines(static_cast<int>(2 * per + 1));

    MetafilePages all;
    EXPECT_TRUE(PrintPages(all, screen, L"Project.torvane", lines));
    ASSERT_EQ(all.pages.size(), 3u);
    for (std::size_t p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        EXPECT_NE(Find(all.pages[p], L"Page " + std::to_wstring(p + 1) + L" of 3"), nullptr);
        EXPECT_NE(Find(all.pages[p], lines[p * per].url), nullptr); // its first movie
        EXPECT_NE(Find(all.pages[p], L"Project.torvane"), nullptr);
    }

    MetafilePages refusing(1);
    EXPECT_FALSE(PrintPages(refusing, screen, L"Project.torvane", lines));
    EXPECT_EQ(refusing.pages.size(), 1u);
    ReleaseDC(nullptr, screen);
}

} // namespace
