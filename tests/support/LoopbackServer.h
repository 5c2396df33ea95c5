#pragma once

// A server the test plays on a loopback socket, for tests of network ports: it listens on a free
// port of 127.0.0.1, takes one connection and sends and receives what the test says; and the
// Telnet bytes of an RFC 2217 server's side of the negotiation, for these and the client's own
// tests.

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/NetworkAddress.h"

namespace drel::test {

// `values` as bytes.
std::string Bytes(std::initializer_list<int> values);

// A COM-PORT sub-negotiation with `payload`.
std::string ComPort(std::initializer_list<int> payload);

// What a server that takes every option answers to the client's opening.
std::string Agreeing();

// The opening the client sends.
std::string Opening();

class LoopbackServer {
  public:
    static constexpr std::chrono::milliseconds kPatience{5000};

    // Listens on a free port. `receiveBuffer`, when not 0, shrinks the accepted connection's
    // receive buffer, so that a server that stops reading holds the client back soon.
    explicit LoopbackServer(int receiveBuffer = 0);
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    ~LoopbackServer();

    platform::NetworkAddress Address(platform::NetworkAddress::Protocol protocol) const;

    // Takes the client's connection; false when none came within `timeout`.
    bool Accept(std::chrono::milliseconds timeout = kPatience);

    bool Send(const std::string& bytes);

    // Reads until `count` bytes have come or the patience has run out; returns what came.
    std::string Receive(size_t count);

    // Whether nothing more has come from the client within a short look.
    bool NothingMore();

    // Closes the connection taken.
    void Hangup();

  private:
    int listener_ = -1;
    int client_ = -1;
    uint16_t port_ = 0;
};

}  // namespace drel::test
