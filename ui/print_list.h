#pragma once
// The movie list on paper, for the shell's print and print-to commands: a
// header with the project's name and the column headings, one line per movie
// (address, title, size, status, in the list's order) and "Page n of N" at the
// foot of every page.
//
// The page layout is computed from the page's size and resolution alone
// (ListPageLayout), and a page is drawn onto any device context
// (DrawListPage), so the same code serves a printer and a metafile.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

class CYoutubeFileList;

// One printed line: the texts the list shows for one movie.
struct CPrintLine {
    std::wstring url, title, size, status;
};

// The lines of every movie, in the collection's enumeration order.
std::vector<CPrintLine> MovieListLines(const CYoutubeFileList& movies);

// Where everything goes on a page, in the device's units.
struct CListPageLayout {
    RECT area{}; // the page inside its margins
    int lineHeight = 0;
    int titleTop = 0;   // the project's name
    int headingTop = 0; // the column headings, ruled below
    int ruleY = 0;
    int firstLineTop = 0;
    int footerTop = 0; // "Page n of N"
    // Left edges of address, title, size and status, then the right edge.
    int columns[5] = {};
    int gap = 0; // left free at the right of each column
    std::size_t linesPerPage = 1;

    std::size_t PageCount(std::size_t lines) const;
    int LineTop(std::size_t indexOnPage) const {
        return firstLineTop + static_cast<int>(indexOnPage) * lineHeight;
    }
};

// The layout of a page `width` x `height` device units at `dpiX` x `dpiY`
// whose text lines are `lineHeight` high. Margins are half an inch (less on a
// page too small for them); at least one movie line fits on every page, even
// when it then overlaps the foot. The size and status columns are as wide as
// their widest texts (`sizeWidth`, `statusWidth`, at most a fifth of the page
// each), so they are never cut; address and title share the rest.
CListPageLayout ListPageLayout(int width, int height, int dpiX, int dpiY, int lineHeight,
                               int sizeWidth, int statusWidth);
// The same for the font selected into `dc`, measuring `lines` and the status
// texts in it.
CListPageLayout ListPageLayoutFor(HDC dc, int width, int height,
                                  const std::vector<CPrintLine>& lines);

// The font the list is printed in (10 points at the device's resolution).
HFONT CreateListPrintFont(HDC dc);

// Draws page `page` (from 0) of `lines` with the font selected into `dc`.
void DrawListPage(HDC dc, const CListPageLayout& layout, const std::wstring& docName,
                  const std::vector<CPrintLine>& lines, std::size_t page);

// A printer's device context, deleted with the object.
class CPrinterDC {
public:
    CPrinterDC() = default;
    ~CPrinterDC();
    CPrinterDC(const CPrinterDC&) = delete;
    CPrinterDC& operator=(const CPrinterDC&) = delete;

    // Opens `printer`, or the user's default printer when it is empty. False
    // when there is no such printer (or no printer at all).
    bool Open(const std::wstring& printer);
    HDC Get() const { return m_hDC; }
    const std::wstring& Name() const { return m_strName; }

private:
    HDC m_hDC = nullptr;
    std::wstring m_strName;
};

// Where printed pages go: a printer, or anything else that hands out a device
// context for each page in turn.
class IPageSink {
public:
    virtual ~IPageSink() = default;
    // The context to draw the next page on; null when the page was refused.
    virtual HDC BeginPage() = 0;
    // False when the finished page was refused.
    virtual bool EndPage() = 0;
};

// Every page of `lines` into `sink`, laid out for the page size and
// resolution of `measure`. False as soon as a page is refused; no page after
// it is begun.
bool PrintPages(IPageSink& sink, HDC measure, const std::wstring& docName,
                const std::vector<CPrintLine>& lines);

// Prints every page of `lines` as one document named `docName`. False when
// the printer refused the document or a page; a document begun is cancelled.
bool PrintMovieList(HDC printer, const std::wstring& docName, const std::vector<CPrintLine>& lines);
