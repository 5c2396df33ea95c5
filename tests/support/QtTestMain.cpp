// The main of every test executable: an offscreen QApplication (so widget tests can run without a
// display), then every GoogleTest case.

#include <gtest/gtest.h>

#include <QApplication>

// The Qt libraries are not built for ThreadSanitizer: their painting hands work to a thread pool
// behind locks it cannot see, and the memory calls made there would read as races. Races in the
// instrumented code, the program's and the tests', are still reported. The tests start processes
// (pdftotext, drel-devsim) from a process with threads; the child only runs exec, so the later
// threads of the parent are safe.
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1 die_after_fork=0";
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
