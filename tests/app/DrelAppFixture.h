#pragma once

// A fixture that runs the real program in the test process: the application object, its main
// frame and its terminal windows, offscreen, driven with key and mouse events as a user drives
// them. A pseudo-terminal is published as port COM2 and the test plays the device on its master
// side; message boxes, file dialogs and print dialogs are answered from what the test queued and
// recorded. Each test has its own settings folder ($XDG_CONFIG_HOME), so the recent-file list
// and the download names start empty and survive a restart of the program inside the test.
// User-interface thread only, except where a member says otherwise.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CDrelApp.h"
#include "app/CMainFrame.h"
#include "connection/CDrelDoc.h"
#include "framework/AfxMessageBox.h"
#include "support/PseudoTerminal.h"
#include "support/Watchdog.h"
#include "terminal/CDrelView.h"

class QAction;
class QMenu;
class QWidget;

namespace drel::test {

// The menu bar while a terminal window is open.
inline const QStringList kMenusWithTerminal = {"&File", "&Edit",     "&View",   "&Auto",
                                               "&Port", "&Transfer", "&Window", "&Help"};

// Processes events until `condition` holds; false when it does not within `timeout`.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// `text` with control characters written out (\r, \n, \xNN), for failure messages.
std::string Escaped(const std::string& text);

// The answer of the port dialog at start-up and on "&New".
using PortDialogAnswer = std::function<void(QWidget* dialog)>;

// Accepts the dialog's defaults (COM2, 115200, N-8-1) with Enter.
void AcceptDefaults(QWidget* dialog);

// Types `port` as the port name, then accepts with Enter.
PortDialogAnswer ChoosePort(const QString& port);

// Cancels the dialog with Escape.
void CancelDialog(QWidget* dialog);

class DrelAppTest : public ::testing::Test {
  protected:
    DrelAppTest();
    ~DrelAppTest() override;

    void SetUp() override;
    void TearDown() override;

    // Publishes a new pseudo-terminal as port `name`; the test plays that device.
    PseudoTerminal& PublishDevice(const std::string& name);
    // The devices there are before the program starts: COM2 (`device`).
    virtual void PublishDevices();

    // Starts the program as its executable does, with `arguments` as its command line (none by
    // default): InitApplication, then InitInstance, whose first port dialog `answer` handles.
    // Fails the test when InitInstance fails or the main window does not become active.
    void StartApp(const PortDialogAnswer& answer = AcceptDefaults,
                  const std::vector<std::string>& arguments = {});
    // Ends it as the executable does (ExitInstance), then destroys the application object. An
    // end that has not returned within kHangTimeout fails the test and stops it.
    void EndApp();

    CMainFrame* Frame() const;
    CDrelView* ActiveView() const;
    CDrelDoc* ActiveDoc() const;
    // The views of every open terminal window, oldest window first.
    std::vector<CDrelView*> Views() const;

    // A command through the main frame's route, as its menu item runs it; true when it ran.
    bool Command(int id);
    // Whether command `id` is enabled along the route now.
    bool Enabled(int id);
    // "&New" with `answer` for its port dialog; the new document, or null when none was made.
    CDrelDoc* NewConnection(const PortDialogAnswer& answer = AcceptDefaults);

    // The toolbar button of command `id`; null when there is none.
    QAction* ToolBarButton(int id) const;
    // The popup titled `title` of the menu bar shown now; null when there is none.
    QMenu* MenuOf(const QString& title) const;
    // The titles of the menu bar shown now.
    QStringList MenuTitles() const;

    // Closes `window` (the main frame, or a terminal's frame) as its close box does. A close that
    // has not returned within `timeout` fails the test and stops it.
    void CloseWindow(QWidget* window, std::chrono::milliseconds timeout = kHangTimeout);

    // Activates `view`'s window and waits until its edit control has the keyboard focus.
    void Focus(CDrelView* view);
    // Presses `key` in the active window, as typed on the keyboard.
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // Waits until `view` shows exactly `text`; fails the test (showing the text) when it
    // does not in time.
    void ExpectShown(CDrelView* view, const std::string& text);
    // Reads what the port sent to `device` until `count` bytes came or a deadline passed.
    static std::string Received(PseudoTerminal& device, size_t count);
    // Sends `bytes` from the device; fails the test when they do not go.
    static void Send(PseudoTerminal& device, const std::string& bytes);

    // A file in the test's own folder.
    std::string TempPath(const std::string& name) const;
    // The test's settings folder.
    const std::string& ConfigHome() const { return m_home.Path(); }

    std::unique_ptr<CDrelApp> app;
    // COM2, published by SetUp; null when a test publishes other devices.
    PseudoTerminal* device = nullptr;

    std::vector<MessageBoxRequest> boxes;  // every box the program showed
    std::deque<int> boxAnswers;            // answers for the next boxes
    std::vector<bool> fileDialogs;         // every file dialog: true for Open
    std::deque<std::string> fileAnswers;   // names for the next dialogs (cancelled when empty)
    std::deque<int> fileTypeAnswers;       // file types taken in the next dialogs (else as offered)
    std::vector<std::vector<std::string>> fileTypes;  // the types each dialog offered
    std::vector<int> fileTypesOffered;                // the type each dialog offered first
    int printDialogs = 0;                             // print dialogs shown
    int printAnswer = IDCANCEL;                       // their answer

  private:
    TemporaryConfigHome m_home;
    std::vector<std::unique_ptr<PseudoTerminal>> m_devices;
};

// A test that begins with the program started and one terminal open on COM2 with the default
// settings.
class ConnectedAppTest : public DrelAppTest {
  protected:
    void SetUp() override;

    // The first terminal.
    CDrelView* terminal = nullptr;
};

}  // namespace drel::test
