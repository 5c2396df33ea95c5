#pragma once

// What a session log makes of the received bytes. `raw` keeps them exactly as they came; the
// text formats cut them into lines and begin each line with the arrival time of its first byte:
// the local date and time (`iso`), the seconds since the log began (`elapsed`) or the seconds
// since the line before began (`delta`). The stamper is pure: the times come with the bytes, so
// it neither reads a clock nor does any I/O.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace drel {

enum class LogFormat { Raw, Iso, Elapsed, Delta };

// The format of a name: "raw", "iso", "elapsed" or "delta", exactly; nothing for any other
// name. Any thread.
std::optional<LogFormat> ParseLogFormat(std::string_view name);

// The name ParseLogFormat takes for `format`. Any thread.
const char* LogFormatName(LogFormat format);

// A moment as the log records it: the steady clock measures the spans (`elapsed`, `delta`),
// the wall clock gives the date and time (`iso`).
struct LogTime {
    std::chrono::steady_clock::time_point steady;
    std::chrono::system_clock::time_point wall;

    // Now, on both clocks. Any thread.
    static LogTime Now();
};

// Turns received bytes, chunk by chunk, into what the log holds. A line ends at CR, at LF or at
// CR LF (one line end, also when the CR ends one chunk and the LF begins the next) and is
// written with "\n"; every other byte, NUL and 0xFF included, is kept as it came. An empty line
// is a line too and gets its stamp. One thread uses an instance.
class LogStamper {
  public:
    // `began` is when the log began: what `elapsed` counts from, and what the first line's
    // `delta` counts from.
    LogStamper(LogFormat format, const LogTime& began);

    // Appends to `out` what `count` bytes that came at `arrival` make in the log.
    void Take(const uint8_t* bytes, size_t count, const LogTime& arrival, std::string& out);

    // Appends to `out` a line of its own holding `text`, stamped with `at`, ending the line under
    // way first. Nothing in `raw`, which holds the device's bytes only.
    void Mark(std::string_view text, const LogTime& at, std::string& out);

    LogFormat Format() const { return format_; }

  private:
    void BeginLine(const LogTime& at, std::string& out);

    const LogFormat format_;
    const std::chrono::steady_clock::time_point began_;
    std::chrono::steady_clock::time_point lastLineBegan_;
    bool inLine_ = false;   // a line has begun and not ended
    bool afterCr_ = false;  // the last byte ended a line with CR: an LF now belongs to it
};

}  // namespace drel
