#pragma once
// The program's main window in this test process, built through the document
// template the way the program builds it: the template makes document, frame
// and view; each test configures every new document before it opens (site,
// reader, folders); after the test the windows go with the template and the
// scratch folder is removed.
#include "framework/app.h"
#include "ui/main_frame.h"
#include "ui/pelgrane_doc.h"
#include "ui/pelgrane_view.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace tb::test {

// The application object of a test program. The program maps its application
// commands in its own constructor; a test maps the ones it needs.
class CTestApp : public CWinApp {
public:
    CTestApp();
    using CCmdTarget::OnCommand;
};
CTestApp& App();

// Runs this thread's messages the way the program does (accelerators and idle
// command states included) until `cond` holds or the time is up, looking
// again every `step`.
bool PumpUntil(const std::function<bool()>& cond,
               std::chrono::milliseconds limit = std::chrono::seconds(30),
               std::chrono::milliseconds step = std::chrono::milliseconds(5));

// The test movies' ids and titles are ASCII.
std::wstring Wide(const std::string& ascii);

// Watch pages by address: the title and the video address the reader gives;
// an unknown page gives neither.
class PageMapReader : public IWatchPageReader {
public:
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override;
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> m_pages;
};

class MainWindowTest : public ::testing::Test {
protected:
    // `scratchName`: the start of the scratch folder's name under the temp folder.
    explicit MainWindowTest(const wchar_t* scratchName) : m_scratchName(scratchName) {}

    // Makes the scratch folder, installs the template and opens an untitled
    // document; doc, frame and view are set afterwards.
    void SetUp() override;
    // Removes the template (and with it the windows), lets their last
    // messages run and removes the scratch folder.
    void TearDown() override;

    // The test's own setup of each document the template makes, before it opens.
    virtual void ConfigureDocument(CPelgraneDoc& doc) = 0;

    // For ConfigureDocument: the project saved at close lives in the scratch folder.
    std::wstring DefaultProject() const;
    // For ConfigureDocument: downloads go to "Output" in the scratch folder,
    // made when a run asks for it.
    void UseScratchOutput(CPelgraneDoc& doc) const;

    std::filesystem::path folder;
    CPelgraneDoc* doc = nullptr;
    CMainFrame* frame = nullptr;
    CPelgraneView* view = nullptr;

private:
    const wchar_t* m_scratchName;
};

} // namespace tb::test
