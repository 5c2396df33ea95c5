// The status bar's progress of a file being sent: its words, and how often it is redrawn.

#include "connection/StatusProgress.h"

#include <gtest/gtest.h>

#include "support/Recorders.h"

using namespace drel;
using namespace std::chrono_literals;

TEST(StatusProgressTest, RedrawsAtMostEveryQuarterSecond) {
    test::RecordingUserInterface ui;
    const StatusProgress::Clock::time_point start{};
    StatusProgress status(ui, "COM5 loading", "u-boot.bin", 92160, start);
    status.Show(0, start);
    status.Show(9216, start + 100ms);   // too soon
    status.Show(23040, start + 250ms);  // a quarter second after the last
    status.Show(30000, start + 400ms);  // too soon
    status.Show(46080, start + 5s);
    EXPECT_EQ(ui.Statuses(), (std::vector<std::string>{
                                 "COM5 loading u-boot.bin    0 %  0 of 92160 bytes  0.0 kB/s  "
                                 "--:-- left",
                                 "COM5 loading u-boot.bin   25 %  23040 of 92160 bytes  92.2 kB/s  "
                                 "0:01 left",
                                 "COM5 loading u-boot.bin   50 %  46080 of 92160 bytes  9.2 kB/s  "
                                 "0:05 left",
                             }));
}
