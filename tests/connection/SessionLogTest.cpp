// A session log writing to real files, a full device and a FIFO that the test reads as slowly as
// it likes.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "connection/SessionLog.h"
#include "support/DigitPattern.h"
#include "support/Watchdog.h"

using namespace drel;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// A new empty folder for the test's files, removed with them at the end.
struct TemporaryFolder {
    std::filesystem::path path;
    TemporaryFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "drel-log-test-XXXXXX").string();
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        path = pattern;
    }
    ~TemporaryFolder() { std::filesystem::remove_all(path); }
    std::string File(const char* name) const { return (path / name).string(); }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Bytes of every value in a random order.
std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(0, 255);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(value(random));
    }
    return bytes;
}

// Appends `bytes` in reads of the receive loop's sizes, 1 to 4096 bytes.
void AppendInReads(SessionLog& log, const std::string& bytes, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> size(1, 4096);
    for (size_t at = 0; at < bytes.size();) {
        const size_t count = std::min(size(random), bytes.size() - at);
        log.Append(reinterpret_cast<const uint8_t*>(bytes.data() + at), count, LogTime::Now());
        at += count;
    }
}

void Append(SessionLog& log, const std::string& bytes, const LogTime& at) {
    log.Append(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), at);
}

// Collects the failure reports of a log.
struct Reports {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> texts;

    SessionLog::FailureReport Sink() {
        return [this](const std::string& text) {
            std::lock_guard lock(mutex);
            texts.push_back(text);
            changed.notify_all();
        };
    }
    bool WaitForOne() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, test::kHangTimeout, [this] { return !texts.empty(); });
    }
    std::vector<std::string> Texts() {
        std::lock_guard lock(mutex);
        return texts;
    }
};

bool WaitUntil(const std::function<bool()>& condition) {
    for (const auto deadline = Clock::now() + test::kHangTimeout; !condition();) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// Reads `count` bytes from the non-blocking descriptor `fd`, waiting for each piece.
std::string ReadFromFifo(int fd, size_t count) {
    std::string got;
    char piece[8192];
    const auto deadline = Clock::now() + test::kHangTimeout;
    while (got.size() < count && Clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        poll(&ready, 1, 100);
        const ssize_t n = read(fd, piece, std::min(sizeof piece, count - got.size()));
        if (n > 0) {
            got.append(piece, static_cast<size_t>(n));
        }
    }
    return got;
}

// The reading end of a FIFO, opened first so that the log's open does not wait for a reader.
struct Fifo {
    std::string path;
    int reader = -1;
    explicit Fifo(std::string where) : path(std::move(where)) {
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        reader = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(reader, 0);
    }
    ~Fifo() { CloseReader(); }
    void CloseReader() {
        if (reader >= 0) {
            close(reader);
            reader = -1;
        }
    }
};

}  // namespace

TEST(SessionLogTest, RawLogHoldsEveryByteAppended) {
    TemporaryFolder folder;
    const std::string path = folder.File("raw.log");
    const std::string sent = RandomBytes(4 << 20, 7);
    Reports reports;
    {
        SessionLog log(LogFormat::Raw, reports.Sink(), {.bufferBytes = 64 * 1024});
        ASSERT_EQ(log.Open(path), "");
        AppendInReads(log, sent, 11);
        log.Stop();
    }
    const std::string logged = ReadFile(path);
    ASSERT_EQ(logged.size(), sent.size());
    EXPECT_TRUE(logged == sent) << "the raw log differs from the bytes appended";
    EXPECT_TRUE(reports.Texts().empty());
}

// The bytes reach the file while the log runs, not only at its end; and a file that is there
// is added to.
TEST(SessionLogTest, TextLogsAreWrittenAsTheyGo) {
    const LogTime began = LogTime::Now();
    const auto after = [&](int ms) {
        const std::chrono::milliseconds span(ms);
        return LogTime{began.steady + span, began.wall + span};
    };
    const struct {
        LogFormat format;
        std::string expected;
    } cases[] = {
        {LogFormat::Elapsed, "[+0.010] A\n[+0.260] B\n[+1.260] C\n"},
        {LogFormat::Delta, "[+0.010] A\n[+0.250] B\n[+1.000] C\n"},
    };
    for (const auto& c : cases) {
        TemporaryFolder folder;
        const std::string path = folder.File("text.log");
        std::ofstream(path) << "before\n";
        SessionLog log(c.format, nullptr);
        ASSERT_EQ(log.Open(path, began), "");
        Append(log, "A\r\n", after(10));
        Append(log, "B\r", after(260));
        Append(log, "\nC\n", after(1260));
        const std::string expected = "before\n" + c.expected;
        EXPECT_TRUE(WaitUntil([&] { return ReadFile(path) == expected; }))
            << LogFormatName(c.format) << ": " << ReadFile(path);
        log.Stop();
        EXPECT_EQ(ReadFile(path), expected) << LogFormatName(c.format);
    }
}

TEST(SessionLogTest, IsoLinesCarryTheDateAndTime) {
    TemporaryFolder folder;
    const std::string path = folder.File("iso.log");
    SessionLog log(LogFormat::Iso, nullptr);
    ASSERT_EQ(log.Open(path), "");
    for (const char* line : {"A\r\n", "B\r\n", "C\r\n"}) {
        Append(log, line, LogTime::Now());
    }
    log.Stop();
    std::istringstream lines(ReadFile(path));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const std::string letter(1, static_cast<char>('A' + count));
        EXPECT_TRUE(test::MatchesDigitPattern(line, "[####-##-##T##:##:##.###] " + letter)) << line;
    }
    EXPECT_EQ(count, 3);
}

TEST(SessionLogTest, FileThatCannotBeOpenedSaysWhyAndStartsNothing) {
    TemporaryFolder folder;
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {folder.File("no-such-folder/x.log"), "No such file or directory"},
        {folder.path.string(), "Is a directory"},
    };
    for (const auto& c : cases) {
        SessionLog log(LogFormat::Iso, nullptr);
        EXPECT_EQ(log.Open(c.path), c.path + ": the log cannot be opened: " + c.reason);
        Append(log, "dropped\n", LogTime::Now());
        log.Stop();
        EXPECT_FALSE(log.Failed());
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path / "no-such-folder"));
}

// A full disk: one report, and from then on appends return at once however much they bring.
TEST(SessionLogTest, WriteThatFailsStopsTheLogWithOneReport) {
    Reports reports;
    const size_t bufferBytes = 64 * 1024;
    SessionLog log(LogFormat::Raw, reports.Sink(), {.bufferBytes = bufferBytes});
    ASSERT_EQ(log.Open("/dev/full"), "");
    const test::Watchdog appends("appends after the failure");
    Append(log, "first bytes", LogTime::Now());
    ASSERT_TRUE(reports.WaitForOne());
    EXPECT_TRUE(log.Failed());
    AppendInReads(log, RandomBytes(40 * bufferBytes, 3), 5);
    log.Mark("[COM2 disconnected]", LogTime::Now());
    log.Stop();
    const std::vector<std::string> texts = reports.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "/dev/full: the log stopped: No space left on device");
}

// The disk falls behind: Append waits until the writer has made room, and no byte is lost.
TEST(SessionLogTest, FullBufferHoldsAppendBackUntilTheWriterDrains) {
    TemporaryFolder folder;
    Fifo fifo(folder.File("slow"));
    Reports reports;
    SessionLog log(LogFormat::Raw, reports.Sink(), {.bufferBytes = 16 * 1024});
    ASSERT_EQ(log.Open(fifo.path), "");
    const test::Watchdog watchdog("the held-back appends");
    // Far more than the FIFO and the buffer hold, so it cannot all be taken unread.
    const std::string sent = RandomBytes(1 << 20, 13);
    auto appender = std::async(std::launch::async, [&] { AppendInReads(log, sent, 17); });
    ASSERT_TRUE(WaitUntil([&] { return log.TimesHeldBack() > 0; }));
    EXPECT_NE(appender.wait_for(0s), std::future_status::ready);
    const std::string got = ReadFromFifo(fifo.reader, sent.size());
    appender.get();
    log.Stop();
    ASSERT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
    EXPECT_TRUE(reports.Texts().empty());
}

// Stop ends an Append that waits for room, and returns once the writer's write ends, here as
// the reader goes.
TEST(SessionLogTest, StopEndsAnAppendThatWaits) {
    TemporaryFolder folder;
    Fifo fifo(folder.File("stuck"));
    Reports reports;
    SessionLog log(LogFormat::Raw, reports.Sink(), {.bufferBytes = 16 * 1024});
    ASSERT_EQ(log.Open(fifo.path), "");
    const test::Watchdog watchdog("the stop of a log whose appends wait");
    // Far more than the FIFO and the buffer hold: the appends cannot end unread but by the stop.
    const std::string sent = RandomBytes(1 << 20, 19);
    auto appender = std::async(std::launch::async, [&] { AppendInReads(log, sent, 23); });
    ASSERT_TRUE(WaitUntil([&] { return log.TimesHeldBack() > 0; }));
    auto stopper = std::async(std::launch::async, [&] { log.Stop(); });
    appender.get();
    fifo.CloseReader();
    stopper.get();
    // The writer may have had all it still held in the FIFO before the reader went.
    for (const std::string& text : reports.Texts()) {
        EXPECT_EQ(text, fifo.path + ": the log stopped: Broken pipe");
    }
    EXPECT_LE(reports.Texts().size(), 1u);
}

// A reader that has gone is a failed write, reported once, and no signal that ends the program.
TEST(SessionLogTest, ReaderThatWentIsABrokenPipe) {
    TemporaryFolder folder;
    Fifo fifo(folder.File("gone"));
    Reports reports;
    SessionLog log(LogFormat::Iso, reports.Sink());
    ASSERT_EQ(log.Open(fifo.path), "");
    fifo.CloseReader();
    Append(log, "A\r\n", LogTime::Now());
    ASSERT_TRUE(reports.WaitForOne());
    log.Stop();
    const std::vector<std::string> texts = reports.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], fifo.path + ": the log stopped: Broken pipe");
}
