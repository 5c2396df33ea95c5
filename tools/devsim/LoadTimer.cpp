#include "LoadTimer.h"

#include <iomanip>

namespace drel::devsim {

void LoadTimer::Heard(Clock::time_point now, bool loading) {
    if (!loading) {
        return;
    }
    if (!firstByte_) {
        firstByte_ = now;
    }
    if (requestSent_) {
        turnarounds_.push_back(now - *requestSent_);
        requestSent_.reset();
    }
}

void LoadTimer::OutputDrained(Clock::time_point now) {
    if (requestQueued_) {
        requestSent_ = now;
        requestQueued_ = false;
    }
}

void LoadTimer::LoadEnded(Clock::time_point now, std::ostream& out) {
    if (firstByte_) {
        const std::chrono::duration<double> took = now - *firstByte_;
        out << std::fixed << std::setprecision(6) << "load timing: " << took.count()
            << " s; turnaround us:" << std::setprecision(1);
        for (const Clock::duration turnaround : turnarounds_) {
            out << ' ' << std::chrono::duration<double, std::micro>(turnaround).count();
        }
        out << '\n';
    }
    out.flush();
    *this = LoadTimer();
}

}  // namespace drel::devsim
