#pragma once

// A fixture that starts the test program (TestApp.h) with its main window shown, answers
// message boxes and file dialogs from queues the test fills, and takes everything down again.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/AfxMessageBox.h"
#include "framework/TestApp.h"

class QAction;

namespace drel::test {

// Processes events until `condition` holds; false when it does not within `timeoutMs`.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Removes the settings file, so that each test starts without a recent-file list.
void ClearSettings();

class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts a test program (a second one after the first has ended, for persistence tests).
    void StartApp();
    // Ends it the way the program ends: ExitInstance, then the application object goes.
    void EndApp();

    CTestMainFrame* Frame() const { return app->MainFrame(); }
    // ID_FILE_NEW through the main frame; the new document, or null when none was made.
    CTestDoc* NewDocument();
    // The document and view of the active child frame; null when none.
    CTestDoc* ActiveDoc() const;
    CTestView* ActiveView() const;
    // A command through the main frame's route, as a menu item runs it.
    bool Command(int id) { return Frame()->OnCommand(id); }
    // Whether command `id` is enabled along the route now.
    bool Enabled(int id);
    // The main frame's toolbar button of command `id`; null when there is none.
    QAction* ToolBarButton(int id) const;

    // A file in the test's own folder.
    std::string TempPath(const std::string& name) const;

    std::unique_ptr<CTestApp> app;
    std::vector<MessageBoxRequest> boxes;  // every box the program showed
    std::deque<int> boxAnswers;            // answers for the next boxes (IDOK when empty)
    std::vector<bool> fileDialogs;         // every file dialog: true for Open
    std::deque<std::string> fileAnswers;   // names for the next dialogs (cancelled when empty)

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

}  // namespace drel::test
