// The command line: how words become a shell command, and what ProcessShellCommand does with
// the ones that open documents.

#include "framework/CCommandLineInfo.h"

#include <gtest/gtest.h>

#include <QFile>

#include "framework/AppFixture.h"

namespace drel::test {
namespace {

TEST(CommandLineInfoTest, WordsBecomeAShellCommand) {
    const struct {
        std::vector<std::string> words;
        CCommandLineInfo::Shell command;
        std::string file;
        std::string printer;
    } cases[] = {
        {{}, CCommandLineInfo::FileNew, "", ""},
        {{"log.txt"}, CCommandLineInfo::FileOpen, "log.txt", ""},
        {{"/home/me/log.txt"}, CCommandLineInfo::FileOpen, "/home/me/log.txt", ""},
        {{"/p", "log.txt"}, CCommandLineInfo::FilePrint, "log.txt", ""},
        {{"-P", "log.txt"}, CCommandLineInfo::FilePrint, "log.txt", ""},
        {{"log.txt", "/p"}, CCommandLineInfo::FilePrint, "log.txt", ""},
        {{"/pt", "log.txt", "Laser"}, CCommandLineInfo::FilePrintTo, "log.txt", "Laser"},
        {{"/PT", "log.txt", "Laser", "driver", "port"},
         CCommandLineInfo::FilePrintTo,
         "log.txt",
         "Laser"},
        {{"a.txt", "b.txt"}, CCommandLineInfo::FileOpen, "a.txt", ""},
        {{"-unknown"}, CCommandLineInfo::FileNew, "", ""},
        {{"/pp"}, CCommandLineInfo::FileOpen, "/pp", ""},
    };
    for (const auto& c : cases) {
        CCommandLineInfo info;
        info.ParseArguments(c.words);
        const std::string label = c.words.empty() ? "(none)" : c.words.front();
        EXPECT_EQ(info.m_nShellCommand, c.command) << label;
        EXPECT_EQ(info.m_strFileName, c.file) << label;
        EXPECT_EQ(info.m_strPrinterName, c.printer) << label;
    }
}

using ShellCommandTest = AppFixture;

TEST_F(ShellCommandTest, NoArgumentMakesOneNewDocument) {
    CCommandLineInfo info;
    EXPECT_TRUE(app->ProcessShellCommand(info));
    EXPECT_EQ(app->GetOpenDocuments().size(), 1u);
    EXPECT_EQ(ActiveDoc()->GetTitle(), "Drel1");
}

TEST_F(ShellCommandTest, ARefusedNewDocumentStillStartsTheProgram) {
    Log().refuseNewDocument = true;
    CCommandLineInfo info;
    EXPECT_TRUE(app->ProcessShellCommand(info));
    EXPECT_TRUE(app->GetOpenDocuments().empty());
}

TEST_F(ShellCommandTest, AFileNameOpensTheFile) {
    const std::string file = TempPath("given.txt");
    {
        QFile out(QString::fromStdString(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("given");
    }
    CCommandLineInfo info;
    const std::vector<std::string> words = {file};
    info.ParseArguments(words);
    EXPECT_TRUE(app->ProcessShellCommand(info));
    ASSERT_NE(ActiveView(), nullptr);
    EXPECT_EQ(ActiveView()->GetWindowText(), "given");
    EXPECT_EQ(ActiveDoc()->GetTitle(), "given.txt");
}

}  // namespace
}  // namespace drel::test
