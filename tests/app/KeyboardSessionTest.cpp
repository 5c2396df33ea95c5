// The first port dialog worked from the keyboard alone, as a user without a mouse works it.

#include <gtest/gtest.h>

#include <vector>

#include "app/DrelAppFixture.h"
#include "app/LineOnDevice.h"
#include "framework/CDialog.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"

namespace drel::test {
namespace {

// The dialog opens on OK. Tab past Cancel and the port name to the baud rate and Down to the next
// one, Tab to the stop bits and Down to two, Tab past local echo to flow control and Down to
// RTS/CTS, then Return. The port opens with what the keys chose.
TEST_F(DrelAppTest, KeyboardOnlySessionOpensThePortWithTheSettingsItChose) {
    // Each key, and the control that has the focus after it.
    const std::vector<std::pair<Qt::Key, int>> steps = {
        {Qt::Key_Tab, IDCANCEL},    {Qt::Key_Tab, IDC_PORT},       {Qt::Key_Tab, IDC_BAUD},
        {Qt::Key_Down, IDC_BAUD},   {Qt::Key_Tab, IDC_STOPBITS_1}, {Qt::Key_Down, IDC_STOPBITS_2},
        {Qt::Key_Tab, IDC_ECHO_NO}, {Qt::Key_Tab, IDC_FLOW_NONE},  {Qt::Key_Down, IDC_FLOW_RTSCTS},
        {Qt::Key_Return, 0},
    };
    std::vector<QWidget*> focused;
    std::vector<QWidget*> expected;
    StartApp([&](QWidget* window) {
        auto* dialog = qobject_cast<CDialog*>(window);
        ASSERT_NE(dialog, nullptr);
        expected.push_back(dialog->GetDlgItem(IDOK));
        focused.push_back(FocusedControl());
        for (const auto& [key, id] : steps) {
            if (id != 0) {
                expected.push_back(dialog->GetDlgItem(id));
            }
            PressKey(key);
            if (id != 0) {
                focused.push_back(FocusedControl());
            }
        }
    });
    EXPECT_EQ(focused, expected);
    ASSERT_NE(ActiveDoc(), nullptr);
    EXPECT_EQ(ActiveDoc()->GetTitle(), "COM2 57600  N-8-2");
    EXPECT_EQ(LineOf(*device), (LineOnDevice{B57600, false, true, true, false}));
}

}  // namespace
}  // namespace drel::test
