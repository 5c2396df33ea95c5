#include "FloodSource.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace drel::devsim {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kNumberLength = 10;
constexpr std::size_t kTextLength = FloodSource::kLineLength - kNumberLength - 3;

}  // namespace

void FloodSource::MakeLine() {
    char number[kNumberLength + 2];
    std::snprintf(number, sizeof number, "%010llu ",
                  static_cast<unsigned long long>(lineNumber_ % 10'000'000'000ULL));
    line_.assign(number, kNumberLength + 1);
    // Each line starts one letter further on, so that a line lost or repeated shows on screen.
    for (std::size_t i = 0; i < kTextLength; ++i) {
        line_ += kAlphabet[(lineNumber_ + i) % kAlphabet.size()];
    }
    line_ += "\r\n";
    lineOffset_ = 0;
    ++lineNumber_;
}

void FloodSource::Next(std::size_t count, std::string& out) {
    while (count > 0) {
        if (lineOffset_ == line_.size()) {
            MakeLine();
        }
        const std::size_t take = std::min(count, line_.size() - lineOffset_);
        const char* piece = line_.data() + lineOffset_;
        out.append(piece, take);
        hash_.Add(piece, take);
        bytes_ += take;
        lineOffset_ += take;
        count -= take;
    }
}

}  // namespace drel::devsim
