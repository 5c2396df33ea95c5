#include "ProcessFigures.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace drel::bench {

namespace {

std::uint64_t StatusKib(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) {
            return std::stoull(line.substr(field.size() + 1));
        }
    }
    return 0;
}

}  // namespace

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::uint64_t ResidentKib() {
    return StatusKib("VmRSS");
}

std::uint64_t PeakResidentKib() {
    return StatusKib("VmHWM");
}

}  // namespace drel::bench
