// A device that disappears while open: reported once, nothing spins, and
// the port can still be closed.
#include <gtest/gtest.h>

#include <ctime>

#include "serial/port_fixture.h"

namespace zindra::serial::test {
namespace {

using namespace std::chrono_literals;

double processCpuMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

using Hangup = PortTest;

TEST_F(Hangup, TheFarEndClosingIsReportedOnceWithoutSpinning) {
    int hangups = 0;
    int received = 0;
    comm.onHangup = [&](Comm& sender) {
        EXPECT_EQ(&sender, &comm);
        ++hangups;
    };
    comm.onRxChar = [&](Comm& sender, int count) {
        std::string buf(static_cast<std::size_t>(count), '\0');
        received += sender.readBuf(buf.data(), count);
    };
    comm.open();
    pty.send("UGM\r\n");
    ASSERT_TRUE(runUntil([&] { return received == 5; }));

    pty.closeMaster();
    ASSERT_TRUE(runUntil([&] { return hangups == 1; }));
    const double before = processCpuMs();
    pump(500ms);
    const double spent = processCpuMs() - before;
    EXPECT_EQ(hangups, 1);
    EXPECT_LT(spent, 100.0) << "CPU time while the device is gone";
    // The event thread has stopped waiting; the write thread waits for work.
    EXPECT_EQ(comm.runningThreads(), 1);
    EXPECT_TRUE(comm.active());
    EXPECT_EQ(comm.writeBuf("\nTRACEOF", 8), 0);
    comm.close();
    EXPECT_FALSE(comm.active());
    EXPECT_TRUE(runUntil([&] { return comm.runningThreads() == 0; }));
    EXPECT_TRUE(reported.empty());
}

TEST_F(Hangup, WithoutAHangupHandlerTheApplicationIsToldThroughItsExceptionHandler) {
    comm.open();
    pty.closeMaster();
    ASSERT_TRUE(runUntil([&] { return !reported.empty(); }));
    pump(100ms);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "Lost connection to " + pty.path() + " (Error 5, Input/output error)");
}

TEST_F(Hangup, AfterTheDeviceHasGoneWritesDoNothingSoCloseIsReached) {
    int hangups = 0;
    comm.onHangup = [&](Comm&) { ++hangups; };
    comm.setMonitorEvents({});  // only the write thread can notice
    comm.open();
    pty.closeMaster();
    comm.writeBuf("\nTRACEON", 8);
    ASSERT_TRUE(runUntil([&] { return hangups == 1; }));
    EXPECT_TRUE(runUntil([&] { return comm.runningThreads() == 0; }));
    // Stopp: write the stop command, then close.
    EXPECT_EQ(comm.writeBuf("\nTRACEOF", 8), 0);
    comm.close();
    EXPECT_EQ(hangups, 1);
    EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace zindra::serial::test
