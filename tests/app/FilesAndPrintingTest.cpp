// Terminal text as a file: Save writes what the terminal shows, Open shows a file in a window
// without a port, the recent-file list carries both into the next run, and printing puts the
// terminal text on paper (a PDF file, read back with pdftotext from poppler-utils).

#include <gtest/gtest.h>

#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/DrelAppFixture.h"
#include "framework/CRecentFileList.h"
#include "framework/StandardIds.h"

namespace drel::test {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(ConnectedAppTest, SaveWritesExactlyTheShownBytes) {
    Send(*device, "abc\r\ndeff\b\n");
    ExpectShown(terminal, "abc\r\ndef");
    const std::string path = TempPath("saved.txt");
    fileAnswers.push_back(path);

    Press(Qt::Key_S, Qt::ControlModifier);

    EXPECT_EQ(fileDialogs, std::vector<bool>{false});
    EXPECT_EQ(Escaped(ReadFile(path)), Escaped("abc\r\ndef"));
    EXPECT_FALSE(ActiveDoc()->IsModified());
    EXPECT_EQ(ActiveDoc()->Connection().connected, 1);
    // Ctrl+S is the Save command: the device gets nothing before the next key.
    Press(Qt::Key_Z);
    EXPECT_EQ(Escaped(Received(*device, 1)), "z");
}

TEST_F(ConnectedAppTest, OpenShowsAFileInAWindowThatSendsNothing) {
    const std::string text = "from a file\r\nline\t2\r\n";
    const std::string path = TempPath("shown.txt");
    WriteFile(path, text);
    fileAnswers.push_back(path);

    ASSERT_TRUE(Command(ID_FILE_OPEN));

    EXPECT_EQ(fileDialogs, std::vector<bool>{true});
    CDrelView* opened = ActiveView();
    ASSERT_NE(opened, nullptr);
    ASSERT_NE(opened, terminal);
    EXPECT_EQ(Escaped(opened->GetWindowText()), Escaped(text));
    EXPECT_EQ(ActiveDoc()->Connection().connected, 0);
    EXPECT_EQ(Frame()->windowTitle(), "drel - shown.txt");

    ASSERT_NO_FATAL_FAILURE(Focus(opened));
    Press(Qt::Key_Q);
    Press(Qt::Key_Return);
    EXPECT_EQ(Escaped(opened->GetWindowText()), Escaped(text));
    // Closing it touches no port: the terminal's connection still runs.
    CloseWindow(opened->GetParentFrame()->Widget());
    EXPECT_EQ(Views(), std::vector<CDrelView*>{terminal});
    EXPECT_EQ(ActiveDoc()->Connection().connected, 1);
    ASSERT_NO_FATAL_FAILURE(Focus(terminal));
    Press(Qt::Key_Z);
    EXPECT_EQ(Escaped(Received(*device, 1)), "z");
    EXPECT_TRUE(boxes.empty());
}

// The entries "&1 path" ... of the File menu's recent-file list.
std::vector<std::string> RecentFileItems(CMainFrame* frame, QMenu* file) {
    frame->OnInitMenuPopup(file);
    std::vector<std::string> items;
    for (const QAction* action : file->actions()) {
        const QString text = action->text();
        if (text.size() > 2 && text[0] == u'&' && text[1].isDigit() && text[2] == u' ') {
            items.push_back(text.toStdString());
        }
    }
    return items;
}

TEST_F(ConnectedAppTest, FilesOpenedOrSavedAreOfferedAtTheNextStartAtMostEight) {
    std::vector<std::string> expected;  // most recent first
    for (int i = 1; i <= 8; ++i) {
        const std::string path = TempPath("file" + std::to_string(i) + ".txt");
        WriteFile(path, "file " + std::to_string(i));
        fileAnswers.push_back(path);
        ASSERT_TRUE(Command(ID_FILE_OPEN));
        ASSERT_EQ(ActiveDoc()->GetPathName(), path);
        expected.insert(expected.begin(), path);
    }
    ASSERT_NO_FATAL_FAILURE(Focus(terminal));
    const std::string saved = TempPath("saved.txt");
    fileAnswers.push_back(saved);
    ASSERT_TRUE(Command(ID_FILE_SAVE));
    expected.insert(expected.begin(), saved);
    expected.pop_back();  // the ninth, the oldest, falls off

    EndApp();
    ASSERT_NO_FATAL_FAILURE(StartApp());

    const CRecentFileList* list = app->GetRecentFileList();
    ASSERT_NE(list, nullptr);
    std::vector<std::string> listed;
    for (int i = 0; i < list->GetSize(); ++i) {
        listed.push_back((*list)[i]);
    }
    EXPECT_EQ(listed, expected);
    std::vector<std::string> items;
    for (size_t i = 0; i < expected.size(); ++i) {
        items.push_back("&" + std::to_string(i + 1) + " " + expected[i]);
    }
    QMenu* file = MenuOf("&File");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(RecentFileItems(Frame(), file), items);
}

TEST_F(ConnectedAppTest, PrintingToAPdfFilePrintsTheTerminalText) {
    Send(*device, "first printed line\r\nsecond printed line\r\n");
    ExpectShown(terminal, "first printed line\r\nsecond printed line\r\n");
    const std::string pdf = TempPath("printed.pdf");
    QPrinter& printer = app->GetPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printAnswer = IDOK;

    Press(Qt::Key_P, Qt::ControlModifier);

    EXPECT_EQ(printDialogs, 1);
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    ASSERT_TRUE(pdftotext.waitForFinished(30000)) << "pdftotext (poppler-utils) is needed";
    const std::string printed = pdftotext.readAllStandardOutput().toStdString();
    EXPECT_NE(printed.find("first printed line\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("second printed line\n"), std::string::npos) << printed;
    EXPECT_TRUE(boxes.empty());
    // Ctrl+P is the Print command: the device gets nothing before the next key.
    Press(Qt::Key_Z);
    EXPECT_EQ(Escaped(Received(*device, 1)), "z");
}

}  // namespace
}  // namespace drel::test
