#include "LogFormat.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

namespace drel {

namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

constexpr struct {
    LogFormat format;
    const char* name;
} kNames[] = {
    {LogFormat::Raw, "raw"},
    {LogFormat::Iso, "iso"},
    {LogFormat::Elapsed, "elapsed"},
    {LogFormat::Delta, "delta"},
};

// "[2026-12-09T08:30:00.123] " in local time.
std::string WallStamp(std::chrono::system_clock::time_point wall) {
    const long long ms = duration_cast<milliseconds>(wall.time_since_epoch()).count();
    // Whole seconds rounded down, so that a time before 1970 keeps a positive fraction.
    const long long seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const time_t whole = static_cast<time_t>(seconds);
    tm local{};
    localtime_r(&whole, &local);
    char text[64];
    std::snprintf(text, sizeof text, "[%04d-%02d-%02dT%02d:%02d:%02d.%03d] ", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms - seconds * 1000));
    return text;
}

// "[+12.345] ": a span in seconds with its milliseconds; a span that the clock would make
// negative counts as none.
std::string SpanStamp(std::chrono::steady_clock::duration span) {
    const long long ms = std::max<long long>(0, duration_cast<milliseconds>(span).count());
    char text[48];
    std::snprintf(text, sizeof text, "[+%lld.%03lld] ", ms / 1000, ms % 1000);
    return text;
}

}  // namespace

std::optional<LogFormat> ParseLogFormat(std::string_view name) {
    for (const auto& entry : kNames) {
        if (name == entry.name) {
            return entry.format;
        }
    }
    return std::nullopt;
}

const char* LogFormatName(LogFormat format) {
    for (const auto& entry : kNames) {
        if (entry.format == format) {
            return entry.name;
        }
    }
    return "raw";
}

LogTime LogTime::Now() {
    return {std::chrono::steady_clock::now(), std::chrono::system_clock::now()};
}

LogStamper::LogStamper(LogFormat format, const LogTime& began)
    : format_(format), began_(began.steady), lastLineBegan_(began.steady) {}

void LogStamper::BeginLine(const LogTime& at, std::string& out) {
    switch (format_) {
        case LogFormat::Iso:
            out += WallStamp(at.wall);
            break;
        case LogFormat::Elapsed:
            out += SpanStamp(at.steady - began_);
            break;
        case LogFormat::Delta:
            out += SpanStamp(at.steady - lastLineBegan_);
            break;
        case LogFormat::Raw:
            break;
    }
    lastLineBegan_ = at.steady;
    inLine_ = true;
}

void LogStamper::Take(const uint8_t* bytes, size_t count, const LogTime& arrival,
                      std::string& out) {
    if (format_ == LogFormat::Raw) {
        out.append(reinterpret_cast<const char*>(bytes), count);
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        if (byte == '\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        if (!inLine_) {
            BeginLine(arrival, out);
        }
        afterCr_ = byte == '\r';
        if (byte == '\r' || byte == '\n') {
            out += '\n';
            inLine_ = false;
        } else {
            out += static_cast<char>(byte);
        }
    }
}

void LogStamper::Mark(std::string_view text, const LogTime& at, std::string& out) {
    if (format_ == LogFormat::Raw) {
        return;
    }
    if (inLine_) {
        out += '\n';
    }
    BeginLine(at, out);
    out += text;
    out += '\n';
    inLine_ = false;
    afterCr_ = false;
}

}  // namespace drel
