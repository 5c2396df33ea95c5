#include "cli/Console.h"

namespace drel::cli {

namespace {

// Clears the terminal's last line from the start.
constexpr const char* kClearLine = "\r\x1b[K";

}  // namespace

std::string OneLine(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    std::string line;
    line.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '\n') {
            line += ": ";
        } else if (byte < 0x20 || byte == 0x7f) {
            line += '?';
        } else {
            line += ch;
        }
    }
    return line;
}

void Console::Line(std::string_view text) {
    std::lock_guard lock(mutex_);
    ClearProgressLocked();
    std::fprintf(stream_, "%s\n", OneLine(text).c_str());
    std::fflush(stream_);
}

void Console::Progress(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (terminal_) {
        std::fprintf(stream_, "%s%s", kClearLine, OneLine(text).c_str());
        progressShown_ = true;
    } else {
        std::fprintf(stream_, "%s\n", OneLine(text).c_str());
    }
    std::fflush(stream_);
}

void Console::ClearProgressLocked() {
    if (progressShown_) {
        std::fputs(kClearLine, stream_);
        progressShown_ = false;
    }
}

}  // namespace drel::cli
