// The terminal view as threads hand it text in any timing: what it shows once everything handed
// over is shown, that handing over never waits for the window, and a view that goes away while
// text waits for it.

#include "terminal/CDrelView.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "connection/ConnectionDisplay.h"
#include "support/Recorders.h"
#include "support/ScriptedSerialService.h"
#include "support/Watchdog.h"
#include "terminal/DisplayBytes.h"
#include "terminal/ShowTextRules.h"

using namespace drel;

namespace {

constexpr int kPatienceMs = 10000;

// Runs as a device sends them: text, backspaces, line ends of every kind, zero bytes, long runs
// and empty ones; about 70 KB in all, so that the text is trimmed many times over.
std::vector<std::string> RandomRuns(unsigned seed) {
    std::mt19937 random(seed);
    const std::string mixes[] = {
        "abcdefghijklmnopqrstuvwxyz ",  // text
        "ab\b\b\bcd",                   // backspaces within and past the run
        "x\r\n\r\n\r\ny",               // line ends paired, lone and doubled
        std::string("a\0b\0", 4),       // zero bytes
        "\b\b\b\b\r",                   // erasing into what is shown
    };
    std::vector<std::string> runs;
    for (size_t total = 0; total < 70000;) {
        const std::string& mix = mixes[random() % std::size(mixes)];
        const size_t length = random() % 4 == 0 ? 80 : random() % 81;
        std::string run;
        for (size_t i = 0; i < length; ++i) {
            run.push_back(mix[random() % mix.size()]);
        }
        total += run.size();
        runs.push_back(std::move(run));
    }
    return runs;
}

// The text that showing `runs` one by one under the display rules makes of an empty terminal.
std::string ShownOneByOne(const std::vector<std::string>& runs) {
    test::RecordingView model;
    for (const std::string& run : runs) {
        DisplayBytes(&model, reinterpret_cast<const uint8_t*>(run.data()),
                     static_cast<int>(run.size()));
    }
    return model.Text();
}

// Where the two texts first differ, for a failure message.
std::string FirstDifference(const std::string& shown, const std::string& expected) {
    size_t at = 0;
    while (at < shown.size() && at < expected.size() && shown[at] == expected[at]) {
        ++at;
    }
    return "lengths " + std::to_string(shown.size()) + " and " + std::to_string(expected.size()) +
           ", first difference at " + std::to_string(at);
}

}  // namespace

// Runs handed over from another thread in random bursts and pauses, while the window shows
// what waits at its own pace (and now and then at once, as saving does), end as the text that
// showing them one by one makes, byte for byte.
TEST(TerminalViewTest, RunsShownInAnyTimingMakeTheTextOfTheRulesShownOneByOne) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        const std::vector<std::string> runs = RandomRuns(seed);
        const std::string expected = ShownOneByOne(runs);
        CDrelView view;
        std::atomic<bool> handedOver{false};
        std::thread device([&] {
            std::mt19937 pace(seed);
            for (const std::string& run : runs) {
                DisplayBytes(&view, reinterpret_cast<const uint8_t*>(run.data()),
                             static_cast<int>(run.size()));
                // A pause of up to 300 microseconds now and then, spun on the clock: a pause
                // of yields would last as long as a busy machine's other work likes.
                const auto pause = std::chrono::microseconds(pace() % 8 == 0 ? pace() % 300 : 0);
                for (const auto until = std::chrono::steady_clock::now() + pause;
                     std::chrono::steady_clock::now() < until;) {
                }
            }
            handedOver = true;
        });
        std::mt19937 window(seed + 100);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!handedOver && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            if (window() % 32 == 0) {
                view.ApplyPendingText();
            }
        }
        test::CallWatched("the device's thread", [&] { device.join(); });
        const bool shown =
            QTest::qWaitFor([&] { return view.GetWindowText() == expected; }, kPatienceMs);
        EXPECT_TRUE(shown) << FirstDifference(view.GetWindowText(), expected);
    }
}

// Handing text over does not wait for the window: a thread hands over a flood while the
// user-interface thread serves nothing, and the window shows its end once it serves again.
TEST(TerminalViewTest, HandingTextOverNeverWaitsForTheWindow) {
    CDrelView view;
    const std::string line = "a line of a flood\r\n";
    std::thread device([&] {
        for (int i = 0; i < 100000; ++i) {
            view.ShowText(line);
        }
        view.ShowText("end");
    });
    // Returns while this thread, the window's, has served nothing.
    test::CallWatched("handing over a flood", [&] { device.join(); });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::string text = view.GetWindowText();
            return text.size() > 3 && text.compare(text.size() - 3, 3, "end") == 0;
        },
        kPatienceMs));
    EXPECT_LE(view.GetWindowText().size(), kTrimThreshold + 2 * line.size());
}

// A window released from its connection while the receive loop floods it, and then destroyed
// with text still waiting and its wake still queued, is never handed text again.
TEST(TerminalViewTest, AViewReleasedWhileTextWaitsCanGoAway) {
    test::ScriptedSerialService service;
    test::RecordingUserInterface ui;
    PortConnection c{service, ui};
    auto* view = new CDrelView;
    SetOutputView(c, view);
    std::atomic<bool> stop{false};
    std::atomic<int> handed{0};
    std::thread loop([&] {
        const std::string line = "flood\r\n";
        while (!stop) {
            DisplayBytes(c, reinterpret_cast<const uint8_t*>(line.data()),
                         static_cast<int>(line.size()));
            ++handed;
        }
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->GetWindowText().empty(); }, kPatienceMs));
    ReleaseOutputView(c, view);
    delete view;
    const int handedAtRelease = handed;
    ASSERT_TRUE(QTest::qWaitFor([&] { return handed > handedAtRelease + 1000; }, kPatienceMs));
    QCoreApplication::processEvents();  // a wake posted for the view went with it
    stop = true;
    test::CallWatched("the loop's thread", [&] { loop.join(); });
    EXPECT_EQ(c.outputView.load(), nullptr);
}

// A frame with nothing new for a window leaves the user's selection in it alone; text that
// comes lands at the end whatever the selection.
TEST(TerminalViewTest, OnlyTextThatCameMovesTheSelectionToTheEnd) {
    CDrelView view;
    view.ShowText("first line\r\nsecond line");
    view.ApplyPendingText();
    view.SetSel(0, 5);
    view.ApplyPendingText();
    QCoreApplication::processEvents();  // the editor shows a selection set by the program
    EXPECT_EQ(view.GetEditCtrl().textCursor().selectedText().toStdString(), "first");

    view.ShowText("\r\nthird");
    view.ApplyPendingText();
    EXPECT_EQ(view.GetWindowText(), "first line\r\nsecond line\r\nthird");
    EXPECT_FALSE(view.GetEditCtrl().textCursor().hasSelection());
    EXPECT_TRUE(view.GetEditCtrl().textCursor().atEnd());
}
