// drel: asks for a port and its line settings, opens the port and keeps it open while the
// window stays up. The terminal itself comes with the connection and its window.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <memory>

#include "connection/CPortSettingsDlg.h"
#include "connection/LineSettings.h"
#include "framework/DialogConstants.h"
#include "platform/SerialService.h"

namespace {

std::unique_ptr<drel::platform::SerialPort> OpenConfiguredPort(const drel::CPortSettingsDlg& dlg) {
    using namespace drel::platform;
    std::unique_ptr<SerialPort> port = SystemSerialService().CreateFileA(dlg.m_strPort);
    if (!port) {
        QMessageBox::warning(nullptr, "drel",
                             QString::fromLocal8Bit(dlg.m_strPort + " port can not open"));
        return nullptr;
    }
    port->SetCommMask(EV_RXCHAR);
    port->SetupComm(4096, 4096);
    port->PurgeComm(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    port->SetCommTimeouts({MAXDWORD, 0, 1000, 0, 0});
    if (!drel::ApplyLineSettings(*port, dlg.m_lineSettings)) {
        QMessageBox::warning(
            nullptr, "drel", QString::fromLocal8Bit(dlg.m_strPort + " port settings not accepted"));
        return nullptr;
    }
    port->EscapeCommFunction(SETDTR);
    return port;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("drel");
    QApplication::setOrganizationName("Ovex");

    drel::CPortSettingsDlg dlg;
    if (dlg.DoModal() != drel::framework::IDOK) {
        return 0;
    }
    std::unique_ptr<drel::platform::SerialPort> port = OpenConfiguredPort(dlg);
    if (!port) {
        return 1;
    }
    QMainWindow window;
    window.setWindowTitle(QString::fromLocal8Bit("drel - " + dlg.m_strTitle));
    window.setCentralWidget(new QLabel(QString::fromLocal8Bit(dlg.m_strPort + " is open"),
                                       &window));
    window.resize(640, 400);
    window.show();
    return app.exec();
}
