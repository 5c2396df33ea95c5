#pragma once

// "Open port setting": the modal dialog every new connection shows before its port is opened.
// The user picks or types a port name and a baud rate and picks the line format; OK turns the
// choices into the connection's line settings and window title. Every run starts from the same
// defaults; nothing of it is stored.

#include <cstdint>
#include <string>

#include "connection/LineSettings.h"
#include "framework/CDialog.h"

namespace drel {

class CPortSettingsDlg : public CDialog {
    Q_OBJECT

  public:
    // The dialog with its defaults: COM2, 115200, 8 data bits, no parity, one stop bit, no flow
    // control, local echo off. User-interface thread only, as every member.
    explicit CPortSettingsDlg(QWidget* parent = nullptr);

    // Exchanged with the controls.
    std::string m_strBaud = "115200";  // as typed or picked
    std::string m_strPort = "COM2";    // as typed or picked; the device name as it stands
    int32_t m_nLocalEcho = 1;          // 0 "Yes", 1 "No"; has no effect anywhere
    int32_t m_nParity = 0;             // 0 "None", 1 "Odd", 2 "Even"
    int32_t m_nStopBits = 0;           // 0 one, 1 two
    int32_t m_nDataBits = 1;           // 0 seven, 1 eight
    int32_t m_nFlowControl = 0;        // 0 "NONE", 1 "RTS/CTS", 2 "Xon/Xoff"

    // Results, valid once DoModal returned IDOK. OnOK writes only BaudRate, ByteSize, Parity,
    // StopBits and the bits fOutxCtsFlow, fOutX and fInX; the rest keeps what it held.
    LineSettings m_lineSettings{};
    std::string m_strTitle;  // e.g. "COM2 115200  N-8-1"

  protected:
    void DoDataExchange(CDataExchange* pDX) override;

    // Fills the baud list and the port list (COM1 to COM10, then the devices present).
    bool OnInitDialog() override;

    // Saves the controls and computes the results, then ends the dialog with IDOK.
    void OnOK() override;
};

}  // namespace drel
