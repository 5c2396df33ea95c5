#include "ConnectionLog.h"

#include <memory>
#include <mutex>
#include <utility>

#include "connection/SessionLog.h"

namespace drel {

namespace {

std::shared_ptr<SessionLog> CurrentLog(PortConnection& c) {
    std::lock_guard lock(c.logLock);
    return c.log;
}

std::shared_ptr<SessionLog> ReplaceLog(PortConnection& c, std::shared_ptr<SessionLog> log) {
    std::lock_guard lock(c.logLock);
    std::swap(c.log, log);
    return log;
}

}  // namespace

std::string StartLog(PortConnection& c, const std::string& path, LogFormat format) {
    UserInterface& ui = c.ui;  // outlives the connection, and so the log
    auto log = std::make_shared<SessionLog>(format, [&ui](const std::string& text) {
        ui.MessageBox(text, {}, UserInterface::Icon::Warning);
    });
    std::string error = log->Open(path);
    if (!error.empty()) {
        return error;
    }
    if (std::shared_ptr<SessionLog> earlier = ReplaceLog(c, std::move(log))) {
        earlier->Stop(&c.ui);
    }
    return "";
}

void StopLog(PortConnection& c) {
    if (std::shared_ptr<SessionLog> log = ReplaceLog(c, nullptr)) {
        log->Stop(&c.ui);
    }
}

bool LogRunning(PortConnection& c) {
    return CurrentLog(c) != nullptr;
}

void LogReceived(PortConnection& c, const uint8_t* bytes, int count) {
    if (count <= 0) {
        return;
    }
    if (std::shared_ptr<SessionLog> log = CurrentLog(c)) {
        log->Append(bytes, static_cast<size_t>(count), LogTime::Now());
    }
}

void LogMark(PortConnection& c, const std::string& text) {
    if (std::shared_ptr<SessionLog> log = CurrentLog(c)) {
        log->Mark(text, LogTime::Now());
    }
}

}  // namespace drel
