// Ending terminals and the program: a terminal window closes without a save prompt, the exit
// asks once per modified document and a Cancel there keeps every connection running, and
// neither waits on a device that sends without pause.

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <atomic>
#include <string>
#include <thread>

#include "app/DrelAppFixture.h"
#include "framework/CMDIChildWnd.h"
#include "framework/StandardIds.h"

namespace drel::test {
namespace {

using namespace std::chrono_literals;

TEST_F(ConnectedAppTest, ClosingAConnectedWindowClosesThePortWithoutAskingToSave) {
    Send(*device, "unsaved text\r\n");
    ASSERT_TRUE(WaitUntil([&] { return ActiveDoc()->IsModified(); }));

    CloseWindow(terminal->GetParentFrame()->Widget());

    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    // The port is opened without sharing: it opens again only once the close released it.
    CDrelDoc* again = NewConnection();
    ASSERT_NE(again, nullptr) << (boxes.empty() ? "" : boxes[0].text);
    EXPECT_EQ(again->Connection().connected, 1);
}

TEST_F(ConnectedAppTest, ExitAsksOncePerModifiedDocumentAndCancelKeepsEveryConnection) {
    PseudoTerminal& com3 = PublishDevice("COM3");
    CDrelDoc* first = ActiveDoc();
    CDrelDoc* second = NewConnection(ChoosePort("COM3"));
    ASSERT_NE(second, nullptr);
    CDrelView* secondView = ActiveView();
    const std::string path = TempPath("plain.txt");
    QFile plain(QString::fromStdString(path));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("not modified");
    plain.close();
    fileAnswers.push_back(path);
    ASSERT_TRUE(Command(ID_FILE_OPEN));
    Send(*device, "one\r\n");
    Send(com3, "two\r\n");
    ASSERT_TRUE(WaitUntil([&] { return first->IsModified() && second->IsModified(); }));
    app->SetDownloadName(0, "/images/first.bin");

    boxAnswers = {IDCANCEL};
    CloseWindow(Frame());

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Save changes to COM2 115200  N-8-1?");
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_EQ(app->GetOpenDocuments().size(), 3u);
    EXPECT_EQ(first->Connection().connected, 1);
    EXPECT_EQ(second->Connection().connected, 1);
    ASSERT_NO_FATAL_FAILURE(Focus(terminal));
    Press(Qt::Key_A);
    EXPECT_EQ(Received(*device, 1), "a");
    ASSERT_NO_FATAL_FAILURE(Focus(secondView));
    Press(Qt::Key_B);
    EXPECT_EQ(Received(com3, 1), "b");
    // The names are saved on the close request, whatever becomes of the close.
    QSettings stored(QString::fromStdString(ConfigHome() + "/Ovex/drel.conf"),
                     QSettings::IniFormat);
    EXPECT_EQ(stored.value("Settings/FirstFileName").toString(), "/images/first.bin");

    boxes.clear();
    CloseWindow(Frame());

    std::vector<std::string> asked;
    for (const MessageBoxRequest& box : boxes) {
        asked.push_back(box.text);
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"Save changes to COM2 115200  N-8-1?",
                                               "Save changes to COM3 115200  N-8-1?"}));
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    EXPECT_FALSE(Frame()->isVisible());
}

// A device that sends lines without pause from a thread of its own until it is stopped: a full
// line only delays its next line.
class Flood {
  public:
    explicit Flood(PseudoTerminal& device)
        : m_thread([this, &device] {
              for (int line = 0; !m_stop; ++line) {
                  // A full line waits for room a little, so that the stop is seen soon.
                  device.Write("line " + std::to_string(line) + " of a device that never stops\r\n",
                               20ms);
              }
          }) {}
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;
    ~Flood() {
        m_stop = true;
        m_thread.join();
    }

  private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

enum class Ending { CloseWindow, Exit };

const char* NameOf(Ending ending) {
    return ending == Ending::CloseWindow ? "CloseWindow" : "Exit";
}

void PrintTo(Ending ending, std::ostream* os) {
    *os << NameOf(ending);
}

class EndWhileFloodedTest : public ConnectedAppTest, public testing::WithParamInterface<Ending> {};

// The device sends until the test's end, after the close: a close that waited for it to pause
// would never return.
TEST_P(EndWhileFloodedTest, EndsWhileTheDeviceKeepsSending) {
    Flood flood(*device);
    ASSERT_TRUE(WaitUntil([&] { return terminal->GetWindowTextLength() > 8000; }));

    CloseWindow(GetParam() == Ending::CloseWindow ? terminal->GetParentFrame()->Widget() : Frame());

    EXPECT_TRUE(app->GetOpenDocuments().empty());
}

INSTANTIATE_TEST_SUITE_P(Endings, EndWhileFloodedTest,
                         testing::Values(Ending::CloseWindow, Ending::Exit),
                         [](const testing::TestParamInfo<Ending>& info) {
                             return std::string(NameOf(info.param));
                         });

}  // namespace
}  // namespace drel::test
