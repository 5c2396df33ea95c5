#pragma once

// The program's icons, compiled in with Qt's resource system. Each has a 32 x 32 and a
// 16 x 16 image in the 16 standard colours.

#include <QIcon>

namespace drel {

// The large image of the application icon, for a dialog's icon control.
inline constexpr char kApplicationIconPath[] = ":/icons/drel-32.xpm";

// The application icon: a terminal screen over a serial plug. Never fails. User-interface thread
// only, as every pixmap.
QIcon ApplicationIcon();

// The document icon of a terminal window: a page with a serial plug. As ApplicationIcon.
QIcon DocumentIcon();

}  // namespace drel
