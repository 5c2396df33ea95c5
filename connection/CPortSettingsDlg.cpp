#include "connection/CPortSettingsDlg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "framework/CComboBox.h"
#include "framework/CDataExchange.h"
#include "platform/CommTypes.h"
#include "platform/SerialDevices.h"
#include "resources/DialogTemplates.h"
#include "resources/resource.h"

namespace drel {

namespace {

constexpr const char* kBaudRates[] = {"115200", "57600", "38400", "19200", "9600",
                                      "4800",   "2400",  "1200",  "600",   "300"};

constexpr uint32_t kFlowBits =
    platform::DCB_fOutxCtsFlow | platform::DCB_fOutX | platform::DCB_fInX;

// The leading decimal number of `text` as atol reads it with a 32-bit long: white space, a sign,
// digits up to the first other character, 0 without digits, and a number beyond the range of a
// 32-bit long held at its end. Holding it there, rather than keeping its low 32 bits, keeps a
// huge text such as "4294977296" from passing for 9600.
uint32_t LeadingNumber(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<uint32_t>(static_cast<int32_t>(std::clamp<long long>(
        value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
}

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
    char format[32];
    std::snprintf(format, sizeof format, "-%d-%d", m_nDataBits + 7, m_nStopBits + 1);
    const std::string suffix = ApplyParity() + format;
    ApplyStopBits();
    ApplyFlowControl();
    m_lineSettings.ByteSize = static_cast<uint8_t>(m_nDataBits + 7);
    m_lineSettings.BaudRate = LeadingNumber(m_strBaud);
    m_strTitle = m_strPort + " " + m_strBaud + "  " + suffix;
    EndDialog(IDOK);
}

// Sets Parity and returns its letter for the title; an unknown choice changes nothing.
std::string CPortSettingsDlg::ApplyParity() {
    switch (m_nParity) {
        case 0:
            m_lineSettings.Parity = platform::NOPARITY;
            return "N";
        case 1:
            m_lineSettings.Parity = platform::ODDPARITY;
            return "O";
        case 2:
            m_lineSettings.Parity = platform::EVENPARITY;
            return "E";
        default:
            return "";
    }
}

void CPortSettingsDlg::ApplyStopBits() {
    if (m_nStopBits == 0) {
        m_lineSettings.StopBits = platform::ONESTOPBIT;
    } else if (m_nStopBits == 1) {
        m_lineSettings.StopBits = platform::TWOSTOPBITS;
    }
}

// Only the three flow-control bits change; every other bit of the flags word stays.
void CPortSettingsDlg::ApplyFlowControl() {
    uint32_t flowBits = 0;
    switch (m_nFlowControl) {
        case 0:
            break;
        case 1:
            flowBits = platform::DCB_fOutxCtsFlow;
            break;
        case 2:
            flowBits = platform::DCB_fOutX | platform::DCB_fInX;
            break;
        default:
            return;
    }
    m_lineSettings.flags = (m_lineSettings.flags & ~kFlowBits) | flowBits;
}

}  // namespace drel
