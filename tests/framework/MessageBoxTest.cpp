// Message boxes asked for by other threads: answered through the user-interface thread, and
// closed by the owner that no longer waits for a person.

#include "framework/AfxMessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "framework/UiThread.h"
#include "support/Watchdog.h"

namespace drel {
namespace {

class MessageBoxTest : public ::testing::Test {
  protected:
    void TearDown() override { AfxSetMessageBoxHook({}); }
};

// The message box open on top now; null when none is.
QMessageBox* OpenBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

TEST_F(MessageBoxTest, ABoxFromAWorkerIsAskedOnTheUserInterfaceThread) {
    std::vector<MessageBoxRequest> requests;
    bool onUiThread = false;
    AfxSetMessageBoxHook([&](const MessageBoxRequest& request) {
        onUiThread = IsUiThread();
        requests.push_back(request);
        return IDNO;
    });
    int owner = 0;
    std::atomic<int> answer = 0;
    std::thread worker([&] {
        answer = AfxMessageBox("COM1 port read error occured", MB_YESNO | MB_ICONEXCLAMATION, "TTY",
                               &owner);
    });
    test::CallWatched("the worker's box", [&] {
        ServeCallsUntil([&] { return answer.load() != 0; });
        worker.join();
    });
    EXPECT_EQ(answer, IDNO);
    EXPECT_TRUE(onUiThread);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "COM1 port read error occured");
    EXPECT_EQ(requests[0].caption, "TTY");
    EXPECT_EQ(requests[0].type, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(requests[0].owner, &owner);
}

TEST_F(MessageBoxTest, AnOpenBoxOfAWorkerIsDismissedByItsOwner) {
    int owner = 0;
    int otherOwner = 0;
    std::atomic<int> answer = 0;
    // Runs inside the box's own loop, as the user-interface thread's other work does.
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QMessageBox* box = OpenBox()) {
            poll.stop();
            AfxDismissMessageBoxes(&otherOwner);
            EXPECT_TRUE(box->isVisible()) << "another owner's dismissal";
            AfxDismissMessageBoxes(&owner);
        }
    });
    poll.start();
    std::thread worker([&] { answer = AfxMessageBox("port can not open", MB_OK, {}, &owner); });
    test::CallWatched("the worker's box", [&] {
        ServeCallsUntil([&] { return answer.load() != 0; });
        worker.join();
    });
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(OpenBox(), nullptr);
}

TEST_F(MessageBoxTest, DismissedBoxesAnswerAsTheirEscapeKey) {
    const struct {
        unsigned type;
        int answer;
    } cases[] = {{MB_OK, IDOK}, {MB_YESNOCANCEL, IDCANCEL}, {MB_YESNO, IDNO}};
    int owner = 0;
    for (const auto& c : cases) {
        QTimer::singleShot(0, [&] {
            EXPECT_NE(OpenBox(), nullptr);
            AfxDismissMessageBoxes(&owner);
        });
        EXPECT_EQ(test::CallWatched("the dismissed box",
                                    [&] { return AfxMessageBox("question", c.type, {}, &owner); }),
                  c.answer)
            << c.type;
    }
}

TEST_F(MessageBoxTest, ASuppressedOwnerGetsNoBox) {
    int owner = 0;
    int shown = 0;
    AfxSetMessageBoxHook([&](const MessageBoxRequest&) {
        ++shown;
        return IDYES;
    });
    AfxSuppressMessageBoxes(&owner, true);
    std::atomic<int> answer = 0;
    std::thread worker([&] { answer = AfxMessageBox("lost", MB_YESNO, {}, &owner); });
    test::CallWatched("the worker's box", [&] {
        ServeCallsUntil([&] { return answer.load() != 0; });
        worker.join();
    });
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(shown, 0);
    AfxSuppressMessageBoxes(&owner, false);
    EXPECT_EQ(AfxMessageBox("shown", MB_YESNO, {}, &owner), IDYES);
    EXPECT_EQ(shown, 1);
}

TEST_F(MessageBoxTest, TheUserAnswersARealBox) {
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Save changes to Drel1?");
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(test::CallWatched("the box the user answers",
                                [] {
                                    return AfxMessageBox("Save changes to Drel1?",
                                                         MB_YESNOCANCEL | MB_ICONQUESTION);
                                }),
              IDNO);
}

}  // namespace
}  // namespace drel
