#include "AutoDownload.h"

#include "connection/PortReadWrite.h"

namespace drel {

namespace {

std::string DownloadName(const PortConnection& c, int index) {
    return c.downloadNames != nullptr ? c.downloadNames->GetDownloadName(index) : std::string();
}

void SendLoadCommand(PortConnection& c, const std::string& name) {
    const std::string command = LoadCommand(name);
    WritePort(c, reinterpret_cast<const uint8_t*>(command.data()),
              static_cast<uint32_t>(command.size()));
}

}  // namespace

std::string LoadCommand(const std::string& name) {
    return "l " + name + "\r";
}

void RunAutoDownload(PortConnection& c) {
    const std::string first = DownloadName(c, 0);
    if (first.empty()) {
        c.ui.MessageBox("Please input full path name in menu Auto first");
        return;
    }
    c.autoArmed = 1;
    // Queued, not written here: a device that holds off a long command must not stall the
    // windows.
    c.userWrites.Write(LoadCommand(first));
}

void ReactToPrompt(PortConnection& c) {
    const std::string second = DownloadName(c, 1);
    if (second.empty()) {
        return;
    }
    SendLoadCommand(c, second);
    c.autoArmed = 0;
}

}  // namespace drel
