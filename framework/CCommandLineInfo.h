#pragma once

// What the command line asks the program to do at start-up.
//
// No argument: a new document. A file name: open that file. "/p FILE": print the file on the
// current printer without a dialog, then end. "/pt FILE PRINTER": the same on the named
// printer. Switches start with '-' or, when the word is a known switch, '/' (so that an
// absolute path is still a file name); letter case does not matter; unknown switches are
// ignored. Only the first file name counts; after /pt the next word is the printer.
// Any thread (plain data).

#include <span>
#include <string>

namespace drel {

class CCommandLineInfo {
  public:
    enum Shell { FileNew, FileOpen, FilePrint, FilePrintTo };

    virtual ~CCommandLineInfo() = default;

    // Reads `arguments` (without the program's own name) into the members.
    void ParseArguments(std::span<const std::string> arguments);

    // One word of the command line: `param` without its switch character when `flag`; `last`
    // for the final word. Called by ParseArguments for each word in order.
    virtual void ParseParam(const std::string& param, bool flag, bool last);

    Shell m_nShellCommand = FileNew;
    std::string m_strFileName;
    std::string m_strPrinterName;
};

}  // namespace drel
