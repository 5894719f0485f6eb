// The receive event thread: batches reach the UI thread as the port's
// events, in order, and close ends them from anywhere.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "serial/fake_platform.h"
#include "serial/port_fixture.h"

namespace zindra::serial::test {
namespace {

using namespace std::chrono_literals;

using EventThreadPty = PortTest;

TEST_F(EventThreadPty, OnRxCharCountsTheQueueAndLeftoversComeOnlyWithNewBytes) {
    std::vector<int> counts;
    std::string got;
    comm.onRxChar = [&](Comm& sender, int count) {
        EXPECT_EQ(&sender, &comm);
        counts.push_back(count);
        char buf[2];
        const int n = sender.readBuf(buf, 2);  // fewer than announced
        got.append(buf, static_cast<std::size_t>(n));
    };
    comm.onRxBuf = [&](Comm&, const std::uint8_t*, int) { ADD_FAILURE() << "OnRxBuf without listener"; };
    comm.open();
    pty.send("abcde");
    ASSERT_TRUE(runUntil([&] { return counts.size() == 1; }));
    EXPECT_EQ(counts[0], 5);
    pump(150ms);
    EXPECT_EQ(counts.size(), 1u);  // the three left are not announced again by themselves

    pty.send("fg");
    ASSERT_TRUE(runUntil([&] { return counts.size() == 2; }));
    EXPECT_EQ(counts[1], 5);
    EXPECT_EQ(got, "abcd");
}

TEST_F(EventThreadPty, BytesReadByTheHandlerBeforeTheyWereAnnouncedGiveNoOnRxChar) {
    std::vector<int> counts;
    comm.onRxChar = [&](Comm& sender, int count) {
        counts.push_back(count);
        if (counts.size() == 1) {
            // More bytes arrive while this handler runs; it reads them too.
            pty.send("2");
            runUntil([&] { return sender.inQueueCount() == 2; });
        }
        char buf[8];
        sender.readBuf(buf, 8);
    };
    comm.open();
    pty.send("1");
    ASSERT_TRUE(runUntil([&] { return counts.size() == 1; }));
    pump(100ms);
    EXPECT_EQ(counts.size(), 1u);
    pty.send("3");
    ASSERT_TRUE(runUntil([&] { return counts.size() == 2; }));
    EXPECT_EQ(counts, (std::vector<int>{1, 1}));
}

TEST_F(EventThreadPty, AnExceptionInOnRxCharIsReportedAndLaterBytesStillArrive) {
    int calls = 0;
    comm.onRxChar = [&](Comm& sender, int count) {
        ++calls;
        std::string buf(static_cast<std::size_t>(count), '\0');
        sender.readBuf(buf.data(), count);
        if (calls == 1) throw CommError("handler failed");
    };
    comm.open();
    pty.send("x");
    ASSERT_TRUE(runUntil([&] { return calls == 1; }));
    pty.send("y");
    ASSERT_TRUE(runUntil([&] { return calls == 2; }));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "handler failed");
}

TEST_F(EventThreadPty, CloseFromInsideOnRxCharReturnsAndTheThreadsEnd) {
    int calls = 0;
    int closes = 0;
    comm.onClose = [&](Comm&) { ++closes; };
    comm.onRxChar = [&](Comm& sender, int) {
        ++calls;
        sender.close();  // an unmatched reply: message, Stopp, Close
        EXPECT_FALSE(sender.active());
    };
    comm.open();
    pty.send("NOPE\r\n");
    ASSERT_TRUE(runUntil([&] { return calls == 1; }));
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(runUntil([&] { return comm.runningThreads() == 0; }));
    pty.send("more");
    pump(100ms);
    EXPECT_EQ(calls, 1);
    // The device is free for the next start.
    comm.open();
    EXPECT_TRUE(comm.active());
    // Closed here, while the handlers' counters still live (the fixture's
    // close would run onClose on them after this body has returned).
    comm.close();
    EXPECT_EQ(closes, 2);
}

TEST_F(EventThreadPty, NoHandlerRunsAfterCloseReturns) {
    int calls = 0;
    comm.onRxChar = [&](Comm&, int) { ++calls; };
    comm.open();
    pty.send("late");
    // Let the event thread hand the batch over without running it yet.
    std::this_thread::sleep_for(100ms);
    comm.close();
    pump(100ms);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(runUntil([&] { return comm.runningThreads() == 0; }));
}

TEST_F(EventThreadPty, WithoutMonitoredEventsThereIsNoEventThread) {
    int calls = 0;
    comm.onRxChar = [&](Comm&, int) { ++calls; };
    comm.setMonitorEvents({});
    comm.open();
    EXPECT_EQ(comm.runningThreads(), 1);  // the write thread only
    pty.send("abc");
    pump(100ms);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(comm.inQueueCount(), 3);
}

TEST_F(EventThreadPty, WithoutADispatcherHandlersRunOnTheWorkerOneAtATime) {
    comm.setDispatcher({});
    std::atomic<int> calls{0};
    std::atomic<bool> onUiThread{false};
    const auto ui = std::this_thread::get_id();
    comm.onRxChar = [&](Comm& sender, int count) {
        onUiThread = std::this_thread::get_id() == ui;
        std::string buf(static_cast<std::size_t>(count), '\0');
        sender.readBuf(buf.data(), count);
        ++calls;
    };
    comm.open();
    pty.send("a");
    const auto start = std::chrono::steady_clock::now();
    while (calls.load() == 0 && msSince(start) < 2000) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_FALSE(onUiThread.load());
    comm.close();  // waits for a handler that is running right now
}

// --- batches a pseudo-terminal cannot produce ---

class EventThreadFake : public ::testing::Test {
protected:
    EventThreadFake() {
        comm.setPlatform(platform);
        comm.setDispatcher(loop.dispatcher());
        comm.setExceptionHandler([this](std::exception_ptr) { ++reported; });
        const auto note = [this](const char* name) {
            return [this, name](Comm&) { order.emplace_back(name); };
        };
        comm.onCts = note("cts");
        comm.onDsr = note("dsr");
        comm.onRing = note("ring");
        comm.onRlsd = note("rlsd");
        comm.onBreak = note("break");
        comm.onRxFlag = note("rxflag");
        comm.onTxEmpty = note("txempty");
        comm.onPErr = note("perr");
        comm.onRx80Full = note("rx80full");
        comm.onEvent1 = note("event1");
        comm.onEvent2 = note("event2");
        comm.onError = [this](Comm&, int errors) { order.push_back("error " + std::to_string(errors)); };
        comm.onRxChar = [this](Comm&, int count) { order.push_back("rx " + std::to_string(count)); };
    }
    ~EventThreadFake() override {
        comm.close();
        loop.runUntil([this] { return comm.runningThreads() == 0; }, 2s);
    }
    void deliver(std::uint32_t events, std::size_t expected) {
        platform->device->pushEvents(events);
        ASSERT_TRUE(loop.runUntil([&] { return order.size() >= expected; }, 2s));
        loop.runUntil([] { return false; }, 20ms);
    }

    std::shared_ptr<FakePlatform> platform = std::make_shared<FakePlatform>();
    UiLoop loop;
    std::vector<std::string> order;
    int reported = 0;
    Comm comm;
};

TEST_F(EventThreadFake, EventsOfOneBatchRunInTheFixedOrder) {
    comm.open();
    platform->device->setInput("abc");
    platform->device->setErrors(CE_FRAME);
    deliver(EV_EVENT2 | EV_EVENT1 | EV_RX80FULL | EV_PERR | EV_BREAK | EV_TXEMPTY | EV_RLSD | EV_RING |
                EV_DSR | EV_CTS | EV_RXFLAG | EV_ERR | EV_RXCHAR,
            13);
    const std::vector<std::string> expected = {"rx 3",     "error 8", "rxflag",  "cts",   "dsr",
                                               "ring",     "rlsd",    "txempty", "break", "perr",
                                               "rx80full", "event1",  "event2"};
    EXPECT_EQ(order, expected);
}

TEST_F(EventThreadFake, NoOnErrorWithoutFlagsNoOnRxCharWithoutBytes) {
    comm.open();
    deliver(EV_RXCHAR | EV_ERR | EV_CTS, 1);
    EXPECT_EQ(order, std::vector<std::string>{"cts"});
}

TEST_F(EventThreadFake, CloseInAHandlerEndsTheBatch) {
    comm.onError = [this](Comm& sender, int) {
        order.emplace_back("error");
        sender.close();
    };
    comm.open();
    platform->device->setErrors(CE_OVERRUN);
    deliver(EV_ERR | EV_CTS | EV_DSR, 1);
    EXPECT_EQ(order, std::vector<std::string>{"error"});
    EXPECT_FALSE(comm.active());
}

}  // namespace
}  // namespace zindra::serial::test
