#include "resources/DialogTemplates.h"

#include "framework/DialogStyles.h"
#include "resources/Icons.h"
#include "resources/resource.h"

namespace drel {

namespace {

using enum ControlKind;

constexpr uint32_t kDropDown = CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP;
constexpr uint32_t kRadio = BS_AUTORADIOBUTTON;
constexpr uint32_t kModalDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DialogFont kDialogFont = {8, "MS Sans Serif"};

// Template order is Tab order and delimits the radio groups; keep it.
constexpr DialogControl kPortSettingsControls[] = {
    {IDOK, PushButton, BS_DEFPUSHBUTTON | WS_TABSTOP, "OK", 222, 7, 50, 14},
    {IDCANCEL, PushButton, BS_PUSHBUTTON | WS_TABSTOP, "Cancel", 222, 24, 50, 14},
    {IDC_STATIC, GroupBox, BS_GROUPBOX | WS_GROUP, "Databits", 18, 51, 92, 49},
    {IDC_STATIC, GroupBox, BS_GROUPBOX | WS_GROUP, "Stopbits", 123, 51, 57, 49},
    {IDC_STATIC, GroupBox, BS_GROUPBOX | WS_GROUP, "Local echo", 123, 108, 58, 42},
    {IDC_STATIC, GroupBox, BS_GROUPBOX | WS_GROUP, "Flow control", 18, 108, 92, 52},
    {IDC_PORT, ComboBox, kDropDown, nullptr, 17, 26, 92, 76},
    {IDC_BAUD, ComboBox, kDropDown, nullptr, 121, 26, 94, 71},
    {IDC_STATIC, StaticText, SS_LEFT | WS_GROUP, "Port :", 17, 13, 82, 10},
    {IDC_STATIC, StaticText, SS_LEFT | WS_GROUP, "Baud :", 120, 14, 64, 10},
    {IDC_STOPBITS_1, RadioButton, kRadio | WS_GROUP | WS_TABSTOP, "1 Bits", 133, 65, 35, 11},
    {IDC_STOPBITS_2, RadioButton, kRadio | WS_TABSTOP, "2 Bits", 133, 80, 36, 14},
    {IDC_ECHO_YES, RadioButton, kRadio | WS_GROUP | WS_TABSTOP, "Yes", 133, 118, 30, 13},
    {IDC_ECHO_NO, RadioButton, kRadio | WS_TABSTOP, "No", 133, 132, 33, 12},
    {IDC_FLOW_NONE, RadioButton, kRadio | WS_GROUP | WS_TABSTOP, "NONE", 27, 117, 59, 11},
    {IDC_FLOW_RTSCTS, RadioButton, kRadio | WS_TABSTOP, "RTS/CTS", 27, 130, 59, 10},
    {IDC_FLOW_XONXOFF, RadioButton, kRadio | WS_TABSTOP, "Xon/Xoff", 27, 142, 59, 12},
    {IDC_STATIC, GroupBox, BS_GROUPBOX | WS_GROUP, "Parity", 196, 52, 59, 60},
    {IDC_PARITY_NONE, RadioButton, kRadio | WS_GROUP, "None", 203, 63, 48, 13},
    {IDC_PARITY_ODD, RadioButton, kRadio, "Odd", 203, 78, 48, 13},
    {IDC_PARITY_EVEN, RadioButton, kRadio, "Even", 203, 92, 48, 13},
    {IDC_DATABITS_7, RadioButton, kRadio | WS_GROUP, "7 bits", 28, 64, 60, 13},
    {IDC_DATABITS_8, RadioButton, kRadio, "8 bits", 28, 78, 60, 12},
};

constexpr DialogTemplate kPortSettings = {.id = IDD_PORT_SETTINGS,
                                          .caption = "Open port setting",
                                          .cx = 279,
                                          .cy = 175,
                                          .font = kDialogFont,
                                          .style = kModalDialog,
                                          .controls = kPortSettingsControls};

// OK comes first, so it has the focus when the dialog opens and Enter accepts at once.
constexpr uint32_t kNameEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DialogControl kDownloadNamesControls[] = {
    {IDOK, PushButton, BS_DEFPUSHBUTTON | WS_TABSTOP, "OK", 100, 92, 31, 14},
    {IDCANCEL, PushButton, BS_PUSHBUTTON | WS_TABSTOP, "Cancel", 136, 92, 31, 14},
    {IDC_FIRST_FILE_NAME, Edit, kNameEdit, nullptr, 14, 26, 153, 15},
    {IDC_SECOND_FILE_NAME, Edit, kNameEdit, nullptr, 14, 68, 153, 15},
    {IDC_STATIC, StaticText, SS_LEFT, "Second download file name:", 14, 55, 115, 10},
    {IDC_STATIC, StaticText, SS_LEFT, "First time download file name:", 14, 13, 115, 10},
};

constexpr DialogTemplate kDownloadNames = {.id = IDD_DOWNLOAD_NAMES,
                                           .caption = "Dialog",
                                           .cx = 174,
                                           .cy = 113,
                                           .font = kDialogFont,
                                           .style = kModalDialog,
                                           .controls = kDownloadNamesControls};

// The field comes first, so the user types at once and Enter sends.
constexpr DialogControl kSendHexControls[] = {
    {IDC_STATIC, StaticText, SS_LEFT, "Bytes to send, e.g. 01 0a FF or \"AT\"0d:", 7, 9, 150, 10},
    {IDC_HEX_BYTES, ComboBox, kDropDown, nullptr, 7, 22, 150, 80},
    {IDOK, PushButton, BS_DEFPUSHBUTTON | WS_TABSTOP, "OK", 164, 7, 50, 14},
    {IDCANCEL, PushButton, BS_PUSHBUTTON | WS_TABSTOP, "Cancel", 164, 24, 50, 14},
};

constexpr DialogTemplate kSendHex = {.id = IDD_SEND_HEX,
                                     .caption = "Send Hex",
                                     .cx = 221,
                                     .cy = 46,
                                     .font = kDialogFont,
                                     .style = kModalDialog,
                                     .controls = kSendHexControls};

constexpr DialogControl kAboutBoxControls[] = {
    {IDC_STATIC, Icon, 0, kApplicationIconPath, 11, 17, 20, 20},
    {IDC_STATIC, StaticText, SS_LEFT, "drel Version 1.1", 41, 10, 119, 8},
    {IDC_STATIC, StaticText, SS_LEFT, "Copyright (C) Ovex", 41, 26, 119, 8},
    {IDOK, PushButton, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, "OK", 179, 7, 32, 14},
    {IDC_STATIC, StaticText, SS_LEFT, "Written at Ovex", 41, 42, 68, 13},
};

constexpr DialogTemplate kAboutBox = {.id = IDD_ABOUTBOX,
                                      .caption = "About drel",
                                      .cx = 218,
                                      .cy = 68,
                                      .font = kDialogFont,
                                      .style = kModalDialog,
                                      .controls = kAboutBoxControls};

}  // namespace

const DialogTemplate& PortSettingsTemplate() {
    return kPortSettings;
}

const DialogTemplate& DownloadNamesTemplate() {
    return kDownloadNames;
}

const DialogTemplate& SendHexTemplate() {
    return kSendHex;
}

const DialogTemplate& AboutBoxTemplate() {
    return kAboutBox;
}

}  // namespace drel
