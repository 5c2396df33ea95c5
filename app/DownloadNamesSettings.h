#pragma once

// The download file names in the application's settings file (CWinApp::OpenSettings: for drel
// $XDG_CONFIG_HOME/Ovex/drel.conf, XDG_CONFIG_HOME defaulting to ~/.config): group "Settings",
// values "FirstFileName" and "SecondFileName", exactly so spelt; any other value is left alone.
// The names are read once when the main window is created and written on every close request
// of the main window.

namespace drel {

class CWinApp;
class DownloadNames;

// Sets each name that `app`'s settings file holds as text, whatever its length; a name it does
// not hold, or holds in a form that is not text, keeps its value. A value that cannot be read
// stops nothing after it. Returns false when the file exists but could not be read or is
// malformed; the names then hold what could be read. User-interface thread only.
bool LoadDownloadNames(const CWinApp& app, DownloadNames& names);

// Writes the non-empty names into `app`'s settings file and removes the value of an empty one,
// so that a name the user cleared stays cleared at the next start. The rest of the file is
// kept, except the lines of a malformed file that could not be read. Returns false when the
// file could not be written (not told apart when the file was also malformed: then true).
// User-interface thread only.
bool SaveDownloadNames(const CWinApp& app, const DownloadNames& names);

}  // namespace drel
