#pragma once

// One benchmark run of the real program: opens a terminal per port by answering the port
// dialogs as a user would, waits for every device's prompt, then starts what the options ask
// for (a session log, meters in front of the views, the auto-download chain, memory samples) and
// prints "ready". Stop() waits for the text still on its way, prints the figures and ends the event
// loop. User-interface thread only.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "BenchOptions.h"
#include "CountingView.h"

namespace drel {
class CDrelApp;
class CDrelDoc;
}  // namespace drel

namespace drel::bench {

class BenchSession : public QObject {
  public:
    BenchSession(const BenchOptions& options, CDrelApp& app);
    ~BenchSession() override;

    // Starts the program with the first port and opens the others with "&New". False with the
    // reason in `error` when the program does not start or a port does not open.
    bool OpenTerminals(std::string& error);
    // Waits until every terminal shows the prompt "FW>" (10 s at most), then begins the run
    // and prints "ready". False with the reason in `error`.
    bool Begin(std::string& error);
    // Ends the run: once no text has arrived for 500 ms (10 s at most), prints the figures
    // and ends the program's event loop.
    void Stop();

  private:
    void AnswerPortDialog();
    std::vector<CDrelDoc*> Terminals() const;
    void WaitForQuietTerminals();
    void ActivateFirstTerminal();
    void StartAutoDownload();
    bool StartSessionLog(std::string& error);
    void StopSessionLog();
    void CountTerminals();
    void SampleLateness();
    void SampleMemory();
    void WatchDrain();
    void PrintFigures();
    std::uint64_t CountedBytes() const;

    const BenchOptions& options_;
    CDrelApp& app_;
    std::deque<std::string> portsToAnswer_;
    QTimer dialogTimer_;
    std::vector<std::unique_ptr<CountingView>> counters_;
    QTimer latenessTimer_;
    QElapsedTimer sinceLastTick_;
    std::vector<double> latenessMs_;
    QTimer memoryTimer_;
    QElapsedTimer sinceReady_;
    double cpuAtReady_ = 0;
    QTimer drainTimer_;
    QElapsedTimer sinceStop_;
    QElapsedTimer sinceLastByte_;
    std::uint64_t lastCount_ = 0;
};

}  // namespace drel::bench
