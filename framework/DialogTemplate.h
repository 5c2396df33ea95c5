#pragma once

// The description a dialog is built from: caption, size, font, window style and its controls.
//
// All positions and sizes are dialog units, which scale with the dialog's font: a horizontal
// unit is a quarter of the font's average character width, a vertical unit an eighth of its
// height. The order of the controls matters three ways: it is the order they are created in,
// the Tab order, and it delimits the radio groups (a group runs from a control with WS_GROUP up
// to the next control with WS_GROUP).

#include <cstdint>
#include <span>

namespace drel {

enum class ControlKind {
    PushButton,
    GroupBox,
    ComboBox,
    StaticText,
    RadioButton,
    Edit,
    Icon,  // shows the image its caption names (a file or Qt resource path) at 32 x 32 pixels
};

struct DialogControl {
    int id;  // IDC_STATIC (65535) for controls the code never reaches
    ControlKind kind;
    uint32_t style;  // WS_*, BS_*, CBS_*, ES_*, SS_* bits (DialogStyles.h)
    const char* caption;
    int x, y, cx, cy;  // for a drop-down combo box cy includes the dropped-down list
};

struct DialogFont {
    int pointSize;
    const char* faceName;  // a hint only: the dialog uses the desktop's own family
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;  // client area
    DialogFont font;
    uint32_t style;  // WS_CAPTION, WS_SYSMENU (close box), DS_MODALFRAME ...
    std::span<const DialogControl> controls;
};

}  // namespace drel
