#include "resources/DialogTemplates.h"

#include "framework/DialogStyles.h"
#include "resources/resource.h"

namespace drel {

namespace {

using enum ControlKind;

constexpr uint32_t kDropDown = CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP;
constexpr uint32_t kRadio = BS_AUTORADIOBUTTON;

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

constexpr DialogTemplate kPortSettings = {
    IDD_PORT_SETTINGS,
    "Open port setting",
    279,
    175,
    {8, "MS Sans Serif"},
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    kPortSettingsControls,
};

}  // namespace

const DialogTemplate& PortSettingsTemplate() {
    return kPortSettings;
}

}  // namespace drel
