#pragma once

// The main window's place on the screen and its bars, as the application's settings file keeps
// them (CWinApp::OpenSettings): group "MainWindow", values "Geometry" (position, size and
// maximized state, as QWidget::saveGeometry writes them), "ToolBar" and "StatusBar" (true while
// that bar is shown). Read when the main window is created, written on every close request of
// the main window.

namespace drel {

class CMDIFrameWnd;
class CWinApp;

// Puts `frame` where `app`'s settings file says and shows or hides its toolbar and status bar
// as stored. False, with the frame's place and size left alone, without a stored geometry or
// with one that cannot be read (damaged, or not written by this program); a bar with no stored
// value stays shown. User-interface thread only.
bool RestoreMainWindow(const CWinApp& app, CMDIFrameWnd& frame);

// Writes the frame's geometry and whether its toolbar and status bar are shown; the rest of the
// file is kept. False when the file could not be written. User-interface thread only.
bool SaveMainWindow(const CWinApp& app, const CMDIFrameWnd& frame);

}  // namespace drel
