// drel-bench-run: the real program, its windows on whatever Qt platform is set (offscreen for
// benchmarks), with terminals opened on the given ports and a few meters attached. The
// benchmark scripts in bench/ start it beside drel-devsim and read what it prints.

#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <string>

#include "BenchOptions.h"
#include "BenchSession.h"
#include "app/CDrelApp.h"
#include "framework/AfxMessageBox.h"
#include "framework/Resources.h"
#include "resources/AppResources.h"

namespace {

using drel::bench::BenchOptions;
using drel::bench::BenchSession;

int Failure(const std::string& message) {
    std::fprintf(stderr, "drel-bench-run: %s\n", message.c_str());
    return 1;
}

// A descriptor that turns readable on SIGTERM or SIGINT, which no longer end the process.
int WatchStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

// Every box drel shows is printed and answered as its Escape key would answer it, so that a
// run never waits for a person.
void PrintMessageBoxes() {
    drel::AfxSetMessageBoxHook([](const drel::MessageBoxRequest& box) {
        std::printf("message_box %s\n", box.text.c_str());
        std::fflush(stdout);
        const unsigned buttons = box.type & drel::MB_TYPEMASK;
        return buttons == drel::MB_OK      ? drel::IDOK
               : buttons == drel::MB_YESNO ? drel::IDNO
                                           : drel::IDCANCEL;
    });
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    std::string error;
    if (!drel::bench::ParseBenchOptions(argc, argv, options, error)) {
        return Failure(error + "\n" + std::string(drel::bench::kBenchUsage));
    }
    if (options.help) {
        std::fputs(drel::bench::kBenchUsage.data(), stdout);
        return 0;
    }
    const int stopFd = WatchStopSignals();
    if (stopFd < 0) {
        return Failure("cannot watch for stop signals");
    }
    // The program sees no command line of its own: it starts with its port dialog.
    int qtArgc = 1;
    QApplication qtApp(qtArgc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    drel::AfxSetResources(drel::AppResources());
    PrintMessageBoxes();
    drel::CDrelApp app;
    app.InitApplication();
    BenchSession session(options, app);
    QSocketNotifier stopNotifier(stopFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        signalfd_siginfo signal;
        while (read(stopFd, &signal, sizeof signal) == sizeof signal) {
        }
        session.Stop();
    });
    if (!session.OpenTerminals(error) || !session.Begin(error)) {
        app.ExitInstance();
        return Failure(error);
    }
    app.Run();
    // The meters stay alive until every connection is closed and its receive loop has ended.
    const int status = app.ExitInstance();
    close(stopFd);
    return status;
}
