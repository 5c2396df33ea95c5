#pragma once

// The program's dialog templates.

#include "framework/DialogTemplate.h"

namespace drel {

// IDD_PORT_SETTINGS: "Open port setting", the port name, baud rate and line format of a new
// connection.
const DialogTemplate& PortSettingsTemplate();

}  // namespace drel
