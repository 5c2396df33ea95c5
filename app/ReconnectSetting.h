#pragma once

// Whether connections reconnect by itself, as the application's settings file keeps it
// (CWinApp::OpenSettings): group "Settings", value "ReconnectAutomatically", true or false.
// Off when the file does not say.

namespace drel {

class CWinApp;

// The stored choice; false when there is none or it cannot be read. User-interface thread.
bool LoadReconnectSetting(const CWinApp& app);

// Stores `on`; false when the file could not be written. User-interface thread.
bool SaveReconnectSetting(const CWinApp& app, bool on);

}  // namespace drel
