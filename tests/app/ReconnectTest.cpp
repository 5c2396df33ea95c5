// A terminal whose device goes away and comes back, as an adapter unplugged and plugged in again
// does: a pseudo-terminal published as a port link is hung up, and a new one takes the link.

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <QStatusBar>

#include "app/DrelAppFixture.h"
#include "framework/CStatusBar.h"
#include "platform/PortNames.h"
#include "resources/resource.h"

namespace drel::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

size_t CountEntries(const char* folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

// What the process holds: its open descriptors and its threads.
struct Holdings {
    size_t descriptors;
    size_t threads;
    bool operator==(const Holdings&) const = default;
};

Holdings Held() {
    return {CountEntries("/proc/self/fd"), CountEntries("/proc/self/task")};
}

class ReconnectTest : public DrelAppTest {
  protected:
    std::string StatusMessage() const {
        auto* bar = dynamic_cast<CStatusBar*>(Frame()->findChild<QStatusBar*>());
        return bar != nullptr ? bar->GetPaneText(0) : "(no status bar)";
    }

    // Hangs the device up and waits for the terminal to say so. The link goes first, as udev
    // removes its links: the freed pseudo-terminal's number may go to another test at once.
    void Unplug(PseudoTerminal& gone, const std::string& shownBefore) {
        std::filesystem::remove(std::filesystem::path(platform::PortLinksFolder()) / "COM2");
        gone.HangUp();
        shown_ = shownBefore + "\r\n[COM2 disconnected]\r\n";
        ExpectShown(ActiveView(), shown_);
    }

    // A new device takes the name; returns it once the terminal says it is back, and how long
    // that took.
    PseudoTerminal& Replug(Clock::duration& took) {
        const auto start = Clock::now();
        PseudoTerminal& back = PublishDevice("COM2");
        shown_ += "[COM2 reconnected]\r\n";
        ExpectShown(ActiveView(), shown_);
        took = Clock::now() - start;
        return back;
    }

    std::string shown_;
};

TEST_F(ReconnectTest, TwentyUnplugsEachComeBackWithTheSameSettingsAndNothingLeaks) {
    ASSERT_NO_FATAL_FAILURE(StartApp(AcceptDefaults, {"--reconnect", "--port", "COM2"}));
    CDrelView* view = ActiveView();
    ASSERT_NE(view, nullptr);
    ASSERT_NO_FATAL_FAILURE(Focus(view));
    PseudoTerminal* current = device;
    Holdings afterFirst{};
    Clock::duration slowest{};
    for (int cycle = 1; cycle <= 20; ++cycle) {
        ASSERT_NO_FATAL_FAILURE(Unplug(*current, shown_)) << "cycle " << cycle;
        EXPECT_EQ(StatusMessage(), "Waiting for COM2 to return");
        Clock::duration took{};
        current = &Replug(took);
        ASSERT_FALSE(HasFailure()) << "cycle " << cycle;
        slowest = std::max(slowest, took);
        // The line is set up as before: a new pseudo-terminal starts at 38400 baud.
        termios line{};
        ASSERT_EQ(tcgetattr(current->SlaveFd(), &line), 0);
        EXPECT_EQ(cfgetospeed(&line), B115200) << "cycle " << cycle;
        Press(Qt::Key_A);
        EXPECT_EQ(Received(*current, 1), "a") << "cycle " << cycle;
        if (cycle == 1) {
            afterFirst = Held();
        }
    }
    EXPECT_EQ(Held(), afterFirst);
    EXPECT_TRUE(boxes.empty()) << boxes.front().text;
    std::printf("slowest of 20 reconnects: %lld ms\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count()));
}

TEST_F(ReconnectTest, ClosingTheWindowWhileItWaitsEndsAtOnce) {
    ASSERT_NO_FATAL_FAILURE(StartApp(AcceptDefaults, {"--reconnect"}));
    ASSERT_NO_FATAL_FAILURE(Unplug(*device, ""));
    // The close must not wait for a device that may never come back.
    CloseWindow(ActiveView()->GetParentFrame()->Widget(), 5s);
    EXPECT_TRUE(WaitUntil([&] { return ActiveView() == nullptr; }));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ReconnectTest, TheMenuChoiceIsRememberedAndOffTellsTheUserOnce) {
    ASSERT_NO_FATAL_FAILURE(StartApp());
    EXPECT_FALSE(app->ReconnectAutomatically());  // a new user sees the old behaviour
    ASSERT_TRUE(Command(ID_PORT_RECONNECT));
    EXPECT_TRUE(app->ReconnectAutomatically());
    ASSERT_NO_FATAL_FAILURE(EndApp());
    ASSERT_NO_FATAL_FAILURE(StartApp());
    EXPECT_TRUE(app->ReconnectAutomatically());
    ASSERT_TRUE(Command(ID_PORT_RECONNECT));
    ASSERT_NO_FATAL_FAILURE(EndApp());

    ASSERT_NO_FATAL_FAILURE(StartApp());
    EXPECT_FALSE(app->ReconnectAutomatically());
    device->HangUp();
    ASSERT_TRUE(WaitUntil([&] { return boxes.size() == 1; }));
    EXPECT_EQ(boxes[0].text, "COM2 port read error occured");
    EXPECT_EQ(ActiveView()->GetWindowText().find("disconnected"), std::string::npos);
}

}  // namespace
}  // namespace drel::test
