// Documents: saving and opening the raw text, the recent-file list across runs, the save
// prompts of the close paths, and the hook that runs on every path that ends a document.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include "framework/AppFixture.h"
#include "framework/CCommandLineInfo.h"
#include "framework/MenuBuilder.h"
#include "framework/StandardIds.h"

namespace drel::test {
namespace {

using DocumentTest = AppFixture;

std::string ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return file.readAll().toStdString();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path;
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes;
}

QStringList RecentFileItems(CMDIFrameWnd* frame) {
    QMenu* file = frame->menuBar()->actions().front()->menu();
    frame->OnInitMenuPopup(file);
    QStringList items;
    for (QAction* action : file->actions()) {
        const int id = CommandIdOf(action);
        if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST) {
            items << action->text() + (action->isEnabled() ? "" : " (greyed)");
        }
    }
    return items;
}

TEST_F(DocumentTest, SaveWritesTheTextsBytesAndOpenReadsThemBack) {
    const std::string texts[] = {
        "abc\r\ndef", "line\r\n\r\nlone CR\rlone LF\nend\r\n", "\r\n\r", AllBytes(), "",
    };
    int n = 0;
    for (const std::string& text : texts) {
        const std::string path = TempPath("saved" + std::to_string(n++) + ".txt");
        CTestDoc* doc = NewDocument();
        ASSERT_NE(doc, nullptr);
        ActiveView()->SetWindowText(text);
        EXPECT_EQ(ActiveView()->GetWindowTextLength(), static_cast<int>(text.size()));
        EXPECT_TRUE(doc->IsModified());
        fileAnswers.push_back(path);
        EXPECT_TRUE(Command(ID_FILE_SAVE));
        EXPECT_EQ(fileDialogs.back(), false) << "Save of a new document asks for a name";
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(doc->GetPathName(), path);
        EXPECT_EQ(ReadFile(path), text);
        Command(ID_FILE_CLOSE);

        CTestDoc* opened = static_cast<CTestDoc*>(app->OpenDocumentFile(path));
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(ActiveView()->GetWindowText(), text);
        EXPECT_FALSE(opened->IsModified());
        EXPECT_EQ(opened->GetTitle(),
                  QFileInfo(QString::fromStdString(path)).fileName().toStdString());
        Command(ID_FILE_CLOSE);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DocumentTest, SaveAsTakesTheNewNameAndSaveThenUsesIt) {
    CTestDoc* doc = NewDocument();
    ActiveView()->SetWindowText("one");
    fileAnswers = {TempPath("a.txt")};
    EXPECT_TRUE(Command(ID_FILE_SAVE_AS));
    ActiveView()->SetWindowText("two");
    EXPECT_TRUE(Command(ID_FILE_SAVE));
    EXPECT_EQ(fileDialogs.size(), 1u);
    EXPECT_EQ(ReadFile(TempPath("a.txt")), "two");
    EXPECT_EQ(doc->GetTitle(), "a.txt");
    // A cancelled Save As changes nothing.
    EXPECT_TRUE(Command(ID_FILE_SAVE_AS));
    EXPECT_EQ(doc->GetPathName(), TempPath("a.txt"));
}

TEST_F(DocumentTest, OpenAsksForAFileAndAFileThatCannotBeOpenedIsReported) {
    WriteFile(TempPath("x.txt"), "x");
    fileAnswers = {TempPath("x.txt")};
    EXPECT_TRUE(Command(ID_FILE_OPEN));
    EXPECT_EQ(fileDialogs, std::vector<bool>{true});
    ASSERT_NE(ActiveView(), nullptr);
    EXPECT_EQ(ActiveView()->GetWindowText(), "x");

    const std::string missing = TempPath("missing.txt");
    CCommandLineInfo info;
    info.m_nShellCommand = CCommandLineInfo::FileOpen;
    info.m_strFileName = missing;
    EXPECT_FALSE(app->ProcessShellCommand(info));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(missing), std::string::npos) << boxes[0].text;
    EXPECT_EQ(Frame()->GetChildFrames().size(), 1u) << "no window is left for the missing file";
}

TEST_F(DocumentTest, OpeningAnOpenFileActivatesItsWindow) {
    WriteFile(TempPath("y.txt"), "y");
    CDocument* first = app->OpenDocumentFile(TempPath("y.txt"));
    ASSERT_NE(NewDocument(), nullptr);
    EXPECT_EQ(app->OpenDocumentFile(TempPath("y.txt")), first);
    EXPECT_EQ(ActiveDoc(), first);
    EXPECT_EQ(app->GetOpenDocuments().size(), 2u);
}

TEST_F(DocumentTest, TheRecentFileListSurvivesTheProgramMostRecentFirstAtMostEight) {
    EXPECT_EQ(RecentFileItems(Frame()), QStringList{"Recent File (greyed)"});
    for (int i = 1; i <= 10; ++i) {
        const std::string path = TempPath("f" + std::to_string(i) + ".txt");
        WriteFile(path, "text");
        ASSERT_NE(app->OpenDocumentFile(path), nullptr);
    }
    // Opening an older one again moves it to the head.
    ASSERT_NE(app->OpenDocumentFile(TempPath("f5.txt")), nullptr);
    EndApp();

    QSettings stored(QDir(ConfigHome()).filePath("Ovex/drel.conf"), QSettings::IniFormat);
    EXPECT_EQ(stored.value("Recent File List/File1").toString().toStdString(), TempPath("f5.txt"));
    EXPECT_FALSE(stored.contains("Recent File List/File9"));

    StartApp();
    const CRecentFileList* list = app->GetRecentFileList();
    ASSERT_EQ(list->GetSize(), 8);
    const int expected[] = {5, 10, 9, 8, 7, 6, 4, 3};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ((*list)[i], TempPath("f" + std::to_string(expected[i]) + ".txt")) << i;
    }
    const QStringList items = RecentFileItems(Frame());
    ASSERT_EQ(items.size(), 8);
    EXPECT_EQ(items[0].toStdString(), "&1 " + TempPath("f5.txt"));

    // A recent file opens through its menu command; one that is gone leaves the list.
    EXPECT_TRUE(Command(ID_FILE_MRU_FILE1 + 1));
    EXPECT_EQ(ActiveDoc()->GetPathName(), TempPath("f10.txt"));
    QFile::remove(QString::fromStdString(TempPath("f9.txt")));
    EXPECT_TRUE(Command(ID_FILE_MRU_FILE1 + 2));
    EXPECT_EQ(list->GetSize(), 7);
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(DocumentTest, ExitAsksOncePerModifiedDocumentAndCancelKeepsEverything) {
    CTestDoc* a = NewDocument();
    CTestDoc* b = NewDocument();
    CTestDoc* c = NewDocument();
    ActiveView()->SetWindowText("changed");  // c
    a->SetModifiedFlag(true);
    b->SetModifiedFlag(false);
    boxAnswers = {IDNO, IDCANCEL};
    EXPECT_TRUE(Command(ID_APP_EXIT));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Save changes to Drel1?");
    EXPECT_EQ(boxes[0].type & MB_TYPEMASK, MB_YESNOCANCEL);
    EXPECT_EQ(boxes[1].text, "Save changes to Drel3?");
    EXPECT_EQ(app->GetOpenDocuments().size(), 3u);
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_TRUE(Log().closedDocs.empty());
    EXPECT_EQ(ActiveDoc(), c);

    boxes.clear();
    boxAnswers = {IDNO, IDNO};
    Frame()->close();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    EXPECT_FALSE(Frame()->isVisible());
    EXPECT_EQ(Log().closedDocs, (std::vector<std::string>{"Drel1", "Drel2", "Drel3"}));
}

TEST_F(DocumentTest, YesSavesANewDocumentUnderTheNameTheUserGives) {
    NewDocument();
    ActiveView()->SetWindowText("keep me");
    boxAnswers = {IDYES};
    fileAnswers = {TempPath("kept.txt")};
    Frame()->close();
    EXPECT_EQ(ReadFile(TempPath("kept.txt")), "keep me");
    EXPECT_TRUE(app->GetOpenDocuments().empty());

    // Cancelling the file name cancels the close.
    EndApp();
    StartApp();
    NewDocument();
    ActiveView()->SetWindowText("x");
    boxAnswers = {IDYES};
    Frame()->close();
    EXPECT_EQ(app->GetOpenDocuments().size(), 1u);
    EXPECT_TRUE(Frame()->isVisible());
}

TEST_F(DocumentTest, TheCloseHookRunsOnEveryPathThatEndsADocument) {
    NewDocument();  // Drel1: Close command
    NewDocument();  // Drel2: close box
    NewDocument();  // Drel3: with a second window, then the program's end
    Command(ID_WINDOW_NEW);

    Frame()->MDIActivate(Frame()->GetChildFrames()[0]);
    ActiveDoc()->SetModifiedFlag(true);
    boxAnswers = {IDNO};
    EXPECT_TRUE(Command(ID_FILE_CLOSE));
    EXPECT_EQ(Log().closedDocs, std::vector<std::string>{"Drel1"});

    CMDIChildWnd* second = Frame()->GetChildFrames()[0];
    EXPECT_EQ(second->windowTitle(), "Drel2");
    second->close();
    EXPECT_EQ(Log().closedDocs, (std::vector<std::string>{"Drel1", "Drel2"}));

    EndApp();
    EXPECT_EQ(Log().closedDocs, (std::vector<std::string>{"Drel1", "Drel2", "Drel3"}));
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(DocumentTest, ACancelledCloseKeepsTheDocument) {
    CTestDoc* doc = NewDocument();
    doc->SetModifiedFlag(true);
    boxAnswers = {IDCANCEL, IDCANCEL};
    Command(ID_FILE_CLOSE);
    Frame()->MDIGetActive()->close();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(ActiveDoc(), doc);
    EXPECT_TRUE(Log().closedDocs.empty());
}

TEST_F(DocumentTest, EditingTheTextMarksTheDocumentModified) {
    CTestDoc* doc = NewDocument();
    EXPECT_FALSE(doc->IsModified());
    ActiveView()->SetSel(0, 0);
    ActiveView()->ReplaceSel("x");
    EXPECT_TRUE(doc->IsModified());
}

}  // namespace
}  // namespace drel::test
