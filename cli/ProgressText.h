#pragma once

// The words drel-load shows on stderr about a load: its progress and how it ended.

#include <string>

#include "cli/LoadTracker.h"

namespace drel::cli {

// "NAME  42 %  1761607 of 4194304 bytes  91.9 kB/s  0:26 left": the share of the file sent, the
// rate since the load began and the time the rest takes at that rate ("--:--" before there is a
// rate). Any thread.
std::string ProgressText(const ProgressPoint& point);

// One line on how `run` ended: "NAME loaded: R records, B bytes in S s (RATE)", or
// "NAME: " and what went wrong. Any thread.
std::string ResultText(const ImageRun& run);

// What `result` says in the JSON report: "loaded", "no header request", ... Any thread.
const char* ResultName(DownloadResult result);

}  // namespace drel::cli
