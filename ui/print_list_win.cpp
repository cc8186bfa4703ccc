#include "ui/print_list.h"

#include "model/movie_list.h"

#include <winspool.h>

#include <algorithm>

std::vector<CPrintLine> MovieListLines(const CYoutubeFileList& movies) {
    std::vector<CPrintLine> lines;
    auto pos = movies.GetStartPosition();
    while (pos) {
        std::uint16_t key = 0;
        MoviePtr movie;
        movies.GetNextAssoc(pos, key, movie);
        if (movie)
            lines.push_back(
                {movie->m_strUrl, movie->m_strTitle, movie->GetSizeText(), movie->GetStatusText()});
    }
    return lines;
}

std::size_t CListPageLayout::PageCount(std::size_t lines) const {
    std::size_t per = std::max<std::size_t>(linesPerPage, 1);
    return lines == 0 ? 1 : (lines + per - 1) / per;
}

CListPageLayout ListPageLayout(int width, int height, int dpiX, int dpiY, int lineHeight,
                               int sizeWidth, int statusWidth) {
    CListPageLayout l;
    width = std::max(width, 1);
    height = std::max(height, 1);
    lineHeight = std::max(lineHeight, 1);
    // Half an inch, but never more than a tenth of the page.
    int mx = std::min(std::max(dpiX, 0) / 2, width / 10);
    int my = std::min(std::max(dpiY, 0) / 2, height / 10);
    l.area = {mx, my, width - mx, height - my};
    l.lineHeight = lineHeight;
    l.titleTop = l.area.top;
    l.headingTop = l.titleTop + lineHeight * 3 / 2;
    l.ruleY = l.headingTop + lineHeight + lineHeight / 4;
    l.firstLineTop = l.ruleY + lineHeight / 4 + 1;
    l.footerTop = l.area.bottom - lineHeight;
    int room = l.footerTop - lineHeight / 2 - l.firstLineTop;
    l.linesPerPage = room >= lineHeight ? static_cast<std::size_t>(room / lineHeight) : 1;

    const int w = l.area.right - l.area.left;
    l.gap = std::max(std::min(lineHeight / 2, w / 50), 0);
    const int cap = w / 5;
    const int sizeColumn = std::min(std::max(sizeWidth, 0) + l.gap, cap);
    const int statusColumn = std::min(std::max(statusWidth, 0) + l.gap, cap);
    // Addresses are a little longer than titles as a rule.
    const int shared = std::max(w - sizeColumn - statusColumn, 0);
    l.columns[0] = l.area.left;
    l.columns[1] = l.columns[0] + shared * 55 / 100;
    l.columns[2] = l.columns[0] + shared;
    l.columns[3] = l.columns[2] + sizeColumn;
    l.columns[4] = l.area.right;
    return l;
}

HFONT CreateListPrintFont(HDC dc) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    wcscpy_s(lf.lfFaceName, L"Arial");
    return CreateFontIndirectW(&lf);
}

namespace {

int WidthOf(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

} // namespace

CListPageLayout ListPageLayoutFor(HDC dc, int width, int height,
                                  const std::vector<CPrintLine>& lines) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int sizeWidth = WidthOf(dc, L"Size");
    int statusWidth = WidthOf(dc, L"Status");
    for (int status = Ready; status <= Cancelled; ++status)
        statusWidth = std::max(statusWidth, WidthOf(dc, MovieStatusText(status)));
    for (const CPrintLine& line : lines) {
        sizeWidth = std::max(sizeWidth, WidthOf(dc, line.size));
        statusWidth = std::max(statusWidth, WidthOf(dc, line.status));
    }
    return ListPageLayout(width, height, GetDeviceCaps(dc, LOGPIXELSX),
                          GetDeviceCaps(dc, LOGPIXELSY),
                          (tm.tmHeight + tm.tmExternalLeading) * 6 / 5, sizeWidth, statusWidth);
}

namespace {

void Cell(HDC dc, const std::wstring& text, int left, int top, int right, int height,
          UINT align = DT_LEFT) {
    if (text.empty() || right <= left)
        return;
    RECT rc{left, top, right, top + height};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
              align | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void Row(HDC dc, const CListPageLayout& l, int top, const std::wstring* texts) {
    for (int c = 0; c < 4; ++c)
        Cell(dc, texts[c], l.columns[c], top, l.columns[c + 1] - l.gap, l.lineHeight,
             c == 2 ? DT_RIGHT : DT_LEFT);
}

} // namespace

void DrawListPage(HDC dc, const CListPageLayout& l, const std::wstring& docName,
                  const std::vector<CPrintLine>& lines, std::size_t page) {
    const std::size_t pages = l.PageCount(lines.size());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));

    Cell(dc, docName, l.area.left, l.titleTop, l.area.right, l.lineHeight);
    const std::wstring headings[4] = {L"Address", L"Title", L"Size", L"Status"};
    Row(dc, l, l.headingTop, headings);
    HPEN pen = CreatePen(PS_SOLID, std::max(1, l.lineHeight / 16), RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    MoveToEx(dc, l.area.left, l.ruleY, nullptr);
    LineTo(dc, l.area.right, l.ruleY);
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    const std::size_t first = page * l.linesPerPage;
    for (std::size_t i = 0; i < l.linesPerPage && first + i < lines.size(); ++i) {
        const CPrintLine& line = lines[first + i];
        const std::wstring texts[4] = {line.url, line.title, line.size, line.status};
        Row(dc, l, l.LineTop(i), texts);
    }

    std::wstring footer = L"Page " + std::to_wstring(page + 1) + L" of " + std::to_wstring(pages);
    Cell(dc, footer, l.area.left, l.footerTop, l.area.right, l.lineHeight, DT_CENTER);
}

// ---------------------------------------------------------------- printer

CPrinterDC::~CPrinterDC() {
    if (m_hDC)
        DeleteDC(m_hDC);
}

bool CPrinterDC::Open(const std::wstring& printer) {
    if (m_hDC) {
        DeleteDC(m_hDC);
        m_hDC = nullptr;
    }
    m_strName = printer;
    if (m_strName.empty()) {
        DWORD size = 0;
        GetDefaultPrinterW(nullptr, &size);
        if (size == 0 || size > 32768)
            return false;
        std::wstring name(size, L'\0');
        if (!GetDefaultPrinterW(name.data(), &size))
            return false;
        name.resize(wcsnlen(name.c_str(), name.size()));
        m_strName = name;
    }
    if (m_strName.empty())
        return false;
    m_hDC = CreateDCW(L"WINSPOOL", m_strName.c_str(), nullptr, nullptr);
    return m_hDC != nullptr;
}

bool PrintPages(IPageSink& sink, HDC measure, const std::wstring& docName,
                const std::vector<CPrintLine>& lines) {
    HFONT font = CreateListPrintFont(measure);
    HGDIOBJ oldFont = SelectObject(measure, font);
    const CListPageLayout layout = ListPageLayoutFor(measure, GetDeviceCaps(measure, HORZRES),
                                                     GetDeviceCaps(measure, VERTRES), lines);
    SelectObject(measure, oldFont);
    bool ok = true;
    for (std::size_t page = 0; ok && page < layout.PageCount(lines.size()); ++page) {
        HDC dc = sink.BeginPage();
        if (!dc) {
            ok = false;
            break;
        }
        // Each page may come with a fresh context (a printer driver may reset it).
        HGDIOBJ old = SelectObject(dc, font);
        DrawListPage(dc, layout, docName, lines, page);
        SelectObject(dc, old);
        ok = sink.EndPage();
    }
    DeleteObject(font);
    return ok;
}

namespace {

class PrinterPages : public IPageSink {
public:
    explicit PrinterPages(HDC printer) : m_printer(printer) {}
    HDC BeginPage() override { return StartPage(m_printer) > 0 ? m_printer : nullptr; }
    bool EndPage() override { return ::EndPage(m_printer) > 0; }

private:
    HDC m_printer;
};

} // namespace

bool PrintMovieList(HDC printer, const std::wstring& docName,
                    const std::vector<CPrintLine>& lines) {
    if (!printer)
        return false;
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = docName.c_str();
    if (StartDocW(printer, &info) <= 0)
        return false;
    PrinterPages pages(printer);
    if (!PrintPages(pages, printer, docName, lines)) {
        // Nothing half-printed is left in the queue.
        AbortDoc(printer);
        return false;
    }
    return EndDoc(printer) > 0;
}
