#include "connection/CPortSettingsDlg.h"

#include "connection/PortChoices.h"
#include "framework/CComboBox.h"
#include "framework/CDataExchange.h"
#include "platform/SerialDevices.h"
#include "resources/DialogTemplates.h"
#include "resources/resource.h"

namespace drel {

namespace {

constexpr const char* kBaudRates[] = {"115200", "57600", "38400", "19200", "9600",
                                      "4800",   "2400",  "1200",  "600",   "300"};

}  // namespace

CPortSettingsDlg::CPortSettingsDlg(QWidget* parent) : CDialog(PortSettingsTemplate(), parent) {}

void CPortSettingsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_CBString(pDX, IDC_BAUD, m_strBaud);
    DDX_CBString(pDX, IDC_PORT, m_strPort);
    DDX_Radio(pDX, IDC_ECHO_YES, m_nLocalEcho);
    DDX_Radio(pDX, IDC_PARITY_NONE, m_nParity);
    DDX_Radio(pDX, IDC_STOPBITS_1, m_nStopBits);
    DDX_Radio(pDX, IDC_DATABITS_7, m_nDataBits);
    DDX_Radio(pDX, IDC_FLOW_NONE, m_nFlowControl);
}

bool CPortSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The lists are filled after the defaults went into the edit fields, so "COM2" and
    // "115200" stand there with no entry selected.
    auto* baud = qobject_cast<CComboBox*>(GetDlgItem(IDC_BAUD));
    for (const char* rate : kBaudRates) {
        baud->AddString(rate);
    }
    auto* port = qobject_cast<CComboBox*>(GetDlgItem(IDC_PORT));
    for (int n = 1; n <= 10; ++n) {
        port->AddString("COM" + std::to_string(n));
    }
    // Each device with what identifies it beside its name; picking it puts only the name into
    // the field.
    for (const platform::SerialDevice& device : platform::ListSerialDevicesDescribed()) {
        port->AddString(device.name, platform::DescribeSerialDevice(device));
    }
    return true;
}

void CPortSettingsDlg::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    PortChoices choices;
    choices.port = m_strPort;
    choices.baud = m_strBaud;
    choices.parity = m_nParity;
    choices.stopBits = m_nStopBits;
    choices.dataBits = m_nDataBits;
    choices.flowControl = m_nFlowControl;
    ApplyPortChoices(choices, m_lineSettings);
    m_strTitle = PortTitle(choices);
    EndDialog(IDOK);
}

}  // namespace drel
