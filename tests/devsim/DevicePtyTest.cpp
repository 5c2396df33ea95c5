// The device's end of the pseudo-terminal, with this test as the host on the slave side.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "WaitHelpers.h"
#include "tools/devsim/DevicePty.h"

namespace {

using drel::devsim::DevicePty;
using drel::devsim::test::Clock;
using drel::devsim::test::WaitReadable;

TEST(DevicePtyTest, DeliversEveryQueuedByteUnchangedToAHostThatReadsLate) {
    DevicePty pty;
    std::string error;
    ASSERT_TRUE(pty.Open(error)) << error;
    const int host = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(host, 0);
    // Every byte value, CR, LF, XON/XOFF and the interrupt characters included: the line is raw.
    std::string payload(256 * 1024, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<char>(i * 7 % 256);
    }

    pty.Queue(payload);
    ASSERT_TRUE(pty.WriteQueued(error)) << error;
    EXPECT_GT(pty.queuedBytes(), 0u) << "the line took everything at once";

    const auto deadline = Clock::now() + std::chrono::seconds(20);
    std::string received;
    while (received.size() < payload.size() && WaitReadable(host, deadline)) {
        char chunk[4096];
        const ssize_t got = read(host, chunk, sizeof chunk);
        ASSERT_GT(got, 0);
        received.append(chunk, static_cast<std::size_t>(got));
        ASSERT_TRUE(pty.WriteQueued(error)) << error;
    }
    EXPECT_EQ(received.size(), payload.size());
    EXPECT_TRUE(received == payload) << "bytes were changed on the way";
    EXPECT_EQ(pty.queuedBytes(), 0u);
    close(host);
}

}  // namespace
