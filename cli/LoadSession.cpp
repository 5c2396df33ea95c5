#include "cli/LoadSession.h"

#include <poll.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/BoardOutput.h"
#include "cli/ConsoleUserInterface.h"
#include "cli/LoadReport.h"
#include "cli/LoadResultText.h"
#include "cli/LoadTracker.h"
#include "connection/ConnectionLifecycle.h"
#include "connection/ConnectionLog.h"
#include "connection/PortConnection.h"
#include "download/AutoDownload.h"
#include "download/DownloadNameSource.h"

namespace drel::cli {

namespace {

using std::chrono::milliseconds;

// The load command goes out once the board has printed nothing for this long after the open:
// a board greets an opened port, and a prompt of that greeting that came after the command
// would be taken for the prompt after the first load, which sends the second command too soon.
constexpr milliseconds kSettle{100};
// A board that never falls silent gets the command after this long all the same.
constexpr milliseconds kMostSettling{1000};
// A terminal's progress line is redrawn at most this often.
constexpr milliseconds kRedraw{100};

// The two images of the command line, as the auto-download chain asks for them.
class FixedNames final : public DownloadNameSource {
  public:
    explicit FixedNames(const std::vector<std::string>& images) : images_(images) {}

    std::string GetDownloadName(int index) const override {
        const size_t at = index == 0 ? 0 : 1;
        return at < images_.size() ? images_[at] : std::string();
    }

  private:
    const std::vector<std::string> images_;
};

std::string SecondsText(milliseconds span) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(span.count()) / 1000);
    return text;
}

// An image that does not open is told before the port is touched, so the board is never asked
// for a load that cannot be served.
bool ImagesOpen(const std::vector<std::string>& images, Console& console) {
    for (const std::string& image : images) {
        std::FILE* file = std::fopen(image.c_str(), "rb");
        if (file == nullptr) {
            console.Line("drel-load: can not open image file " + image + ": " +
                         std::strerror(errno));
            return false;
        }
        std::fclose(file);
    }
    return true;
}

// What ended the run, and the line that says why where no other message does.
struct Ending {
    ExitStatus status;
    std::string why;
};

class Session {
  public:
    Session(const LoadOptions& options, Console& console, Interruption& interruption,
            std::FILE* out)
        : options_(options),
          console_(console),
          interruption_(interruption),
          out_(out),
          ui_(console),
          tracker_(wake_, options.LoadsWanted(), options.until, !console.Terminal()),
          output_(options.quiet || options.json ? nullptr : out, tracker_),
          names_(options.images),
          connection_(platform::SystemSerialService(), ui_) {}

    ExitStatus Run();

  private:
    std::optional<Ending> Open();
    Ending AwaitEnd();
    void WaitUntil(std::optional<Clock::time_point> until);
    std::optional<Clock::time_point> NextLook(const LoadTracker::State& state) const;
    void CommandOnceSettled(const LoadTracker::State& state, Clock::time_point now);
    std::optional<Clock::time_point> SettledAt(const LoadTracker::State& state) const;
    std::optional<Ending> Decide(const LoadTracker::State& state, Clock::time_point now);
    std::optional<Clock::time_point> WaitEnds(const LoadTracker::State& state) const;
    Ending WaitMissed(const LoadTracker::State& state) const;
    void Show(Clock::time_point now);
    void ReportNews();
    std::vector<ImageRun> ReportedRuns() const;
    ExitStatus Finish(const Ending& ending);

    const LoadOptions& options_;
    Console& console_;
    Interruption& interruption_;
    std::FILE* const out_;
    const Clock::time_point began_ = Clock::now();
    ConsoleUserInterface ui_;
    platform::WakeSignal wake_;  // raised by the tracker
    LoadTracker tracker_;
    BoardOutput output_;
    FixedNames names_;
    PortConnection connection_;
    Clock::time_point opened_;
    std::optional<Clock::time_point> commanded_;  // when the load command was handed over
    Clock::time_point nextRedraw_;
};

ExitStatus Session::Run() {
    if (!options_.serve && !ImagesOpen(options_.images, console_)) {
        return Finish({ExitStatus::BadImage, ""});
    }
    if (std::optional<Ending> failed = Open()) {
        return Finish(*failed);
    }
    const Ending ending = AwaitEnd();
    if (!ending.why.empty()) {
        console_.Line(ending.why);
    }
    CloseConnection(connection_);  // the loop that hands output_ the board's bytes has ended
    ReportNews();
    return Finish(ending);
}

std::optional<Ending> Session::Open() {
    LineSettings settings{};
    ApplyPortChoices(options_.port, settings);
    connection_.downloadOptions.headerTimeoutMs =
        static_cast<uint32_t>(options_.headerTimeout.count());
    connection_.downloadOptions.recordTimeoutMs =
        static_cast<uint32_t>(options_.recordTimeout.count());
    connection_.downloadObserver = &tracker_;
    // With --serve the images are only what a board on a network port may ask for.
    connection_.downloadNames = &names_;
    connection_.receiveTap = &output_;
    if (!options_.port.logPath.empty()) {
        const std::string error =
            StartLog(connection_, options_.port.logPath, options_.port.logFormat);
        if (!error.empty()) {
            console_.Line(error);
            return Ending{ExitStatus::BadUsage, ""};
        }
    }
    if (!OpenConnection(connection_, options_.port.port, settings)) {
        StopLog(connection_);
        return Ending{ExitStatus::PortNotOpened, ""};
    }
    opened_ = Clock::now();
    return std::nullopt;
}

Ending Session::AwaitEnd() {
    for (;;) {
        // Drained before looking: a change from now on wakes the wait below.
        wake_.Drain();
        const Clock::time_point now = Clock::now();
        const LoadTracker::State state = tracker_.Look();
        CommandOnceSettled(state, now);
        Show(now);
        if (std::optional<Ending> ending = Decide(state, now)) {
            return *ending;
        }
        WaitUntil(NextLook(state));
    }
}

// Ends at `until`, at the tracker's wake signal or at a signal; never without one of these.
void Session::WaitUntil(std::optional<Clock::time_point> until) {
    int timeoutMs = -1;
    if (until) {
        const auto left = std::chrono::ceil<milliseconds>(*until - Clock::now()).count();
        timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, 60'000));
    }
    pollfd waits[] = {{wake_.fd(), POLLIN, 0}, {interruption_.fd(), POLLIN, 0}};
    poll(waits, 2, timeoutMs);  // EINTR only looks again
}

std::optional<Clock::time_point> Session::NextLook(const LoadTracker::State& state) const {
    std::optional<Clock::time_point> next = SettledAt(state);
    const auto sooner = [&next](std::optional<Clock::time_point> time) {
        if (time && (!next || *time < *next)) {
            next = time;
        }
    };
    if (options_.timeout.count() > 0) {
        sooner(began_ + options_.timeout);
    }
    sooner(WaitEnds(state));
    if (console_.Terminal() && state.started > state.ended) {
        sooner(nextRedraw_);
    }
    return next;
}

// When the board counts as settled since the open; none once the command has gone.
std::optional<Clock::time_point> Session::SettledAt(const LoadTracker::State& state) const {
    if (options_.serve || commanded_) {
        return std::nullopt;
    }
    return std::min(std::max(opened_, state.lastReceived) + kSettle, opened_ + kMostSettling);
}

void Session::CommandOnceSettled(const LoadTracker::State& state, Clock::time_point now) {
    const std::optional<Clock::time_point> settled = SettledAt(state);
    if (settled && now >= *settled) {
        RunAutoDownload(connection_);
        commanded_ = now;
    }
}

std::optional<Ending> Session::Decide(const LoadTracker::State& state, Clock::time_point now) {
    if (const std::optional<int> signal = interruption_.Take()) {
        return Ending{ExitStatus::Interrupted, std::string("drel-load: interrupted (SIG") +
                                                   sigabbrev_np(*signal) +
                                                   "); the transfer is stopped"};
    }
    if (state.failure) {
        return Ending{StatusOf(*state.failure), ""};  // its result line says why
    }
    if (state.deviceLost) {
        return Ending{ExitStatus::DeviceGone, "drel-load: the board has gone away"};
    }
    if (state.ended >= options_.LoadsWanted() && (options_.until.empty() || state.untilSeen)) {
        return Ending{ExitStatus::Loaded, ""};
    }
    if (options_.timeout.count() > 0 && now >= began_ + options_.timeout) {
        return Ending{ExitStatus::TimedOut, "drel-load: the time-out of " +
                                                SecondsText(options_.timeout) +
                                                " has passed; the transfer is stopped"};
    }
    const std::optional<Clock::time_point> waitEnds = WaitEnds(state);
    if (waitEnds && now >= *waitEnds) {
        return WaitMissed(state);
    }
    return std::nullopt;
}

// When --wait runs out for what the board is waited for now: the --until text after the last
// load, or the next load after its command. None while a load runs, or nothing is waited for.
std::optional<Clock::time_point> Session::WaitEnds(const LoadTracker::State& state) const {
    if (options_.wait.count() == 0 || state.started > state.ended) {
        return std::nullopt;
    }
    if (state.ended >= options_.LoadsWanted()) {
        return state.lastEnded + options_.wait;
    }
    if (options_.serve || !commanded_) {
        return std::nullopt;
    }
    return (state.ended == 0 ? *commanded_ : state.lastEnded) + options_.wait;
}

Ending Session::WaitMissed(const LoadTracker::State& state) const {
    const std::string within = " within " + SecondsText(options_.wait);
    if (state.ended >= options_.LoadsWanted()) {
        return Ending{ExitStatus::TimedOut,
                      "drel-load: the board did not print \"" + options_.until + "\"" + within};
    }
    return Ending{ExitStatus::NoHeaderRequest, "drel-load: the board did not begin loading " +
                                                   names_.GetDownloadName(state.ended) + within};
}

void Session::Show(Clock::time_point now) {
    ReportNews();
    if (console_.Terminal() && now >= nextRedraw_) {
        if (const std::optional<ProgressPoint> current = tracker_.Current()) {
            console_.Progress(ProgressText(*current));
            nextRedraw_ = now + kRedraw;
        }
    }
}

void Session::ReportNews() {
    for (const LoadNews& news : tracker_.TakeNews()) {
        if (news.step) {
            console_.Progress(ProgressText(*news.step));
        }
        if (news.ended) {
            console_.Line("drel-load: " + ResultText(*news.ended));
        }
    }
}

// The runs, and after them the images of the command line that the run never came to.
std::vector<ImageRun> Session::ReportedRuns() const {
    std::vector<ImageRun> runs = tracker_.Runs();
    for (size_t i = runs.size(); !options_.serve && i < options_.images.size(); ++i) {
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(options_.images[i], error);
        ImageRun run;
        run.path = options_.images[i];
        run.size = error ? 0 : size;
        runs.push_back(run);
    }
    return runs;
}

ExitStatus Session::Finish(const Ending& ending) {
    if (options_.json) {
        std::fprintf(out_, "%s\n",
                     JsonReport(options_.port, ReportedRuns(), ending.status).c_str());
        std::fflush(out_);
    }
    return ending.status;
}

}  // namespace

ExitStatus RunLoad(const LoadOptions& options, Console& console, Interruption& interruption,
                   std::FILE* out) {
    Session session(options, console, interruption, out);
    return session.Run();
}

}  // namespace drel::cli
