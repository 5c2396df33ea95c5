// drel: asks for a port and its line settings, opens the connection and keeps it open while the
// window stays up. The terminal windows and the rest of the shell build on this.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>

#include "connection/CPortSettingsDlg.h"
#include "connection/ConnectionLifecycle.h"
#include "framework/DialogStyles.h"
#include "platform/SerialService.h"

namespace {

// Message boxes for the open step, which runs on the user-interface thread.
class StartupUserInterface : public drel::UserInterface {
  public:
    void MessageBox(const std::string& text, const std::string&, Icon) override {
        QMessageBox::warning(nullptr, "drel", QString::fromLocal8Bit(text));
    }
    void WaitServingRequests(drel::platform::Event& done) override {
        done.Wait(drel::platform::INFINITE);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("drel");
    QApplication::setOrganizationName("Ovex");

    drel::CPortSettingsDlg dlg;
    if (dlg.DoModal() != drel::IDOK) {
        return 0;
    }
    StartupUserInterface ui;
    drel::PortConnection connection(drel::platform::SystemSerialService(), ui);
    if (!drel::OpenConnection(connection, dlg.m_strPort, dlg.m_lineSettings)) {
        return 1;
    }
    QMainWindow window;
    window.setWindowTitle(QString::fromLocal8Bit("drel - " + dlg.m_strTitle));
    window.setCentralWidget(
        new QLabel(QString::fromLocal8Bit(dlg.m_strPort + " is open"), &window));
    window.resize(640, 400);
    window.show();
    const int status = app.exec();
    drel::CloseConnection(connection);
    return status;
}
