// drel-load: loads images into a board's boot monitor from the command line, for scripts in a
// lab rack or in CI. The connection and download core of drel, with a console in place of the
// windows; no display is needed.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/Interruption.h"
#include "cli/LoadOptions.h"
#include "cli/LoadSession.h"
#include "cli/TransferSession.h"

int main(int argc, char** argv) {
    using namespace drel::cli;
    // A reader of stdout that goes away must not end the transfer: writes to it just fail.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> words(argv + 1, argv + argc);
    const LoadOptions options = ParseLoadOptions(words);
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s\nTry 'drel-load --help'.\n", options.error.c_str());
        return ProcessStatus(ExitStatus::BadUsage);
    }
    if (options.help) {
        std::fputs(LoadHelp(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("drel-load %s\n", DREL_VERSION);
        return 0;
    }
    Interruption interruption;  // before the connection starts its threads
    Console console(stderr, isatty(STDERR_FILENO) == 1);
    if (options.sendProtocol) {
        return ProcessStatus(RunTransfer(options, console, interruption, stdout));
    }
    return ProcessStatus(RunLoad(options, console, interruption, stdout));
}
