#include "Reconnect.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "connection/ConnectionDisplay.h"
#include "connection/ConnectionLifecycle.h"
#include "connection/FileTransfer.h"
#include "connection/LineControl.h"
#include "download/DownloadWorker.h"
#include "platform/CommTypes.h"
#include "platform/DeviceWatch.h"
#include "platform/NetworkAddress.h"
#include "platform/PortNames.h"

namespace drel {

namespace {

// When nothing seen changes, the device is still tried this often: a change the watch cannot
// see (a folder made after the watch began, a file system without notifications) is then
// picked up all the same.
constexpr int kRetryMs = 1000;

// Swaps the connection's device with no write in flight, so that a write never begins on one
// device and completes on another.
void ReplaceDevice(PortConnection& c, std::unique_ptr<platform::SerialPort> device) {
    std::lock_guard lock(c.writeInFlight);
    c.port->Replace(std::move(device));
}

void LetDeviceGo(PortConnection& c) {
    StopDownloadWorker(c);
    StopFileTransfer(c);
    // A write the dead device still holds off ends now, and the swap need not wait for it.
    c.port->PurgeComm(platform::PURGE_TXABORT);
    ReplaceDevice(c, nullptr);
}

// The device of the connection's name, opened and set up as the connection had it; null when it
// does not open (yet) or refuses the line settings.
std::unique_ptr<platform::SerialPort> OpenReturnedDevice(PortConnection& c) {
    // The close ends a network port's connecting at once.
    std::unique_ptr<platform::SerialPort> device =
        c.service.CreateFileUnlessStopped(c.portName, c.stopSignal.fd());
    if (!device || !PreparePort(*device, c.lineSettings)) {
        return nullptr;
    }
    return device;
}

// A device node may come back in a folder; a network port is only tried again, each second.
void WatchWhereDeviceReturns(platform::DeviceWatch& watch, const std::string& portName) {
    if (platform::IsNetworkPortName(portName)) {
        return;
    }
    std::vector<std::string> linkFolders = {platform::PortLinksFolder()};
    if (portName.find('/') != std::string::npos) {
        linkFolders.push_back(std::filesystem::path(portName).parent_path().string());
    }
    for (const std::string& folder :
         platform::FoldersWhereDeviceReturns(platform::ResolvePortName(portName), linkFolders)) {
        watch.Watch(folder);
    }
}

// Waits for the device to open again; null once the close has begun.
std::unique_ptr<platform::SerialPort> WaitForDevice(PortConnection& c) {
    platform::DeviceWatch watch;
    while (c.connected != 0) {
        // Watched again each time: a folder of links may have been made meanwhile, and the name
        // may resolve to another place now.
        WatchWhereDeviceReturns(watch, c.portName);
        if (std::unique_ptr<platform::SerialPort> device = OpenReturnedDevice(c)) {
            return device;
        }
        if (watch.Wait(c.stopSignal.fd(), kRetryMs) == platform::DeviceWatch::Woke::Stopped) {
            break;
        }
    }
    return nullptr;
}

}  // namespace

bool ReconnectWanted(const PortConnection& c) {
    return c.reconnect != nullptr && c.reconnect->ReconnectAutomatically();
}

bool AwaitDeviceReturn(PortConnection& c) {
    LetDeviceGo(c);
    ShowMark(c, "disconnected", true);
    c.ui.ShowStatus("Waiting for " + c.portName + " to return");
    std::unique_ptr<platform::SerialPort> device = WaitForDevice(c);
    if (!device) {
        c.ui.ShowStatus("");
        return false;
    }
    device->SetCommMask(platform::EV_RXCHAR);
    ReplaceDevice(c, std::move(device));
    ApplyLineStates(c);
    ShowMark(c, "reconnected", false);
    c.ui.ShowStatus(c.portName + " reconnected");
    return c.connected != 0;
}

}  // namespace drel
