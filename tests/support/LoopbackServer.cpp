#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "platform/TelnetCodec.h"

namespace drel::test {

using namespace platform::telnet;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

std::string ComPort(std::initializer_list<int> payload) {
    return Bytes({kIac, kSb, kOptionComPort}) + Bytes(payload) + Bytes({kIac, kSe});
}

std::string Agreeing() {
    return Bytes({kIac, kDo, kOptionBinary, kIac, kWill, kOptionBinary, kIac, kDo,
                  kOptionSuppressGoAhead, kIac, kWill, kOptionSuppressGoAhead, kIac, kDo,
                  kOptionComPort});
}

std::string Opening() {
    return Bytes({kIac, kWill, 0, kIac, kWill, 3, kIac, kWill, 44, kIac, kDo, 0, kIac, kDo, 3});
}

LoopbackServer::LoopbackServer(int receiveBuffer) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) {
        setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        listen(listener_, 1) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

LoopbackServer::~LoopbackServer() {
    Hangup();
    close(listener_);
}

platform::NetworkAddress LoopbackServer::Address(
    platform::NetworkAddress::Protocol protocol) const {
    return {protocol, "127.0.0.1", port_};
}

bool LoopbackServer::Accept(std::chrono::milliseconds timeout) {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(timeout / 1ms)) != 1) {
        return false;
    }
    client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
}

bool LoopbackServer::Send(const std::string& bytes) {
    return send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

std::string LoopbackServer::Receive(size_t count) {
    std::string got;
    const Clock::time_point deadline = Clock::now() + kPatience;
    while (got.size() < count && Clock::now() < deadline) {
        pollfd readable{client_, POLLIN, 0};
        if (poll(&readable, 1, 50) != 1) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = recv(client_, buffer, std::min(sizeof buffer, count - got.size()), 0);
        if (n <= 0) {
            break;
        }
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

bool LoopbackServer::NothingMore() {
    pollfd readable{client_, POLLIN, 0};
    return poll(&readable, 1, 100) == 0;
}

void LoopbackServer::Hangup() {
    if (client_ >= 0) {
        close(client_);
        client_ = -1;
    }
}

}  // namespace drel::test
