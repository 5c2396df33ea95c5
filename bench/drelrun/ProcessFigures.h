#pragma once

// What the benchmark reads off its own process: CPU time, resident memory now and at its peak.
// Any thread.

#include <cstdint>

namespace drel::bench {

// User and system CPU seconds used by every thread of the process so far.
double CpuSeconds();
// The resident set now and its peak, in KiB, from /proc/self/status; 0 when unreadable.
std::uint64_t ResidentKib();
std::uint64_t PeakResidentKib();

}  // namespace drel::bench
