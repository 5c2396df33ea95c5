#pragma once

// The connection of one document to its serial port: the record that the open and close steps,
// the port reads and writes, the receive loop and the download worker share.
//
// Data flow: the receive loop thread waits on the port, reads what it holds (up to 4096 bytes at
// a time) and cuts it into runs of at most 80 bytes; it hands each run to `outputView`, which
// shows it within a frame without holding the loop back, and then to the stream watchers, which
// capture `imageName` and start a download worker, with its own copy of the name, on "start
// download". While `downloading` is 1 the loop only turns the request bytes 0x01 and 0x02 into
// `headerRequest` and `recordRequest`, which the worker waits on. Every writer (the user's writer,
// which sends the keystrokes and the auto-download command that the user-interface thread queues
// for it; the loop's prompt reaction; the worker) goes through WritePort, one write in flight at a
// time. A break the user sends holds that same write lock while the line is in break. Each read,
// exactly as read, also goes to the session log, if one runs (ConnectionLog.h), and to `received`,
// the history the hex view shows.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "connection/LineSettings.h"
#include "connection/ReceiveTap.h"
#include "connection/ReceivedHistory.h"
#include "connection/ReconnectChoice.h"
#include "connection/SessionLog.h"
#include "connection/TransferInbox.h"
#include "connection/TransferObserver.h"
#include "connection/UserInterface.h"
#include "connection/UserWriter.h"
#include "download/CaptureImageName.h"
#include "download/DownloadNameSource.h"
#include "download/DownloadObserver.h"
#include "platform/Event.h"
#include "platform/Overlapped.h"
#include "platform/ReplaceablePort.h"
#include "platform/SerialService.h"
#include "platform/WakeSignal.h"
#include "terminal/OutputView.h"

namespace drel {

// How the download worker waits for the device's requests and takes memory for a record. Tests
// shorten the waits and refuse memory; the program keeps the defaults.
struct DownloadOptions {
    uint32_t headerTimeoutMs = 1000;
    uint32_t recordTimeoutMs = 60000;
    // Gives a record's data buffer of the given size, or null; null means new(std::nothrow).
    std::unique_ptr<uint8_t[]> (*allocateRecord)(size_t size) = nullptr;
};

struct PortConnection {
    // `service` opens the port and makes the events; `ui` shows messages. Both outlive the
    // connection.
    PortConnection(platform::SerialService& service, UserInterface& ui)
        : service(service), ui(ui) {}
    PortConnection(const PortConnection&) = delete;
    PortConnection& operator=(const PortConnection&) = delete;
    // The connection must be closed (CloseConnection) before it is destroyed.
    ~PortConnection() = default;

    std::string portName;                          // as opened; starts every message about the port
    std::atomic<OutputView*> outputView{nullptr};  // the view last activated; ConnectionDisplay.h
    // The device as opened; replaced when a device that went away returns (Reconnect.h).
    std::unique_ptr<platform::ReplaceablePort> port;
    std::atomic<int> connected{0};
    std::unique_ptr<platform::Event> headerRequest;  // auto-reset; made by the receive loop
    std::unique_ptr<platform::Event> recordRequest;  // auto-reset; made by the receive loop
    std::thread receiveLoop;
    std::thread downloadWorker;
    std::atomic<int> downloading{0};
    std::atomic<int> autoArmed{0};
    // The output lines as the user wants them; LineControl.h puts them on the port.
    std::atomic<bool> dtrOn{true};
    std::atomic<bool> rtsOn{true};
    platform::Overlapped writeBlock;
    platform::Overlapped readBlock;
    char imageName[kImageNameMaxLength + 1] = {};

    // What the record needs beyond the fields above.
    platform::SerialService& service;
    UserInterface& ui;
    std::unique_ptr<platform::Event> writeBlockEvent;   // manual-reset, behind writeBlock.hEvent
    std::unique_ptr<platform::Event> readBlockEvent;    // manual-reset, behind readBlock.hEvent
    std::unique_ptr<platform::Event> receiveLoopEnded;  // manual-reset; set as the loop ends
    platform::Event receiveLoopStopping{platform::Event::ResetMode::Manual};  // set by the close
    platform::WakeSignal stopSignal;  // raised by the close; ends the wait for a device's return
    std::mutex writeInFlight;         // held for the whole of one write
    std::mutex outputViewLock;  // held while text is handed to `outputView` and while it changes
    std::atomic<bool> readErrorReported{false};         // the read-error box is shown once
    const DownloadNameSource* downloadNames = nullptr;  // the application's; may be none
    DownloadOptions downloadOptions;                    // set before the port is opened
    LineSettings lineSettings;                          // as opened; a returning device gets them
    const ReconnectChoice* reconnect = nullptr;         // the application's; none: never
    UserWriter userWrites{*this};                       // what the user-interface thread sends
    std::mutex logLock;  // held only while `log` is copied or replaced, never while it writes
    std::shared_ptr<SessionLog> log;  // under logLock; the session log, if one runs
    ReceivedHistory received;         // the last bytes received, for the hex view
    // Told of each load and of the device going away; set before the port is opened. None in
    // the windows, which show the same in the terminal and in message boxes.
    std::atomic<DownloadObserver*> downloadObserver{nullptr};
    // Handed every read as read; set before the port is opened, none in the windows.
    std::atomic<ReceiveTap*> receiveTap{nullptr};
    // A file transfer (FileTransfer.h): while `transferring` is 1 the receive loop hands what it
    // reads to `transferInbox`, which the transfer's thread waits on, instead of the watchers.
    std::atomic<int> transferring{0};
    std::thread transferThread;
    TransferInbox transferInbox;
    // Told of the transfer's progress and end; set before the port is opened, none in the
    // windows.
    std::atomic<TransferObserver*> transferObserver{nullptr};
};

}  // namespace drel
