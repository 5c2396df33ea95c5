// Printing a view: direct print to a PDF file read back with pdftotext, the print dialog,
// the preview, and the command line's print switches.

#include <gtest/gtest.h>

#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>

#include "framework/AppFixture.h"
#include "framework/CCommandLineInfo.h"
#include "framework/CPrintDialog.h"
#include "framework/StandardIds.h"
#include "support/ModalDriver.h"

namespace drel::test {
namespace {

class PrintingTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        pdf = TempPath("out.pdf");
        QPrinter& printer = app->GetPrinter();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
    }
    // The text of the PDF, one string per page.
    std::vector<std::string> PdfPages() const {
        QProcess process;
        process.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
        EXPECT_TRUE(process.waitForFinished(30000)) << "pdftotext (poppler-utils) is needed";
        const QString text = QString::fromUtf8(process.readAllStandardOutput());
        std::vector<std::string> pages;
        for (const QString& page : text.split(QChar(u'\f'), Qt::SkipEmptyParts)) {
            if (!page.trimmed().isEmpty()) {
                pages.push_back(page.toStdString());
            }
        }
        return pages;
    }

    std::string pdf;
};

std::string Lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
    }
    return text;
}

TEST_F(PrintingTest, DirectPrintWritesTheTextPageByPage) {
    ASSERT_NE(NewDocument(), nullptr);
    ActiveView()->SetWindowText(Lines(150) + "last\ttabbed");
    EXPECT_TRUE(Command(ID_FILE_PRINT_DIRECT));
    const std::vector<std::string> pages = PdfPages();
    ASSERT_GE(pages.size(), 2u);
    EXPECT_NE(pages.front().find("line 1\n"), std::string::npos);
    EXPECT_NE(pages.back().find("last"), std::string::npos);
    EXPECT_NE(pages.back().find("tabbed"), std::string::npos);
    std::string all;
    for (const std::string& page : pages) {
        all += page;
    }
    for (int i = 1; i <= 150; ++i) {
        EXPECT_NE(all.find("line " + std::to_string(i) + "\n"), std::string::npos) << i;
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PrintingTest, ThePrintDialogDecides) {
    ASSERT_NE(NewDocument(), nullptr);
    ActiveView()->SetWindowText("printed");
    int dialogs = 0;
    CPrintDialog::SetHook([&](CPrintDialog& dialog) {
        ++dialogs;
        EXPECT_FALSE(dialog.IsPrintSetupOnly());
        return IDCANCEL;
    });
    EXPECT_TRUE(Command(ID_FILE_PRINT));
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
    CPrintDialog::SetHook([&](CPrintDialog&) {
        ++dialogs;
        return IDOK;
    });
    EXPECT_TRUE(Command(ID_FILE_PRINT));
    EXPECT_EQ(dialogs, 2);
    const auto pages = PdfPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(pages[0].find("printed"), std::string::npos);
}

TEST_F(PrintingTest, PrintSetupShowsTheDialogInSetupMode) {
    bool setupOnly = false;
    CPrintDialog::SetHook([&](CPrintDialog& dialog) {
        setupOnly = dialog.IsPrintSetupOnly();
        EXPECT_EQ(&dialog.GetPrinter(), &app->GetPrinter());
        return IDOK;
    });
    EXPECT_TRUE(Command(ID_FILE_PRINT_SETUP));
    EXPECT_TRUE(setupOnly);
}

TEST_F(PrintingTest, ThePreviewShowsThePages) {
    ASSERT_NE(NewDocument(), nullptr);
    ActiveView()->SetWindowText(Lines(10));
    bool shown = false;
    RunModal([&] { return Command(ID_FILE_PRINT_PREVIEW) ? 1 : 0; },
             [&](QWidget* window) {
                 shown = qobject_cast<QPrintPreviewDialog*>(window) != nullptr;
                 window->close();
             });
    EXPECT_TRUE(shown);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf))) << "a preview prints nothing";
}

TEST_F(PrintingTest, TheCommandLinePrintsAFileAndEnds) {
    const std::string file = TempPath("to-print.txt");
    {
        QFile out(QString::fromStdString(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("from the command line\r\n");
    }
    CCommandLineInfo info;
    const std::vector<std::string> words = {"/p", file};
    info.ParseArguments(words);
    EXPECT_FALSE(app->ProcessShellCommand(info)) << "printing ends the program";
    EXPECT_EQ(app->m_nCmdShow, SW_HIDE);
    const auto pages = PdfPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(pages[0].find("from the command line"), std::string::npos);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PrintingTest, AnUnknownPrinterOnTheCommandLineIsReportedNotReplacedByAFile) {
    const std::string file = TempPath("to-print.txt");
    {
        QFile out(QString::fromStdString(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("text");
    }
    CCommandLineInfo info;
    const std::vector<std::string> words = {"/pt", file, "No Such Printer"};
    info.ParseArguments(words);
    EXPECT_FALSE(app->ProcessShellCommand(info));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("No Such Printer"), std::string::npos);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
}

}  // namespace
}  // namespace drel::test
