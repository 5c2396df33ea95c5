#pragma once

// Message boxes that any thread may show.
//
// The box itself always runs on the user-interface thread (CallOnUiThread): a receive loop that
// reports a port error waits there until the user has answered. A box can be shown on behalf of
// an owner (any pointer the caller chooses, such as its connection record); the user-interface
// thread can close that owner's open boxes, and keep new ones from opening, so that closing a
// connection never waits for a person to click OK.
//
// Tests answer boxes without showing them through AfxSetMessageBoxHook.

#include <functional>
#include <string>

#include "framework/DialogStyles.h"

namespace drel {

// Buttons (one of).
inline constexpr unsigned MB_OK = 0x00u;
inline constexpr unsigned MB_YESNOCANCEL = 0x03u;
inline constexpr unsigned MB_YESNO = 0x04u;
inline constexpr unsigned MB_TYPEMASK = 0x0Fu;
// Icons (one of).
inline constexpr unsigned MB_ICONQUESTION = 0x20u;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30u;
inline constexpr unsigned MB_ICONMASK = 0xF0u;

// Answers besides IDOK and IDCANCEL.
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
    std::string text;     // 8-bit, system code page
    std::string caption;  // the program's name when the caller gave none
    unsigned type;        // MB_* buttons | icon
    const void* owner;
};

// Shows `text` in a modal box with the buttons and icon of `type` and returns the answer (IDOK,
// IDCANCEL, IDYES, IDNO). `caption` empty means the program's name. A box that is dismissed,
// or suppressed for `owner`, answers as its Escape key would: IDOK for an OK box, IDCANCEL when
// it has Cancel, IDNO for Yes/No. Any thread; the caller waits for the answer.
int AfxMessageBox(const std::string& text, unsigned type = MB_OK, const std::string& caption = {},
                  const void* owner = nullptr);

// Closes every open box shown for `owner` (not null), each answering as dismissed. On the
// user-interface thread it happens before returning; from another thread it is posted there and
// this returns at once.
void AfxDismissMessageBoxes(const void* owner);

// While `suppress` is on for `owner` (not null), boxes for it are not shown but answered at once
// as dismissed; turning it on also dismisses the open ones. Calls nest: each `true` needs its
// `false`. Any thread.
void AfxSuppressMessageBoxes(const void* owner, bool suppress);

// Replaces the boxes by `hook`, which gets every request on the user-interface thread and
// returns the answer; an empty hook shows real boxes again. For tests. User-interface thread.
void AfxSetMessageBoxHook(std::function<int(const MessageBoxRequest&)> hook);

}  // namespace drel
