#include "BenchOptions.h"

#include <optional>

namespace drel::bench {

const std::string_view kBenchUsage =
    "usage: drel-bench-run --port NAME [--port NAME...] [option...]\n"
    "Runs drel offscreen with one terminal per port, answering each port dialog with the name\n"
    "and rate, and prints \"ready\" once every terminal has shown its device's prompt (FW>).\n"
    "On SIGTERM or SIGINT it waits until no text has arrived for 500 ms, prints its figures and\n"
    "exits through the main window's close.\n"
    "  --port NAME                 a port to open (repeatable)\n"
    "  --baud RATE                 the rate typed into each port dialog (115200)\n"
    "  --auto-download FIRST SECOND  set the download names and run \"&Auto Down load\" on\n"
    "                              the first terminal once it is ready\n"
    "  --count                     count and hash the text each terminal is handed; printed\n"
    "                              as \"port NAME bytes B fnv1a64 H\"\n"
    "  --no-display                with --count: the meters keep the text from the views, to\n"
    "                              measure what showing it costs\n"
    "  --memory                    print \"rss SECONDS KIB\" every second after \"ready\"\n"
    "  --log FILE                  log the first terminal's port to FILE from \"ready\" on, as\n"
    "                              the port menu's log does; stopped (written out and synced)\n"
    "                              before the figures, which then hold \"log held_back N\n"
    "                              failed F\" (times the receive loop waited for the log's "
    "writer)\n"
    "  --log-format FORMAT         raw, iso, elapsed or delta (raw)\n"
    "Figures: cpu_seconds (after ready), peak_rss_kib, ui_lateness_ms p50 p99 max (how late a\n"
    "50 ms timer of the user-interface thread fired), and every message box drel showed.\n";

bool ParseBenchOptions(int argc, char** argv, BenchOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const int left = argc - i - 1;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--count") {
            options.count = true;
        } else if (arg == "--no-display") {
            options.display = false;
        } else if (arg == "--memory") {
            options.sampleMemory = true;
        } else if (arg == "--port" && left >= 1) {
            options.ports.emplace_back(argv[++i]);
        } else if (arg == "--baud" && left >= 1) {
            options.baud = argv[++i];
        } else if (arg == "--log" && left >= 1) {
            options.logPath = argv[++i];
        } else if (arg == "--log-format" && left >= 1) {
            const std::optional<LogFormat> format = ParseLogFormat(argv[++i]);
            if (!format) {
                error = "--log-format needs raw, iso, elapsed or delta, not '" +
                        std::string(argv[i]) + "'";
                return false;
            }
            options.logFormat = *format;
        } else if (arg == "--auto-download" && left >= 2) {
            options.autoDownload = {argv[i + 1], argv[i + 2]};
            i += 2;
        } else {
            error = "unknown option or missing value: '" + std::string(arg) + "'";
            return false;
        }
    }
    if (options.ports.empty() && !options.help) {
        error = "no --port given";
        return false;
    }
    return true;
}

}  // namespace drel::bench
