// "&Auto Down load" from end to end: the real drel-devsim boot monitor as the device on COM2,
// both images loaded one after the other with their progress marks in the terminal, and a
// name set in the download-names dialog used by the next command at once; and the command
// without a first name.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/DrelAppFixture.h"
#include "devsim/DevsimProcess.h"
#include "framework/CDialog.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"
#include "tools/devsim/BinImageWriter.h"

namespace drel::test {
namespace {

using devsim::ImageShape;
using devsim::test::Clock;
using devsim::test::Devsim;

class AutoDownloadEndToEndTest : public DrelAppTest {
  protected:
    void PublishDevices() override {
        m_devsim.emplace(std::vector<std::string>{"--as", "COM2", "--log", LogPath()},
                         ConfigHome());
        // The device names its terminal once the port link is in place.
        const std::string announced =
            devsim::test::ReadLine(m_devsim->out(), Clock::now() + devsim::test::kPatience);
        ASSERT_TRUE(announced.starts_with("drel-devsim: COM2 -> ")) << announced;
    }

    void TearDown() override {
        DrelAppTest::TearDown();
        if (m_devsim) {
            ASSERT_TRUE(m_devsim->Signal(SIGTERM));
            EXPECT_EQ(m_devsim->WaitForExit(Clock::now() + devsim::test::kPatience), 0);
        }
    }

    std::string LogPath() const { return TempPath("devsim.log"); }

    // The result lines the device has logged so far.
    std::vector<std::string> Results() const {
        std::ifstream log(LogPath());
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // Writes an image of `records` records of `size` bytes; its path.
    std::string WriteImage(const std::string& name, uint32_t records, uint32_t size,
                           uint32_t seed) {
        ImageShape shape;
        shape.recordSizes.assign(records, size);
        shape.seed = seed;
        const std::string path = TempPath(name);
        std::ofstream out(path, std::ios::binary);
        std::string error;
        EXPECT_TRUE(devsim::WriteBinImage(shape, out, error)) << error;
        return path;
    }

    // Waits until the device has logged `count` results; they all, in order.
    std::vector<std::string> AwaitResults(size_t count, CDrelView* terminal) {
        EXPECT_TRUE(WaitUntil([&] { return Results().size() >= count; }, std::chrono::seconds(60)))
            << Results().size() << " results; the terminal shows "
            << Escaped(terminal->GetWindowText());
        return Results();
    }

    // Waits until the device is idle at its prompt and drel has looked at everything it
    // received. The receive loop shows a chunk before its watchers see it, so a prompt on the
    // screen may still be on its way to the "FW>" watcher, where a command armed meanwhile
    // would answer it. A key the device echoes, seen on the screen, comes in a later chunk;
    // Backspace then takes it off the monitor's line again.
    void AwaitIdleDevice(CDrelView* terminal) {
        ASSERT_NO_FATAL_FAILURE(Focus(terminal));
        Press(Qt::Key_X);
        ASSERT_TRUE(WaitUntil([&] { return terminal->GetWindowText().ends_with("x"); }))
            << Escaped(terminal->GetWindowText());
        std::string before = terminal->GetWindowText();
        before.pop_back();
        Press(Qt::Key_Backspace);
        ASSERT_TRUE(WaitUntil([&] { return terminal->GetWindowText() == before; }))
            << Escaped(terminal->GetWindowText());
    }

    // Waits until `terminal` shows `text`, request bytes aside.
    void ExpectShowing(CDrelView* terminal, const std::string& text) {
        EXPECT_TRUE(WaitUntil([&] {
            return WithoutRequests(terminal->GetWindowText()).find(text) != std::string::npos;
        })) << "missing \""
            << Escaped(text) << "\" in \"" << Escaped(WithoutRequests(terminal->GetWindowText()))
            << "\"";
    }

    // The terminal text without the device's request bytes 0x01 and 0x02, which it shows as
    // they came.
    static std::string WithoutRequests(std::string text) {
        std::erase_if(text, [](char ch) { return ch == '\x01' || ch == '\x02'; });
        return text;
    }

  private:
    std::optional<Devsim> m_devsim;
};

TEST_F(AutoDownloadEndToEndTest, LoadsBothImagesAndUsesANameFromTheDialogAtOnce) {
    const std::string first = WriteImage("first.bin", 40, 1024, 1);
    const std::string second = WriteImage("second.bin", 3, 100, 2);
    const std::string third = WriteImage("third.bin", 5, 10, 3);
    ASSERT_NO_FATAL_FAILURE(StartApp());
    CDrelView* terminal = ActiveView();
    ASSERT_NE(terminal, nullptr);
    // The device greets as soon as drel has opened the port, before the window shows.
    ExpectShowing(terminal, "drel-devsim boot monitor\r\nFW>");
    ASSERT_NO_FATAL_FAILURE(AwaitIdleDevice(terminal));
    app->SetDownloadName(0, first);
    app->SetDownloadName(1, second);

    ASSERT_TRUE(Command(ID_AUTO_DOWNLOAD));

    const std::vector<std::string> chain = AwaitResults(2, terminal);
    ASSERT_GE(chain.size(), 2u);
    EXPECT_EQ(chain[0], "load ok: 40 records, 40960 bytes");
    EXPECT_EQ(chain[1], "load ok: 3 records, 300 bytes");
    // One mark per record, with a line break after the 39th.
    ExpectShowing(terminal, "l " + first + "\r\n:F=" + first + "\r\nstart download\r\nSH" +
                                std::string(39, '*') +
                                "\r\n*load ok: 40 records, 40960 bytes\r\nFW>");
    ExpectShowing(terminal, "l " + second + "\r\n:F=" + second +
                                "\r\nstart download\r\nSH***load ok: 3 records, 300 bytes\r\nFW>");
    ASSERT_NO_FATAL_FAILURE(AwaitIdleDevice(terminal));

    const int edited = RunModal(
        [&] {
            Command(ID_DOWNLOAD_FILE_NAME);
            return 0;
        },
        [&](QWidget* dialog) {
            Retype(qobject_cast<CDialog*>(dialog)->GetDlgItem(IDC_FIRST_FILE_NAME),
                   QString::fromStdString(third));
            Click(qobject_cast<CDialog*>(dialog)->GetDlgItem(IDOK));
        });
    EXPECT_EQ(edited, 0);
    EXPECT_EQ(app->GetDownloadName(0), third);
    ASSERT_TRUE(Command(ID_AUTO_DOWNLOAD));

    const std::vector<std::string> again = AwaitResults(4, terminal);
    ASSERT_GE(again.size(), 4u);
    EXPECT_EQ(again[2], "load ok: 5 records, 50 bytes");
    EXPECT_EQ(again[3], "load ok: 3 records, 300 bytes");
    ExpectShowing(terminal, ":F=" + third + "\r\nstart download\r\nSH*****load ok: 5 records");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ConnectedAppTest, AutoDownloadWithoutAFirstNameAsksForOneAndSendsNothing) {
    ASSERT_TRUE(Command(ID_AUTO_DOWNLOAD));

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please input full path name in menu Auto first");
    EXPECT_EQ(ActiveDoc()->Connection().autoArmed, 0);
    // Nor does a prompt that follows: the connection is not armed.
    Send(*device, "FW>");
    ExpectShown(terminal, "FW>");
    Press(Qt::Key_Z);
    EXPECT_EQ(Escaped(Received(*device, 1)), "z");
}

}  // namespace
}  // namespace drel::test
