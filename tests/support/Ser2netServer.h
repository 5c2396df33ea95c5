#pragma once

// ser2net run as a child process for tests of network serial ports: it serves a pseudo-terminal
// slave on a port of 127.0.0.1, by Telnet with the COM-PORT option or as raw TCP, as a terminal
// server on the network serves a board's line.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "ChildProcesses.h"

namespace drel::test {

// Connects a TCP socket to 127.0.0.1:`port`. The blocking socket (close-on-exec), or -1 with
// errno set when the connect fails. Any thread.
int ConnectToLocalPort(uint16_t port);

// One ser2net serving `devicePath` on a free port of 127.0.0.1 for the object's life, with its
// configuration and output in a temporary folder of its own. A new connection takes the line
// from one the server has not yet seen closed, so that a client that reconnects at once is
// served. Make, start, stop and destroy on the test's main thread.
class Ser2netServer {
  public:
    enum class Mode {
        Rfc2217,  // Telnet with the COM-PORT option: names "rfc2217://127.0.0.1:PORT"
        RawTcp,   // the line's bytes as they are: names "tcp://127.0.0.1:PORT"
    };

    // Picks a free port, writes the configuration and starts the server; Started() tells
    // whether it serves, and why not.
    Ser2netServer(std::string devicePath, Mode mode);
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;
    // Stops the server and removes its folder.
    ~Ser2netServer();

    // Success when the last start made the server accept connections; a failure naming what
    // went wrong (ser2net missing, the server's own output when it ended) otherwise.
    const ::testing::AssertionResult& Started() const { return started_; }

    // Starts the server again on the same port, after Stop(), and waits up to `timeout` for it
    // to accept a connection. Fails as Started() says; does nothing while it runs.
    ::testing::AssertionResult Start(std::chrono::milliseconds timeout = kChildPatience);

    // Ends the server (SIGTERM, SIGKILL after kChildPatience) and reaps it: its connections
    // close and new ones are refused. Does nothing when it is not running.
    void Stop();

    bool IsRunning() const { return pid_ > 0; }

    // The TCP port on 127.0.0.1 the server listens on; 0 when none could be picked.
    uint16_t Port() const { return port_; }

    // The port name the program opens the served line by.
    std::string Name() const;

  private:
    // Writes the server's configuration file; a failure names what could not be written.
    ::testing::AssertionResult WriteConfiguration(const std::string& devicePath);
    // Waits until the server accepts a connection, it ends or `timeout` passes.
    ::testing::AssertionResult WaitUntilServing(std::chrono::milliseconds timeout);
    // What the server wrote to its output, for failure messages.
    std::string Output() const;

    const Mode mode_;
    std::string folder_;
    std::string program_;
    uint16_t port_ = 0;
    pid_t pid_ = -1;
    ::testing::AssertionResult started_ = ::testing::AssertionFailure() << "not started";
};

}  // namespace drel::test
