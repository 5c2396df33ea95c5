#include "SimulatedDevice.h"

#include <utility>

namespace drel::devsim {

namespace {

constexpr char kBackspace = '\b';
constexpr char kDelete = '\x7f';

}  // namespace

std::string SimulatedDevice::Start() {
    return Greeting();
}

std::string SimulatedDevice::HostPurged(bool deviceOutputLost) {
    line_.clear();
    std::string reply;
    if (load_) {
        load_->Abandon("host purged the port, waiting for " + load_->Awaiting());
        reply = ResultLine();
    }
    if (greetingStands_ && !deviceOutputLost) {
        return reply;
    }
    return reply + Greeting();
}

std::string SimulatedDevice::Receive(std::string_view bytes, Clock::time_point now) {
    std::string reply;
    for (std::size_t at = 0; at < bytes.size();) {
        if (load_) {
            lastHeard_ = now;
            at += load_->Take(bytes.substr(at), reply);
            if (load_->finished()) {
                EndLoad(reply);
            }
        } else {
            CommandByte(bytes[at++], now, reply);
        }
    }
    if (!bytes.empty()) {
        greetingStands_ = false;
    }
    return reply;
}

std::string SimulatedDevice::TimePassed(Clock::time_point now) {
    std::string reply;
    if (load_ && now >= lastHeard_ + options_.idleTimeout) {
        load_->Abandon("host silent for " + std::to_string(options_.idleTimeout.count()) +
                       " ms, waiting for " + load_->Awaiting());
        EndLoad(reply);
    }
    return reply;
}

std::optional<SimulatedDevice::Clock::time_point> SimulatedDevice::Deadline() const {
    if (!load_) {
        return std::nullopt;
    }
    return lastHeard_ + options_.idleTimeout;
}

std::vector<std::string> SimulatedDevice::TakeResults() {
    return std::exchange(results_, {});
}

std::string SimulatedDevice::Greeting() {
    greetingStands_ = true;
    std::string greeting(kBanner);
    greeting += kPrompt;
    return greeting;
}

void SimulatedDevice::CommandByte(char byte, Clock::time_point now, std::string& reply) {
    reply += byte;
    if (byte == '\r') {
        reply += '\n';
        LineEnded(now, reply);
    } else if (byte == kBackspace || byte == kDelete) {
        if (!line_.empty()) {
            line_.pop_back();
        }
    } else if (byte != '\n' && line_.size() < kMaxLine) {
        line_ += byte;
    }
}

void SimulatedDevice::LineEnded(Clock::time_point now, std::string& reply) {
    const std::string line = std::exchange(line_, {});
    if (!line.starts_with(kLoadCommand)) {
        reply += kPrompt;
        return;
    }
    reply += kNameMarker;
    reply += options_.askFor.empty() ? std::string_view(line).substr(kLoadCommand.size())
                                     : std::string_view(options_.askFor);
    reply += "\r\n";
    reply += kStartDownload;
    load_.emplace(options_.load);
    lastHeard_ = now;
}

void SimulatedDevice::EndLoad(std::string& reply) {
    reply += ResultLine();
    reply += kPrompt;
}

std::string SimulatedDevice::ResultLine() {
    results_.push_back(load_->result());
    load_.reset();
    return results_.back() + "\r\n";
}

}  // namespace drel::devsim
