#pragma once

// Test helpers for the serial port on a real terminal device: a pseudo-terminal pair whose slave
// the code under test opens as its port while the test plays the device on the master, and a
// temporary configuration folder that can hold named port links.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drel::test {

// A pseudo-terminal whose slave is raw (no echo, no CR/LF translation) and held open by a
// descriptor of its own for the pair's whole life, so that the slave's settings survive the
// port's closes and the master does not see the hang-up of a last close. Calls may come from
// any one thread at a time; reading and writing the master from two threads is fine.
class PseudoTerminal {
  public:
    static constexpr std::chrono::milliseconds kPatience{5000};

    // Opens the pair; IsOpen() tells whether that worked.
    PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal();

    bool IsOpen() const { return masterFd_ >= 0 && slaveFd_ >= 0; }

    // The slave's device path (/dev/pts/N), the name to open the port by.
    const std::string& SlavePath() const { return slavePath_; }

    // The held slave descriptor, to read the line settings the port has made (termios belongs
    // to the terminal, not to a descriptor).
    int SlaveFd() const { return slaveFd_; }

    // The master, non-blocking, for a test that moves the device's bytes itself (a relay).
    int MasterFd() const { return masterFd_; }

    // Sends `bytes` to the port, waiting up to `timeout` for room. False when the master fails
    // or the port does not take them in time.
    bool Write(const uint8_t* bytes, size_t count, std::chrono::milliseconds timeout = kPatience);
    bool Write(std::string_view bytes, std::chrono::milliseconds timeout = kPatience);

    // Reads what the port sent until `count` bytes have come or `timeout` has passed; returns
    // the bytes that came.
    std::vector<uint8_t> Read(size_t count, std::chrono::milliseconds timeout = kPatience);

    // Waits up to `timeout` for bytes from the port and reads at most `max` of them. Returns the
    // count read, 0 when nothing came in time, or nothing when the master failed.
    std::optional<size_t> ReadSome(uint8_t* buffer, size_t max,
                                   std::chrono::milliseconds timeout = kPatience);

    // How many bytes the port sent that wait in the master's queue, unread by the device; 0 when
    // the master fails. The kernel holds more beyond that queue before a write of the port waits.
    size_t Unread() const;

    // Closes the master and the held slave: the port's side of the line hangs up. No other call
    // on this object may be running.
    void HangUp();

  private:
    int masterFd_ = -1;
    int slaveFd_ = -1;
    std::string slavePath_;
};

// Points XDG_CONFIG_HOME at a new empty folder for the object's life, then restores the previous
// value (or its absence) and removes the folder. Create and destroy on the test's main thread,
// before and after any thread that reads the environment.
class TemporaryConfigHome {
  public:
    TemporaryConfigHome();
    TemporaryConfigHome(const TemporaryConfigHome&) = delete;
    TemporaryConfigHome& operator=(const TemporaryConfigHome&) = delete;
    ~TemporaryConfigHome();

    // The folder XDG_CONFIG_HOME names.
    const std::string& Path() const { return path_; }

    // Makes the port link PortLinksFolder()/`name` -> `target`, creating the folders on the
    // way, or points the link of that name at `target` instead. False when it cannot be made.
    bool MakePortLink(const std::string& name, const std::string& target);

  private:
    std::string path_;
    std::optional<std::string> previous_;
};

}  // namespace drel::test
