#pragma once

// The words drel-load shows on stderr about how a load ended.

#include <string>

#include "cli/LoadTracker.h"

namespace drel::cli {

// One line on how `run` ended: "NAME loaded: R records, B bytes in S s (RATE)", or
// "NAME: " and what went wrong. Any thread.
std::string ResultText(const ImageRun& run);

// What `result` says in the JSON report: "loaded", "no header request", ... Any thread.
const char* ResultName(DownloadResult result);

}  // namespace drel::cli
