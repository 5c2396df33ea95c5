#pragma once

// Style bits and show states of frames and control bars, with the values the resource scripts
// and the program's code use. Only the bits the framework acts on, and the ones the program
// passes along, are listed.

#include <cstdint>

namespace drel {

// Window styles of frames and bars.
inline constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;
inline constexpr uint32_t WS_CHILD = 0x40000000u;
inline constexpr uint32_t WS_VISIBLE = 0x10000000u;

// Frame style: the main window's title shows the active document's title after its own.
inline constexpr uint32_t FWS_ADDTOTITLE = 0x00008000u;

// Control bar styles.
inline constexpr uint32_t CBRS_ALIGN_LEFT = 0x1000u;
inline constexpr uint32_t CBRS_ALIGN_TOP = 0x2000u;
inline constexpr uint32_t CBRS_ALIGN_RIGHT = 0x4000u;
inline constexpr uint32_t CBRS_ALIGN_BOTTOM = 0x8000u;
inline constexpr uint32_t CBRS_ALIGN_ANY = 0xF000u;
inline constexpr uint32_t CBRS_TOP = CBRS_ALIGN_TOP;
inline constexpr uint32_t CBRS_BOTTOM = CBRS_ALIGN_BOTTOM;
inline constexpr uint32_t CBRS_TOOLTIPS = 0x0010u;      // buttons show their tooltips
inline constexpr uint32_t CBRS_FLYBY = 0x0020u;         // buttons show their prompts on hover
inline constexpr uint32_t CBRS_SIZE_DYNAMIC = 0x0080u;  // a floating bar may change its shape

// Show states (CWinApp::m_nCmdShow, CFrameWnd::ShowWindow).
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

}  // namespace drel
