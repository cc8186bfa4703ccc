// Figures for the movie list view with 10,000 movies in a 1280 x 900 window:
// a full rebuild of the rows against a bare list view getting the same rows
// and texts in the same run (its floor), and one run-time refresh tick with
// one row downloading. Rebuilds are the best of several rounds, as single
// rounds vary a lot on a busy machine; the tick is the median of many.
#include "framework/app.h"
#include "framework/frame.h"
#include "framework/strings.h"
#include "res/resource.h"
#include "ui/main_frame.h"
#include "ui/pelgrane_doc.h"
#include "ui/pelgrane_view.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int kMovies = 10000;
constexpr int kRounds = 5;
constexpr int kTicks = 50;

struct MemoryReader : IWatchPageReader {
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        title = L"A movie with an ordinary title " + url.substr(url.size() - 11);
        return L"http://127.0.0.1:8080/get_video?video_id=" + url.substr(url.size() - 11) +
               L"&t=vjVQa1PpcFMJxVmB3lHtV8c6SrKXGEZj8S6c2ak5Xag%3d";
    }
};

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring Id(int i) {
    wchar_t id[16];
    std::swprintf(id, 16, L"%011d", i);
    return id;
}

// The floor: a bare report list view in the same place, five columns, given
// the same rows and texts with drawing held meanwhile, then painted once.
double BareRebuildMs(HWND parent, const RECT& rc, CYoutubeFileList& movies) {
    HWND list =
        CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, rc.left, rc.top,
                        rc.right - rc.left, rc.bottom - rc.top, parent, nullptr, nullptr, nullptr);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const int widths[] = {25, 150, 80, 80, 80};
    for (int i = 0; i < 5; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = widths[i];
        column.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    Pump();
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        SendMessageW(list, LVM_SETITEMCOUNT, movies.GetCount(), 0);
        auto pos = movies.GetStartPosition();
        while (pos) {
            std::uint16_t key;
            MoviePtr m;
            movies.GetNextAssoc(pos, key, m);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = INT_MAX;
            item.pszText = const_cast<wchar_t*>(L"");
            const int row = static_cast<int>(
                SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            const std::wstring texts[] = {m->m_strUrl, m->m_strTitle, m->GetSizeText(),
                                          m->GetStatusText()};
            for (int c = 0; c < 4; ++c) {
                LVITEMW sub{};
                sub.iSubItem = c + 1;
                sub.pszText = const_cast<wchar_t*>(texts[c].c_str());
                SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
            }
        }
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        UpdateWindow(list);
        best = std::min(best, MsSince(start));
        Pump();
    }
    DestroyWindow(list);
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) // a smaller list, to look at how the figures grow
        kMovies = std::max(1, std::atoi(argv[1]));
    CWinApp app(L"Torvane Brenlow");
    MemoryReader reader;
    app.AddDocTemplate(std::make_unique<CSingleDocTemplate>(
        IDR_MAINFRAME, LoadResString(IDR_MAINFRAME),
        [&]() -> std::unique_ptr<CDocument> {
            auto doc = std::make_unique<CPelgraneDoc>();
            doc->SetSite(&reader, nullptr, L"http://127.0.0.1:8080/");
            return doc;
        },
        [] { return std::make_unique<CMainFrame>(); },
        [] { return std::make_unique<CPelgraneView>(); }));
    auto* doc = static_cast<CPelgraneDoc*>(app.GetDocTemplate()->OpenDocumentFile(L""));
    if (!doc) {
        std::fprintf(stderr, "bench_list: no document\n");
        return 1;
    }
    auto* frame = static_cast<CMainFrame*>(app.GetDocTemplate()->GetFrame());
    auto* view = static_cast<CPelgraneView*>(frame->GetActiveView());
    SetWindowPos(frame->m_hWnd, nullptr, 0, 0, 1280, 900, SWP_NOZORDER);
    frame->ShowWindow(SW_SHOW);
    Pump();

    for (int i = 0; i < kMovies; ++i) {
        MoviePtr m = doc->m_movies.AddMovie(L"http://127.0.0.1:8080/watch?v=" + Id(i));
        m->m_bChecked = i % 3 == 0;
        m->m_dwSize = i % 2 ? 0u : 3000000u + i;
        m->m_nStatus = i % 2 ? Ready : Completed;
    }

    // Rebuilds: the view's forced rebuild (as at every New or Open), painted.
    // Rounds stop early once they took half a minute together: a slow
    // rebuild is then measured well enough, and bench/run stays short.
    double rebuild = 1e9;
    const auto rounds = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds && MsSince(rounds) < 30000; ++round) {
        const auto start = std::chrono::steady_clock::now();
        view->OnInitialUpdate();
        UpdateWindow(view->m_listMovies.m_hWnd);
        rebuild = std::min(rebuild, MsSince(start));
        Pump();
    }
    const double floor = BareRebuildMs(view->m_hWnd, view->GetClientRect(), doc->m_movies);

    // Ticks: one visible row downloading with a bar whose percent moves.
    CYoutubeFile* downloading = view->GetRowMovie(3);
    downloading->m_nStatus = Downloading;
    downloading->m_dwSize = 50000000;
    view->RefreshRunRows();
    Pump();
    std::vector<double> ticks;
    for (int i = 0; i < kTicks; ++i) {
        downloading->m_nProgress = i % 100;
        const auto start = std::chrono::steady_clock::now();
        view->RefreshRunRows();
        ticks.push_back(MsSince(start));
        Pump();
    }
    std::sort(ticks.begin(), ticks.end());
    const double tick = ticks[ticks.size() / 2];

    std::printf("list_rebuild_10000_ms: %.1f ms\n", rebuild);
    std::printf("list_rebuild_floor_ms: %.1f ms\n", floor);
    std::printf("list_rebuild_ratio: %.2f ratio\n", rebuild / floor);
    std::printf("list_tick_10000_ms: %.2f ms\n", tick);
    app.m_pMainWnd = nullptr;
    app.AddDocTemplate(nullptr);
    return 0;
}
