#include "resources/AppResources.h"

#include <Qt>

#include "framework/StandardIds.h"
#include "resources/resource.h"

namespace drel {

namespace {

// Menu 128: no terminal window open.
constexpr MenuItem kMainFileMenu[] = {
    {"&New\tCtrl+N", ID_FILE_NEW},
    {"&Open...\tCtrl+O", ID_FILE_OPEN},
    {},
    {"P&rint Setup...", ID_FILE_PRINT_SETUP},
    {},
    {"Recent File", ID_FILE_MRU_FILE1},
    {},
    {"E&xit", ID_APP_EXIT},
};
constexpr MenuItem kViewMenu[] = {
    {"&Toolbar", ID_VIEW_TOOLBAR},
    {"&Status Bar", ID_VIEW_STATUS_BAR},
};
constexpr MenuItem kHelpMenu[] = {
    {"&About drel...", ID_APP_ABOUT},
};
constexpr MenuItem kMainFrameMenu[] = {
    {"&File", 0, kMainFileMenu},
    {"&View", 0, kViewMenu},
    {"&Help", 0, kHelpMenu},
};

// Menu 129: a terminal window is active.
constexpr MenuItem kTerminalFileMenu[] = {
    {"&New\tCtrl+N", ID_FILE_NEW},
    {"&Open...\tCtrl+O", ID_FILE_OPEN},
    {"&Close", ID_FILE_CLOSE},
    {"&Save\tCtrl+S", ID_FILE_SAVE},
    {"Save &As...", ID_FILE_SAVE_AS},
    {},
    {"&Print...\tCtrl+P", ID_FILE_PRINT},
    {"Print Pre&view", ID_FILE_PRINT_PREVIEW},
    {"P&rint Setup...", ID_FILE_PRINT_SETUP},
    {},
    {"Recent File", ID_FILE_MRU_FILE1},
    {},
    {"E&xit", ID_APP_EXIT},
};
constexpr MenuItem kEditMenu[] = {
    {"&Undo\tCtrl+Z", ID_EDIT_UNDO},   {},
    {"Cu&t\tCtrl+X", ID_EDIT_CUT},     {"&Copy\tCtrl+C", ID_EDIT_COPY},
    {"&Paste\tCtrl+V", ID_EDIT_PASTE},
};
constexpr MenuItem kTerminalViewMenu[] = {
    {"&Toolbar", ID_VIEW_TOOLBAR},
    {"&Status Bar", ID_VIEW_STATUS_BAR},
    {},
    {"&Hex", ID_VIEW_HEX},
};
constexpr MenuItem kAutoMenu[] = {
    {"&Download file name", ID_DOWNLOAD_FILE_NAME},
    {"&Auto Down load", ID_AUTO_DOWNLOAD},
};
constexpr MenuItem kPortMenu[] = {
    {"Send &Break", ID_PORT_SEND_BREAK},
    {"Send &Hex...", ID_PORT_SEND_HEX},
    {"&DTR", ID_PORT_DTR},
    {"&RTS", ID_PORT_RTS},
    {},
    {"&Log to File...", ID_PORT_LOG_START},
    {"Stop &Logging", ID_PORT_LOG_STOP},
    {},
    {"Reconnect &Automatically", ID_PORT_RECONNECT},
};
constexpr MenuItem kTransferMenu[] = {
    {"Send with &YMODEM...", ID_TRANSFER_YMODEM}, {"Send with &XMODEM-1K...", ID_TRANSFER_XMODEM1K},
    {"Send with X&MODEM...", ID_TRANSFER_XMODEM}, {},
    {"&Cancel Transfer", ID_TRANSFER_CANCEL},
};
constexpr MenuItem kWindowMenu[] = {
    {"&New Window", ID_WINDOW_NEW},
    {"&Cascade", ID_WINDOW_CASCADE},
    {"&Tile", ID_WINDOW_TILE_HORZ},
    {"&Arrange Icons", ID_WINDOW_ARRANGE},
};
constexpr MenuItem kTerminalMenu[] = {
    {"&File", 0, kTerminalFileMenu}, {"&Edit", 0, kEditMenu}, {"&View", 0, kTerminalViewMenu},
    {"&Auto", 0, kAutoMenu},         {"&Port", 0, kPortMenu}, {"&Transfer", 0, kTransferMenu},
    {"&Window", 0, kWindowMenu},     {"&Help", 0, kHelpMenu},
};

constexpr MenuTemplate kMenus[] = {
    {IDR_MAINFRAME, kMainFrameMenu},
    {IDR_DRELTYPE, kTerminalMenu},
};

constexpr int kToolBarButtons[] = {
    ID_FILE_NEW,   ID_FILE_OPEN, ID_FILE_SAVE,     0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0,
    ID_FILE_PRINT, ID_APP_ABOUT, ID_AUTO_DOWNLOAD,
};
constexpr ToolBarTemplate kToolBars[] = {{IDR_MAINFRAME, 16, 15, kToolBarButtons}};

constexpr Accelerator kAcceleratorEntries[] = {
    {Qt::Key_N, kCtrl, ID_FILE_NEW},         {Qt::Key_O, kCtrl, ID_FILE_OPEN},
    {Qt::Key_S, kCtrl, ID_FILE_SAVE},        {Qt::Key_P, kCtrl, ID_FILE_PRINT},
    {Qt::Key_Z, kCtrl, ID_EDIT_UNDO},        {Qt::Key_X, kCtrl, ID_EDIT_CUT},
    {Qt::Key_C, kCtrl, ID_EDIT_COPY},        {Qt::Key_V, kCtrl, ID_EDIT_PASTE},
    {Qt::Key_Backspace, kAlt, ID_EDIT_UNDO}, {Qt::Key_Delete, kShift, ID_EDIT_CUT},
    {Qt::Key_Insert, kCtrl, ID_EDIT_COPY},   {Qt::Key_Insert, kShift, ID_EDIT_PASTE},
    {Qt::Key_F6, kNoModifier, ID_NEXT_PANE}, {Qt::Key_F6, kShift, ID_PREV_PANE},
};
constexpr AcceleratorTable kAccelerators[] = {{IDR_MAINFRAME, kAcceleratorEntries}};

constexpr StringResource kStrings[] = {
    {IDR_MAINFRAME, "drel"},
    {IDR_DRELTYPE, "\nDrel\nDrel\n\n\nDrel.Document\nDrel Document"},
    {AFX_IDS_APP_TITLE, "drel"},
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {ID_INDICATOR_CAPS, "CAP"},
    {ID_INDICATOR_NUM, "NUM"},
    {ID_INDICATOR_SCRL, "SCRL"},
    {ID_INDICATOR_CTS, "CTS"},
    {ID_INDICATOR_DSR, "DSR"},
    {ID_INDICATOR_DCD, "DCD"},
    {ID_INDICATOR_RI, "RI"},
    {ID_INDICATOR_LOG, "LOG"},
    {ID_FILE_NEW, "Create a new document\nNew"},
    {ID_FILE_OPEN, "Open an existing document\nOpen"},
    {ID_FILE_CLOSE, "Close the active document\nClose"},
    {ID_FILE_SAVE, "Save the active document\nSave"},
    {ID_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
    {ID_FILE_PRINT, "Print the active document\nPrint"},
    {ID_FILE_PRINT_PREVIEW, "Display full pages\nPrint Preview"},
    {ID_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
    {ID_FILE_MRU_FILE1, "Open this document"},
    {ID_FILE_MRU_FILE1 + 1, "Open this document"},
    {ID_FILE_MRU_FILE1 + 2, "Open this document"},
    {ID_FILE_MRU_FILE1 + 3, "Open this document"},
    {ID_FILE_MRU_FILE1 + 4, "Open this document"},
    {ID_FILE_MRU_FILE1 + 5, "Open this document"},
    {ID_FILE_MRU_FILE1 + 6, "Open this document"},
    {ID_FILE_MRU_FILE1 + 7, "Open this document"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    {ID_EDIT_UNDO, "Undo the last action\nUndo"},
    {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
    {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
    {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
    {ID_VIEW_HEX, "Switch between the text and a hex dump of the bytes received\nHex View"},
    {ID_AUTO_DOWNLOAD, "Auto download BIN file to device, \nAutoDownload"},
    {ID_WINDOW_NEW, "Open another window for the active document\nNew Window"},
    {ID_WINDOW_CASCADE, "Arrange windows so they overlap\nCascade Windows"},
    {ID_WINDOW_TILE_HORZ, "Arrange windows as non-overlapping tiles\nTile Windows"},
    {ID_WINDOW_ARRANGE, "Arrange icons at the bottom of the window\nArrange Icons"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
    {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
    {61184, "Change the window size"},
    {61185, "Change the window position"},
    {61186, "Reduce the window to an icon"},
    {61187, "Enlarge the window to full size"},
    {61188, "Switch to the next document window"},
    {61189, "Switch to the previous document window"},
    {61190, "Close the active window and prompts to save the documents"},
    {61202, "Restore the window to normal size"},
    {61203, "Activate Task List"},
    {AFX_IDS_MDICHILD, "Activate this window"},
    {61445, "Close print preview mode\nCancel Preview"},
};

constexpr ImageResource kIcons[] = {
    {IDR_MAINFRAME, ":/icons/drel-32.xpm"},
    {IDR_MAINFRAME, ":/icons/drel-16.xpm"},
    {IDR_DRELTYPE, ":/icons/drel-doc-32.xpm"},
    {IDR_DRELTYPE, ":/icons/drel-doc-16.xpm"},
};

constexpr ImageResource kBitmaps[] = {
    {IDR_MAINFRAME, ":/images/toolbar.xpm"},
};

constexpr ResourceTable kTable = {kMenus, kToolBars, kAccelerators, kStrings, kIcons, kBitmaps};

}  // namespace

const ResourceTable& AppResources() {
    return kTable;
}

}  // namespace drel
