#pragma once

// The program's dialog templates.

#include "framework/DialogTemplate.h"

namespace drel {

// IDD_PORT_SETTINGS: "Open port setting", the port name, baud rate and line format of a new
// connection.
const DialogTemplate& PortSettingsTemplate();

// IDD_DOWNLOAD_NAMES: "Dialog", the two download file names, each in an edit field without a
// length limit of its own.
const DialogTemplate& DownloadNamesTemplate();

// IDD_SEND_HEX: "Send Hex", the bytes to send by value, in a combo box whose list holds what was
// sent before.
const DialogTemplate& SendHexTemplate();

// IDD_ABOUTBOX: "About drel", the application icon, the program's name and version, copyright
// and author.
const DialogTemplate& AboutBoxTemplate();

}  // namespace drel
