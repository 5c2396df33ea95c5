#include "framework/KeyLockState.h"

#include <filesystem>
#include <fstream>

namespace drel {

namespace {

// Folds one LED's reading into the state found so far.
void Merge(LockState& state, bool lit) {
    if (lit) {
        state = LockState::On;
    } else if (state == LockState::Unknown) {
        state = LockState::Off;
    }
}

}  // namespace

KeyLocks ReadKeyLocks(const std::string& ledsDir) {
    KeyLocks locks;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ledsDir, error)) {
        const std::string name = entry.path().filename().string();
        const auto separator = name.rfind("::");
        if (separator == std::string::npos) {
            continue;
        }
        const std::string kind = name.substr(separator + 2);
        LockState* state = kind == "capslock"     ? &locks.caps
                           : kind == "numlock"    ? &locks.num
                           : kind == "scrolllock" ? &locks.scroll
                                                  : nullptr;
        std::ifstream brightness(entry.path() / "brightness");
        int value = 0;
        if (state != nullptr && brightness >> value) {
            Merge(*state, value > 0);
        }
    }
    return locks;
}

}  // namespace drel
