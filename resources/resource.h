#pragma once

// Resource ids: dialog templates and the controls on them.

// Frames: menu, toolbar, accelerators, icon and strings of the main frame (no terminal open)
// and of a terminal window.
#define IDR_MAINFRAME 128
#define IDR_DRELTYPE 129

// The program's own commands.
#define ID_DOWNLOAD_FILE_NAME 32771
#define ID_AUTO_DOWNLOAD 32772
#define ID_PORT_SEND_BREAK 32773
#define ID_PORT_DTR 32774
#define ID_PORT_RTS 32775
#define ID_PORT_RECONNECT 32776
#define ID_PORT_LOG_START 32777
#define ID_PORT_LOG_STOP 32778
#define ID_PORT_SEND_HEX 32779
#define ID_VIEW_HEX 32780
// "&Transfer": send a file with YMODEM, XMODEM-1K or XMODEM (in this order), and cancel it.
#define ID_TRANSFER_YMODEM 32781
#define ID_TRANSFER_XMODEM1K 32782
#define ID_TRANSFER_XMODEM 32783
#define ID_TRANSFER_CANCEL 32784

// Status bar panes of the modem inputs of the active terminal's port, in this order.
#define ID_INDICATOR_CTS 32790
#define ID_INDICATOR_DSR 32791
#define ID_INDICATOR_DCD 32792
#define ID_INDICATOR_RI 32793
#define ID_INDICATOR_LOG 32794

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_PORT_SETTINGS 131
#define IDD_DOWNLOAD_NAMES 134
#define IDD_SEND_HEX 135

// Controls of the port settings dialog.
#define IDC_PORT 1000
#define IDC_BAUD 1001
#define IDC_STOPBITS_1 1004
#define IDC_STOPBITS_2 1005
#define IDC_ECHO_YES 1006
#define IDC_ECHO_NO 1007
#define IDC_FLOW_NONE 1008
#define IDC_FLOW_RTSCTS 1009
#define IDC_FLOW_XONXOFF 1010
#define IDC_PARITY_NONE 1011
#define IDC_PARITY_ODD 1012
#define IDC_PARITY_EVEN 1013
#define IDC_DATABITS_7 1021
#define IDC_DATABITS_8 1022

// Controls of the download-names dialog.
#define IDC_FIRST_FILE_NAME 1023
#define IDC_SECOND_FILE_NAME 1024

// Controls of the send-hex dialog.
#define IDC_HEX_BYTES 1025

// The id of controls the code never reaches (labels, group boxes).
#define IDC_STATIC 65535
