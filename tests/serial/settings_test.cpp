// Settings objects, their change notices, and the wait/timer helpers.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "serial/comm_error.h"
#include "serial/settings.h"
#include "serial/sync.h"

namespace zindra::serial {
namespace {

// Counts the notices of one settings object.
struct Notices {
    int count = 0;
    explicit Notices(Persistent& p) {
        p.setOnChange([this](Persistent&) { ++count; });
    }
};

TEST(FlowControl, SettersNotifyOnlyOnChangeAndAssignNotifiesOnce) {
    FlowControl fc;
    Notices n(fc);
    fc.setOutCtsFlow(false);
    fc.setControlDtr(ControlDtr::dtrDisabled);
    EXPECT_EQ(n.count, 0);
    fc.setOutCtsFlow(true);
    fc.setControlRts(ControlRts::rtsToggle);
    EXPECT_EQ(n.count, 2);

    FlowControl source;
    source.setXonXoffIn(true);
    source.setControlDtr(ControlDtr::dtrEnabled);
    n.count = 0;
    fc.assign(source);
    EXPECT_EQ(n.count, 1);
    EXPECT_FALSE(fc.outCtsFlow());
    EXPECT_TRUE(fc.xonXoffIn());
    EXPECT_EQ(fc.controlDtr(), ControlDtr::dtrEnabled);
    EXPECT_EQ(fc.controlRts(), ControlRts::rtsDisabled);

    // Its own values again: still exactly one notice.
    fc.assign(fc);
    EXPECT_EQ(n.count, 2);
    EXPECT_EQ(fc.updateCount(), 0);
}

TEST(FlowControl, AssignFromAnotherKindOrNothingIsRefused) {
    FlowControl fc;
    fc.setOutDsrFlow(true);
    Notices n(fc);
    Buffers other;
    EXPECT_THROW(fc.assign(static_cast<const Persistent*>(&other)), ConvertError);
    EXPECT_THROW(fc.assign(static_cast<const Persistent*>(nullptr)), ConvertError);
    EXPECT_TRUE(fc.outDsrFlow());
    EXPECT_EQ(n.count, 0);
}

TEST(EventChars, EveryWriteNotifiesAndEofCharRoundTrips) {
    EventChars ec;
    EXPECT_EQ(ec.xonChar(), 17);
    EXPECT_EQ(ec.xoffChar(), 19);
    EXPECT_EQ(ec.errorChar(), 0);
    Notices n(ec);
    ec.setXonChar(ec.xonChar());
    EXPECT_EQ(n.count, 1);

    ec.setEofChar(26);
    EXPECT_EQ(ec.eofChar(), 26);
    EXPECT_EQ(ec.chr(EventChars::EofIndex), 26);
    EXPECT_EQ(ec.eventChar(), 0);

    EventChars target;
    Notices t(target);
    target.assign(ec);
    EXPECT_EQ(target.eofChar(), 26);
    EXPECT_EQ(target.eventChar(), 0);
    EXPECT_EQ(t.count, 1);
    EXPECT_THROW(ec.setChr(6, 1), std::out_of_range);
}

TEST(Buffers, SizesNotifyOnChangeTimeoutsNeverAndAssignOnce) {
    Buffers b;
    EXPECT_EQ(b.readSize(), 4096);
    EXPECT_EQ(b.writeSize(), 2048);
    EXPECT_EQ(b.readTimeout(), 1000);
    EXPECT_EQ(b.writeTimeout(), 1000);
    EXPECT_EQ(b.xonLimit(), 1024);
    EXPECT_EQ(b.xoffLimit(), 1024);
    Notices n(b);
    b.setReadSize(4096);
    b.setReadTimeout(5);
    b.setWriteTimeout(7);
    EXPECT_EQ(n.count, 0);
    EXPECT_EQ(b.readTimeout(), 5);
    b.setXoffLimit(10);
    EXPECT_EQ(n.count, 1);

    Buffers source;
    source.setWriteSize(99);
    b.assign(source);
    EXPECT_EQ(n.count, 2);
    EXPECT_EQ(b.writeSize(), 99);
    EXPECT_EQ(b.readTimeout(), 1000);
    EXPECT_EQ(b.xoffLimit(), 1024);
    EXPECT_THROW(b.setWriteSize(-1), std::out_of_range);
}

TEST(Persistent, ThrowingNoticeLeavesValuesStoredAndUpdateCountRestored) {
    Buffers b;
    b.setOnChange([](Persistent&) { throw CommError("refused"); });
    Buffers source;
    source.setReadSize(1);
    EXPECT_THROW(b.assign(source), CommError);
    EXPECT_EQ(b.updateCount(), 0);
    EXPECT_EQ(b.readSize(), 1);
    EXPECT_THROW(b.setWriteSize(2), CommError);
    EXPECT_EQ(b.writeSize(), 2);
}

TEST(Persistent, NoticesAreDroppedDuringAnUpdateAndEndUpdateAlwaysNotifies) {
    EventChars ec;
    Notices n(ec);
    ec.endUpdate();  // without beginUpdate
    EXPECT_EQ(ec.updateCount(), 0);
    EXPECT_EQ(n.count, 1);

    ec.beginUpdate();
    ec.beginUpdate();
    ec.setXoffChar(1);
    ec.setErrorChar(2);
    ec.endUpdate();  // still inside the outer update: dropped
    EXPECT_EQ(n.count, 1);
    ec.endUpdate();
    EXPECT_EQ(n.count, 2);
}

TEST(TickTimer, ElapsedAcrossTheWrapOfTheCounter) {
    TickTimer t;
    t.start(1000, 0xFFFFFF00u);
    EXPECT_EQ(t.elapsed(0x000002E9u), 1000u);
    EXPECT_FALSE(t.expired(0x000002E9u));
    EXPECT_EQ(t.elapsed(0x000002EAu), 1001u);
    EXPECT_TRUE(t.expired(0x000002EAu));

    t.start(10, 100);
    EXPECT_FALSE(t.expired(110));
    EXPECT_TRUE(t.expired(111));
}

TEST(WaitEvent, ManualResetAndZeroTimeout) {
    WaitEvent e;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.waitFor(0), WaitResult::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    e.set();
    e.set();
    EXPECT_EQ(e.waitFor(0), WaitResult::Signalled);
    EXPECT_EQ(e.waitFor(INFINITE_WAIT), WaitResult::Signalled);  // stays set
    e.reset();
    EXPECT_EQ(e.waitFor(10), WaitResult::TimedOut);
}

TEST(WaitEvent, WaitAnyTakesTheFirstSetEventInListOrder) {
    WaitEvent a, b, c;
    WaitEvent* const list[] = {&a, &b, &c};
    EXPECT_EQ(waitAny(list, 0), -1);
    c.set();
    b.set();
    EXPECT_EQ(waitAny(list, INFINITE_WAIT), 1);
    b.reset();
    EXPECT_EQ(waitAny(list, INFINITE_WAIT), 2);
}

TEST(CommMessage, PlaceholdersAndSystemText) {
    EXPECT_EQ(formatCommMessage("Error writing dcb (%d), %s", 22, "Invalid argument"),
              "Error writing dcb (22), Invalid argument");
    EXPECT_EQ(formatCommMessage("Output buffer is full. Please check comm status.", 5, "x"),
              "Output buffer is full. Please check comm status.");
    EXPECT_EQ(formatCommMessage(escapePercent("a%sb%d") + " %d", 1, "t"), "a%sb%d 1");
    EXPECT_EQ(trimErrorText("The device is not ready. \r\n"), "The device is not ready");
}

}  // namespace
}  // namespace zindra::serial
