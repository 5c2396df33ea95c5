#include "BenchSession.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <mutex>

#include "ProcessFigures.h"
#include "app/CDrelApp.h"
#include "app/CMainFrame.h"
#include "connection/CDrelDoc.h"
#include "connection/ConnectionDisplay.h"
#include "connection/ConnectionLog.h"
#include "connection/SessionLog.h"
#include "framework/CDialog.h"
#include "framework/CMDIChildWnd.h"
#include "framework/StandardIds.h"
#include "resources/resource.h"
#include "terminal/CDrelView.h"

namespace drel::bench {

namespace {

constexpr int kLatenessTickMs = 50;

CDrelView* FirstView(CDrelDoc* doc) {
    return dynamic_cast<CDrelView*>(doc->GetFirstView());
}

double Percentile(std::vector<double> samples, double share) {
    if (samples.empty()) {
        return 0;
    }
    const auto at = static_cast<size_t>(share * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(at),
                     samples.end());
    return samples[at];
}

}  // namespace

BenchSession::BenchSession(const BenchOptions& options, CDrelApp& app)
    : options_(options), app_(app) {
    dialogTimer_.setInterval(5);
    connect(&dialogTimer_, &QTimer::timeout, this, &BenchSession::AnswerPortDialog);
    latenessTimer_.setTimerType(Qt::PreciseTimer);
    latenessTimer_.setInterval(kLatenessTickMs);
    connect(&latenessTimer_, &QTimer::timeout, this, &BenchSession::SampleLateness);
    memoryTimer_.setInterval(1000);
    connect(&memoryTimer_, &QTimer::timeout, this, &BenchSession::SampleMemory);
    drainTimer_.setInterval(50);
    connect(&drainTimer_, &QTimer::timeout, this, &BenchSession::WatchDrain);
}

BenchSession::~BenchSession() = default;

// Fills the port dialog shown now, if any, with the next port and the rate, and presses Enter.
void BenchSession::AnswerPortDialog() {
    auto* dialog = qobject_cast<CDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || portsToAnswer_.empty()) {
        return;
    }
    auto* port = qobject_cast<QComboBox*>(dialog->GetDlgItem(IDC_PORT));
    auto* baud = qobject_cast<QComboBox*>(dialog->GetDlgItem(IDC_BAUD));
    if (port == nullptr || baud == nullptr) {
        return;
    }
    port->setEditText(QString::fromStdString(portsToAnswer_.front()));
    baud->setEditText(QString::fromStdString(options_.baud));
    portsToAnswer_.pop_front();
    QTest::keyClick(dialog, Qt::Key_Return);
}

bool BenchSession::OpenTerminals(std::string& error) {
    portsToAnswer_.assign(options_.ports.begin(), options_.ports.end());
    dialogTimer_.start();
    if (!app_.InitInstance()) {
        error = "drel did not start";
        return false;
    }
    auto* frame = dynamic_cast<CMainFrame*>(app_.m_pMainWnd);
    while (Terminals().size() < options_.ports.size() && !portsToAnswer_.empty()) {
        const size_t before = portsToAnswer_.size();
        frame->OnCommand(ID_FILE_NEW);
        if (portsToAnswer_.size() == before) {
            break;
        }
    }
    dialogTimer_.stop();
    if (Terminals().size() != options_.ports.size()) {
        error = "only " + std::to_string(Terminals().size()) + " of " +
                std::to_string(options_.ports.size()) + " ports opened";
        return false;
    }
    return true;
}

std::vector<CDrelDoc*> BenchSession::Terminals() const {
    std::vector<CDrelDoc*> terminals;
    for (CDocument* doc : app_.GetOpenDocuments()) {
        if (auto* terminal = dynamic_cast<CDrelDoc*>(doc);
            terminal != nullptr && terminal->Connection().connected != 0) {
            terminals.push_back(terminal);
        }
    }
    return terminals;
}

bool BenchSession::Begin(std::string& error) {
    const bool prompted = QTest::qWaitFor(
        [&] {
            return std::ranges::all_of(Terminals(), [](CDrelDoc* doc) {
                return FirstView(doc)->GetWindowText().find("FW>") != std::string::npos;
            });
        },
        10'000);
    if (!prompted) {
        error = "not every terminal shows its device's prompt FW>";
        return false;
    }
    WaitForQuietTerminals();
    // The command runs on the active terminal; activating it makes its view the output view,
    // so that comes before the meters.
    if (!options_.autoDownload.empty()) {
        ActivateFirstTerminal();
    }
    if (!StartSessionLog(error)) {
        return false;
    }
    if (options_.count) {
        CountTerminals();
    }
    if (!options_.autoDownload.empty()) {
        StartAutoDownload();
    }
    cpuAtReady_ = CpuSeconds();
    sinceReady_.start();
    sinceLastTick_.start();
    latenessTimer_.start();
    if (options_.sampleMemory) {
        memoryTimer_.start();
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return true;
}

// Lets the devices finish greeting: a device behind a network server greets again when the open's
// purge reaches its line, and a prompt of that late greeting would be taken for the prompt after
// the first load. Waits until no terminal's text has changed for kQuiet, at most kMostQuiet.
void BenchSession::WaitForQuietTerminals() {
    constexpr int kQuiet = 200;
    constexpr int kPoll = 50;
    constexpr int kMostQuiet = 2000;
    const auto shown = [this] {
        std::string all;
        for (CDrelDoc* doc : Terminals()) {
            all += FirstView(doc)->GetWindowText();
        }
        return all;
    };
    std::string last = shown();
    for (int waited = 0, quiet = 0; quiet < kQuiet && waited < kMostQuiet; waited += kPoll) {
        QTest::qWait(kPoll);
        std::string now = shown();
        quiet = now == last ? quiet + kPoll : 0;
        last = std::move(now);
    }
}

// Starts the log the options ask for on the first terminal. It starts after the prompt has been
// shown, so it holds what the device sends from now on and nothing of its greeting.
bool BenchSession::StartSessionLog(std::string& error) {
    if (options_.logPath.empty()) {
        return true;
    }
    error = StartLog(Terminals().front()->Connection(), options_.logPath, options_.logFormat);
    return error.empty();
}

// Stops the log, so that the file is whole once the figures are out, and prints how often it
// held the receive loop back.
void BenchSession::StopSessionLog() {
    if (options_.logPath.empty()) {
        return;
    }
    PortConnection& connection = Terminals().front()->Connection();
    std::shared_ptr<SessionLog> log;
    {
        std::lock_guard lock(connection.logLock);
        log = connection.log;
    }
    StopLog(connection);
    if (log) {
        std::printf("log held_back %zu failed %d\n", log->TimesHeldBack(), log->Failed() ? 1 : 0);
    } else {
        std::printf("log held_back 0 failed 1 (no log ran at the end)\n");
    }
}

// Puts a meter in front of each terminal's view. No window is activated after this, so the
// meter stays the connection's output view.
void BenchSession::CountTerminals() {
    for (CDrelDoc* doc : Terminals()) {
        auto& counter = counters_.emplace_back(
            std::make_unique<CountingView>(*FirstView(doc), options_.display));
        SetOutputView(doc->Connection(), counter.get());
    }
}

void BenchSession::ActivateFirstTerminal() {
    CDrelView* view = FirstView(Terminals().front());
    dynamic_cast<CMDIChildWnd*>(view->GetParentFrame())->MDIActivate();
}

void BenchSession::StartAutoDownload() {
    app_.SetDownloadName(0, options_.autoDownload[0]);
    app_.SetDownloadName(1, options_.autoDownload[1]);
    app_.m_pMainWnd->OnCommand(ID_AUTO_DOWNLOAD);
}

void BenchSession::SampleLateness() {
    latenessMs_.push_back(std::max(0.0, sinceLastTick_.nsecsElapsed() / 1e6 - kLatenessTickMs));
    sinceLastTick_.start();
}

void BenchSession::SampleMemory() {
    std::printf("rss %.0f %" PRIu64 "\n", sinceReady_.elapsed() / 1000.0, ResidentKib());
    std::fflush(stdout);
}

void BenchSession::Stop() {
    if (drainTimer_.isActive()) {
        return;
    }
    latenessTimer_.stop();
    memoryTimer_.stop();
    sinceStop_.start();
    sinceLastByte_.start();
    lastCount_ = CountedBytes();
    drainTimer_.start();
}

std::uint64_t BenchSession::CountedBytes() const {
    std::uint64_t total = 0;
    for (const auto& counter : counters_) {
        total += counter->bytes();
    }
    return total;
}

void BenchSession::WatchDrain() {
    const std::uint64_t count = CountedBytes();
    if (count != lastCount_) {
        lastCount_ = count;
        sinceLastByte_.start();
    }
    if (sinceLastByte_.elapsed() < 500 && sinceStop_.elapsed() < 10'000) {
        return;
    }
    drainTimer_.stop();
    StopSessionLog();
    PrintFigures();
    QCoreApplication::exit(0);
}

void BenchSession::PrintFigures() {
    const std::vector<CDrelDoc*> terminals = Terminals();
    for (size_t i = 0; i < counters_.size(); ++i) {
        const bool metered = i < terminals.size() &&
                             terminals[i]->Connection().outputView.load() == counters_[i].get();
        std::printf("port %s bytes %" PRIu64 " fnv1a64 %016" PRIx64 "%s\n",
                    options_.ports[i].c_str(), counters_[i]->bytes(), counters_[i]->hash(),
                    metered ? "" : " (meter lost: another view took the output)");
    }
    std::printf("seconds %.3f\n", sinceReady_.elapsed() / 1000.0);
    std::printf("cpu_seconds %.3f\n", CpuSeconds() - cpuAtReady_);
    std::printf("peak_rss_kib %" PRIu64 "\n", PeakResidentKib());
    std::printf("ui_lateness_ms p50 %.1f p99 %.1f max %.1f\n", Percentile(latenessMs_, 0.5),
                Percentile(latenessMs_, 0.99), Percentile(latenessMs_, 1.0));
    std::fflush(stdout);
}

}  // namespace drel::bench
