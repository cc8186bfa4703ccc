#include "main_window_fixture.h"
#include "tests/poll.h"

#include "framework/strings.h"
#include "res/resource.h"

#include <windows.h>

#include <memory>
#include <system_error>
#include <thread>

namespace tb::test {

CTestApp::CTestApp() : CWinApp(L"Torvane Brenlow") {}

CTestApp& App() {
    static CTestApp app;
    return app;
}

bool PumpUntil(const std::function<bool()>& cond, std::chrono::milliseconds limit,
               std::chrono::milliseconds step) {
    return tb::test::WaitUntil(
        [&] {
            App().PumpWaitingMessages();
            return cond();
        },
        limit, step);
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring PageMapReader::GetVideoUrl(const std::wstring& url, std::wstring& title) {
    auto it = m_pages.find(url);
    if (it == m_pages.end())
        return {};
    title = it->second.first;
    return it->second.second;
}

void MainWindowTest::SetUp() {
    folder = std::filesystem::temp_directory_path() /
             (m_scratchName + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    CWinApp& app = App();
    app.AddDocTemplate(std::make_unique<CSingleDocTemplate>(
        IDR_MAINFRAME, LoadResString(IDR_MAINFRAME),
        [this]() -> std::unique_ptr<CDocument> {
            auto made = std::make_unique<CPelgraneDoc>();
            ConfigureDocument(*made);
            return made;
        },
        [] { return std::make_unique<CMainFrame>(); },
        [] { return std::make_unique<CPelgraneView>(); }));
    doc = static_cast<CPelgraneDoc*>(app.GetDocTemplate()->OpenDocumentFile(L""));
    ASSERT_NE(doc, nullptr);
    frame = static_cast<CMainFrame*>(app.GetDocTemplate()->GetFrame());
    view = static_cast<CPelgraneView*>(frame->GetActiveView());
}

void MainWindowTest::TearDown() {
    CWinApp& app = App();
    // The windows go with the template; no quit message for the next test.
    app.m_pMainWnd = nullptr;
    app.AddDocTemplate(nullptr);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

std::wstring MainWindowTest::DefaultProject() const {
    return (folder / L"Default.torvane").wstring();
}

void MainWindowTest::UseScratchOutput(CPelgraneDoc& target) const {
    const std::wstring out = (folder / L"Output").wstring();
    target.m_run.SetOutputFolder([out] {
        CreateDirectoryW(out.c_str(), nullptr);
        return out;
    });
}

} // namespace tb::test
