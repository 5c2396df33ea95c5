// The scripted service's own blocking behaviour, which the connection tests rely on: its waits
// end exactly when the script says, and not before.

#include "support/ScriptedSerialService.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>

#include "platform/CommError.h"
#include "support/Watchdog.h"

using namespace drel::platform;
using drel::test::ScriptedSerialService;
using namespace std::chrono_literals;

namespace {

struct Outcome {
    bool ok;
    uint32_t value;
    uint32_t error;
};

// Starts a WaitCommEvent on another thread and waits until the service has logged it; the
// wait is then blocked or about to check its condition under the service's lock, so any script
// change from here on is seen by it.
std::future<Outcome> StartWait(ScriptedSerialService& service, SerialPort& port) {
    const int before = service.CallCount("WaitCommEvent");
    auto wait = std::async(std::launch::async, [&port] {
        uint32_t events = 99;
        const bool ok = port.WaitCommEvent(events);
        return Outcome{ok, events, ok ? 0 : GetLastError()};
    });
    EXPECT_TRUE(service.WaitForCallCount("WaitCommEvent", before + 1));
    return wait;
}

}  // namespace

TEST(ScriptedSerialServiceTest, WaitEndsOnInputMaskChangeOrHangUp) {
    const struct {
        const char* what;
        void (*end)(ScriptedSerialService&, SerialPort&);
        Outcome expected;
    } cases[] = {
        {"input",
         [](ScriptedSerialService& s, SerialPort&) { s.QueueInput("x"); },
         {true, EV_RXCHAR, 0}},
        {"mask change",
         [](ScriptedSerialService&, SerialPort& p) { p.SetCommMask(EV_BREAK); },
         {true, 0, 0}},
        {"hang-up",
         [](ScriptedSerialService& s, SerialPort&) { s.HangUp(); },
         {false, 0, static_cast<uint32_t>(EIO)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedSerialService service;
        auto port = service.CreateFileA("COM2");
        port->SetCommMask(EV_RXCHAR);
        uint32_t events = 99;
        ASSERT_TRUE(drel::test::CallWatched("a wait after an unseen mask change", [&] {
            return port->WaitCommEvent(events);
        })) << "an unseen mask change ends the next wait";
        EXPECT_EQ(events, 0u);

        // Outlives the future, whose end waits for the wait.
        const drel::test::Watchdog watchdog(std::string("the wait ended by ") + c.what,
                                            2 * drel::test::kHangTimeout);
        auto wait = StartWait(service, *port);
        EXPECT_EQ(wait.wait_for(20ms), std::future_status::timeout) << "nothing ends it yet";
        c.end(service, *port);
        ASSERT_EQ(wait.wait_for(drel::test::kHangTimeout), std::future_status::ready);
        const Outcome outcome = wait.get();
        EXPECT_EQ(outcome.ok, c.expected.ok);
        EXPECT_EQ(outcome.value, c.expected.value);
        EXPECT_EQ(outcome.error, c.expected.error);
    }
}

TEST(ScriptedSerialServiceTest, HeldWriteEndsOnReleaseAbortOrHangUp) {
    const struct {
        const char* what;
        void (*end)(ScriptedSerialService&, SerialPort&);
        bool ok;
        uint32_t error;
    } cases[] = {
        {"release", [](ScriptedSerialService& s, SerialPort&) { s.HoldPendingWrites(false); }, true,
         0},
        {"abort", [](ScriptedSerialService&, SerialPort& p) { p.PurgeComm(PURGE_TXABORT); }, false,
         ERROR_OPERATION_ABORTED},
        {"hang-up", [](ScriptedSerialService& s, SerialPort&) { s.HangUp(); }, false,
         static_cast<uint32_t>(EIO)},
    };
    const uint8_t bytes[] = {'a', 'b', 'c'};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedSerialService service;
        service.PendWrites(ERROR_SUCCESS);
        service.HoldPendingWrites(true);
        auto port = service.CreateFileA("COM2");
        Overlapped block;
        ASSERT_FALSE(port->WriteFile(bytes, 3, block));
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

        // Outlives the future, whose end waits for the completion.
        const drel::test::Watchdog watchdog(std::string("the held write ended by ") + c.what,
                                            2 * drel::test::kHangTimeout);
        auto completion = std::async(std::launch::async, [&] {
            uint32_t transferred = 0;
            const bool ok = port->GetOverlappedResult(block, transferred, true);
            return Outcome{ok, transferred, ok ? 0 : GetLastError()};
        });
        ASSERT_TRUE(service.WaitForCallCount("GetOverlappedResult", 1));
        EXPECT_EQ(completion.wait_for(20ms), std::future_status::timeout) << "held";
        c.end(service, *port);
        ASSERT_EQ(completion.wait_for(drel::test::kHangTimeout), std::future_status::ready);
        const Outcome outcome = completion.get();
        EXPECT_EQ(outcome.ok, c.ok);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(service.Written(), std::vector<uint8_t>(bytes, bytes + 3));
    }
}

TEST(ScriptedSerialServiceTest, PendingWriteReportsIncompleteThenItsCompletion) {
    ScriptedSerialService service;
    service.PendWrites(31, 2);
    auto port = service.CreateFileA("COM2");
    const uint8_t byte = 'k';
    Overlapped block;
    ASSERT_FALSE(port->WriteFile(&byte, 1, block));
    uint32_t transferred = 0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(port->GetOverlappedResult(block, transferred, true));
        EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    }
    EXPECT_FALSE(port->GetOverlappedResult(block, transferred, true));
    EXPECT_EQ(GetLastError(), 31u);
    EXPECT_EQ(service.CallCount("GetOverlappedResult"), 3);
}
