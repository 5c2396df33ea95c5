#pragma once

// The command ids that end a dialog and the style bits a dialog template carries, with the
// values they have in the resource scripts the templates are written from. Only the bits the
// framework acts on are listed.

#include <cstdint>

namespace drel {

// Results of CDialog::DoModal, and the ids of the buttons that produce them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Window styles.
inline constexpr uint32_t WS_POPUP = 0x80000000u;
inline constexpr uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr uint32_t WS_BORDER = 0x00800000u;
inline constexpr uint32_t WS_VSCROLL = 0x00200000u;
inline constexpr uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr uint32_t WS_GROUP = 0x00020000u;    // starts a group: radio buttons, arrow keys
inline constexpr uint32_t WS_TABSTOP = 0x00010000u;  // reached by the Tab key

// Dialog styles.
inline constexpr uint32_t DS_MODALFRAME = 0x0080u;

// Button styles. The low four bits are the button type, not independent bits.
inline constexpr uint32_t BS_TYPEMASK = 0x000Fu;
inline constexpr uint32_t BS_PUSHBUTTON = 0x0000u;
inline constexpr uint32_t BS_DEFPUSHBUTTON = 0x0001u;  // the button Enter presses
inline constexpr uint32_t BS_GROUPBOX = 0x0007u;
inline constexpr uint32_t BS_AUTORADIOBUTTON = 0x0009u;

// Combo box styles.
inline constexpr uint32_t CBS_DROPDOWN = 0x0002u;  // an edit field over the list: any text

// Edit and static text styles.
inline constexpr uint32_t ES_AUTOHSCROLL = 0x0080u;
inline constexpr uint32_t SS_LEFT = 0x0000u;

}  // namespace drel
