// Command routing and enabling rules, accelerator lookup, the string table's
// prompt form and the shell's command line: the window-free part of the layer.
#include "framework/accel.h"
#include "framework/command.h"
#include "framework/command_line.h"
#include "framework/strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A chain like view -> document -> frame -> application, one target per link.
class Link : public CCmdTarget {
public:
    explicit Link(Link* next = nullptr) : m_next(next) {}
    bool OnCmdMsg(unsigned id, CCmdUI* ui) override {
        return DispatchOwn(id, ui) || (m_next && m_next->OnCmdMsg(id, ui));
    }
    void Handle(unsigned id, std::vector<std::string>& log, std::string name) {
        OnCommand(id, [&log, name] { log.push_back(name); });
    }
    void Enabler(unsigned id, const bool& flag) {
        OnUpdateCommand(id, [&flag](CCmdUI* ui) { ui->Enable(flag); });
    }

private:
    Link* m_next;
};

struct Chain {
    Link app, frame{&app}, doc{&frame}, view{&doc};
    std::vector<std::string> log;
};

TEST(Routing, FirstTargetOnTheChainRunsAndStatesFollowTheRules) {
    Chain c;
    bool running = false;
    c.app.Handle(1, c.log, "app");
    c.doc.Handle(1, c.log, "doc"); // the document comes before the application
    c.view.Handle(2, c.log, "view");
    c.view.Enabler(2, running); // like Download: enabled while idle...
    c.view.Handle(3, c.log, "view");
    bool notRunning = true;
    c.view.Enabler(3, notRunning);
    c.frame.Enabler(4, notRunning); // enabling handler alone, no handler anywhere

    EXPECT_TRUE(c.view.ExecuteCommand(1));
    EXPECT_EQ(c.log, (std::vector<std::string>{"doc"}));

    EXPECT_TRUE(c.view.IsCommandEnabled(1));  // handler, no enabling handler
    EXPECT_FALSE(c.view.IsCommandEnabled(9)); // nobody answers: disabled
    EXPECT_FALSE(c.view.ExecuteCommand(9));

    // A disabled command never runs, whatever issued it.
    EXPECT_FALSE(c.view.IsCommandEnabled(2));
    EXPECT_FALSE(c.view.ExecuteCommand(2));
    running = true;
    EXPECT_TRUE(c.view.ExecuteCommand(2));
    EXPECT_EQ(c.log.back(), "view");

    // Starting further down the chain skips the earlier links.
    EXPECT_FALSE(c.frame.IsCommandEnabled(2));
    c.log.clear();
    EXPECT_TRUE(c.frame.ExecuteCommand(1));
    EXPECT_EQ(c.log, (std::vector<std::string>{"app"}));

    // An enabling handler may enable a command that has no handler: it then runs nothing.
    EXPECT_TRUE(c.view.IsCommandEnabled(4));
    EXPECT_FALSE(c.view.ExecuteCommand(4));
}

TEST(Routing, EnablingHandlerThatSaysNothingFallsBackToTheHandler) {
    Chain c;
    c.doc.Handle(5, c.log, "doc");
    struct Silent : CCmdTarget {
        Silent() {
            OnUpdateCommand(7, [](CCmdUI*) {});
        }
    } silent;
    EXPECT_FALSE(silent.IsCommandEnabled(7)); // no handler: stays disabled
    EXPECT_TRUE(c.view.IsCommandEnabled(5));
}

TEST(Routing, HandlerErrorsReachTheCaller) {
    struct Failing : CCmdTarget {
        Failing() {
            OnCommand(1, [] { throw std::runtime_error("boom"); });
        }
    } target;
    EXPECT_THROW(target.ExecuteCommand(1), std::runtime_error);
}

TEST(Accelerators, ExactModifiersSelectTheEntry) {
    using E = CAccelEntry;
    const std::vector<E> table = {
        {E::virtKey | E::control, 'N', 57600}, {E::virtKey, 0x2D /*Ins*/, 32771},
        {E::virtKey | E::shift, 0x2D, 32772},  {E::virtKey, 0x2E /*Del*/, 32819},
        {E::virtKey, 0x75 /*F6*/, 57680},      {0, 'x', 42},
    };
    struct Case {
        bool keyDown;
        unsigned key;
        bool shift, ctrl, alt;
        unsigned want;
    } cases[] = {
        {true, 'N', false, true, false, 57600}, {true, 'N', false, false, false, 0},
        {true, 'N', true, true, false, 0},      {true, 0x2D, false, false, false, 32771},
        {true, 0x2D, true, false, false, 32772}, {true, 0x2D, false, true, false, 0},
        {true, 0x2E, false, false, false, 32819}, {true, 0x75, false, false, true, 0},
        {false, 'x', false, false, false, 42},  {false, 'x', true, true, false, 42},
        {false, 'x', false, false, true, 0},    {true, 'x', false, false, false, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindAccelCommand(table, c.keyDown, c.key, c.shift, c.ctrl, c.alt), c.want)
            << "key " << c.key << " shift " << c.shift << " ctrl " << c.ctrl;
}

TEST(StringTable, PromptBeforeTheLineFeedTooltipAfter) {
    EXPECT_EQ(PromptPart(L"Create a new document\nNew"), L"Create a new document");
    EXPECT_EQ(TooltipPart(L"Create a new document\nNew"), L"New");
    EXPECT_EQ(PromptPart(L"Add a movie."), L"Add a movie.");
    EXPECT_EQ(TooltipPart(L"Add a movie."), L"");
    const std::wstring doc = L"Torvane Brenlow\n\nTorvane Brenlow\nTorvane Brenlow Files "
                             L"(*.torvane)\n.torvane\nVelmora.Document\nTorvane Brenlow.Document";
    EXPECT_EQ(GetField(doc, 0), L"Torvane Brenlow");
    EXPECT_EQ(GetField(doc, 1), L"");
    EXPECT_EQ(GetField(doc, 4), L".torvane");
    EXPECT_EQ(GetField(doc, 6), L"Torvane Brenlow.Document");
    EXPECT_EQ(GetField(doc, 7), L"");
}

TEST(CommandLine, FileAndPrintForms) {
    struct Case {
        std::vector<std::wstring> args;
        CCommandLineInfo::ShellCommand cmd;
        std::wstring file, printer;
    } cases[] = {
        {{}, CCommandLineInfo::FileNew, L"", L""},
        {{L"C:\\a b\\x.torvane"}, CCommandLineInfo::FileOpen, L"C:\\a b\\x.torvane", L""},
        {{L"/p", L"x.torvane"}, CCommandLineInfo::FilePrint, L"x.torvane", L""},
        {{L"/PT", L"x.torvane", L"Printer", L"drv", L"port"}, CCommandLineInfo::FilePrintTo,
         L"x.torvane", L"Printer"},
    };
    for (const auto& c : cases) {
        CCommandLineInfo info;
        ParseCommandLineArgs(info, c.args);
        EXPECT_EQ(info.m_nShellCommand, c.cmd);
        EXPECT_EQ(info.m_strFileName, c.file);
        EXPECT_EQ(info.m_strPrinterName, c.printer);
    }
}

} // namespace
