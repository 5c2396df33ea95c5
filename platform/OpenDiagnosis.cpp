#include "OpenDiagnosis.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/PortNames.h"

namespace drel::platform {

namespace {

std::string Octal(unsigned mode) {
    std::string digits;
    for (int shift = 9; shift >= 0; shift -= 3) {
        digits += static_cast<char>('0' + ((mode >> shift) & 7));
    }
    return digits;
}

std::string GenericLine(const std::string& device, int err) {
    if (err == 0) {
        return device + " could not be opened.";
    }
    return device + ": " + std::generic_category().message(err) + ".";
}

std::string PermissionLine(const std::string& device, int err,
                           const std::optional<NodeAccess>& access) {
    if (!access) {
        return GenericLine(device, err);
    }
    const bool groupMayOpen = (access->mode & 060) == 060;
    const bool othersMayOpen = (access->mode & 006) == 006;
    if (groupMayOpen && !access->inGroup && access->inGroupAtNextLogin) {
        return device + " belongs to group " + access->group +
               ", which you joined after you logged in: log in again.";
    }
    if (groupMayOpen && !access->inGroup) {
        const std::string user = access->userName.empty() ? "$USER" : access->userName;
        return device + " belongs to group " + access->group +
               ", which you are not in: add yourself (sudo usermod -aG " + access->group + " " +
               user + ") and log in again.";
    }
    if (!groupMayOpen && !othersMayOpen && !access->ownedByYou) {
        return device + " (owner " + access->owner + ", group " + access->group + ", mode " +
               Octal(access->mode) +
               ") may be opened only by its owner: a udev rule with GROUP and MODE=\"0660\" can "
               "let a group of yours in.";
    }
    // Permission bits that let this user in: an access list or a security policy said no.
    return GenericLine(device, err);
}

std::string BusyLine(const std::string& device, const std::optional<PortHolder>& holder) {
    if (!holder) {
        return device +
               " is held by another program, which could not be named (it may belong to another "
               "user).";
    }
    if (holder->isThisProcess) {
        return device + " is already open in another window of drel.";
    }
    std::string line = device + " is in use by process " + std::to_string(holder->pid);
    if (!holder->command.empty()) {
        line += " (" + holder->command + ")";
    }
    if (holder->command == "ModemManager") {
        return line +
               ", which probes new modems; keep it away from this device with the udev property "
               "ID_MM_DEVICE_IGNORE=1.";
    }
    return line + ".";
}

std::string MissingLine(const std::string& device, const std::vector<std::string>& present) {
    if (present.empty()) {
        return "No device " + device + "; none present.";
    }
    std::string line = "No device " + device + "; present: ";
    for (size_t i = 0; i < present.size(); ++i) {
        line += (i == 0 ? "" : ", ") + present[i];
    }
    return line + ".";
}

}  // namespace

OpenDiagnosisSources SystemDiagnosisSources() {
    return {LookUpNodeAccess, FindPortHolder, ListSerialDevices};
}

std::string DeviceForMessages(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    if (!error) {
        return target.string();
    }
    if (!fs::is_symlink(path, error)) {
        return path;
    }
    const fs::path next = fs::read_symlink(path, error);
    if (error) {
        return path;
    }
    return (fs::path(path).parent_path() / next).lexically_normal().string();
}

std::string DescribeOpenFailure(const std::string& device, int err,
                                const OpenDiagnosisSources& sources) {
    switch (err) {
        case EACCES:
        case EPERM:
            return PermissionLine(device, err, sources.access(device));
        case EBUSY:
            return BusyLine(device, sources.holder(device));
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return MissingLine(device, sources.presentDevices());
        case ENOTTY:
        case EISDIR:
            return device + " is not a serial device.";
        default:
            return GenericLine(device, err);
    }
}

}  // namespace drel::platform
