#pragma once

// The state of the Caps Lock, Num Lock and Scroll Lock keys, for the status bar's key panes.
// Qt does not report it; on Linux the keyboard LEDs under /sys/class/leds show it for local
// keyboards whatever the display server. Where no LED of a kind exists the state is unknown.
// Any thread.

#include <string>

namespace drel {

enum class LockState { Off, On, Unknown };

struct KeyLocks {
    LockState caps = LockState::Unknown;
    LockState num = LockState::Unknown;
    LockState scroll = LockState::Unknown;
};

// Reads the LEDs under `ledsDir`: a lock is On when any LED named "*::<lock>" is lit, Off when
// such LEDs exist and none is lit, Unknown when there is none or none can be read.
KeyLocks ReadKeyLocks(const std::string& ledsDir = "/sys/class/leds");

}  // namespace drel
