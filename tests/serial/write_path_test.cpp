// The write path: the write thread's buffer, its waits and notices, and
// direct writes.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "serial/fake_platform.h"
#include "serial/port_fixture.h"

namespace zindra::serial::test {
namespace {

using namespace std::chrono_literals;

std::string errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const CommError& e) {
        return e.what();
    }
    return "(no error)";
}

using WritePath = PortTest;

TEST_F(WritePath, MoreThanTheBufferHoldsFailsAfterTheWriteTimeoutAndQueuesNothing) {
    comm.open();
    const std::string big(2049, 'x');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { comm.writeBuf(big.data(), 2049); }),
              "Output buffer is full. Please check comm status.");
    const auto waited = msSince(start);
    EXPECT_GE(waited, 990);
    EXPECT_LT(waited, 1500);
    EXPECT_EQ(pty.drain(), "");
}

TEST_F(WritePath, ExactlyTheFreeRoomIsQueuedAtOnceAndEverythingArrivesInOrder) {
    comm.open();
    const std::size_t filler = pty.block();
    const std::string first(2000, 'a');
    const std::string rest(48, 'b');
    EXPECT_EQ(comm.writeBuf(first.data(), 2000), 2000);
    pump(20ms);  // the thread tries, finds the device full and waits
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(comm.writeBuf(rest.data(), 48), 48);
    EXPECT_LT(msSince(start), 100);

    comm.buffers().setWriteTimeout(100);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { comm.writeBuf("c", 1); }), "Output buffer is full. Please check comm status.");
    EXPECT_GE(msSince(start), 100);

    const std::string got = pty.receive(filler + 2048, 3s);
    EXPECT_EQ(got.size(), filler + 2048);
    EXPECT_TRUE(got == std::string(filler, 'F') + first + rest);
}

TEST_F(WritePath, SeveralWritesToASlowReaderArriveInOrderWithoutLoss) {
    comm.open();
    const std::size_t filler = pty.block();
    std::string sent;
    for (int i = 0; i < 12; ++i) sent += std::string(700, static_cast<char>('A' + i));
    const std::string expected = std::string(filler, 'F') + sent;

    // The far end takes a little at a time.
    std::string got;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        const auto start = std::chrono::steady_clock::now();
        while (got.size() < expected.size() && msSince(start) < 5000)
            got += pty.receive(got.size() < filler ? 65536 : 300, 5ms);
        done = true;
    });
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(comm.writeBuf(sent.data() + i * 700, 700), 700);
        loop.runPending();
    }
    runUntil([&] { return done.load(); }, 6s);
    reader.join();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

TEST_F(WritePath, OnTxEmptyComesOncePerEmptyingNotPerWrite) {
    int empties = 0;
    comm.onTxEmpty = [&](Comm& sender) {
        EXPECT_EQ(&sender, &comm);
        ++empties;
    };
    comm.open();
    const std::size_t filler = pty.block();
    comm.writeBuf("one", 3);
    comm.writeBuf("two", 3);
    comm.writeBuf("six", 3);
    const std::string got = pty.receive(filler + 9, 2s);
    ASSERT_EQ(got.size(), filler + 9);
    EXPECT_EQ(got.substr(filler), "onetwosix");
    ASSERT_TRUE(runUntil([&] { return empties == 1; }));
    pump(50ms);
    EXPECT_EQ(empties, 1);

    comm.writeBuf("!", 1);
    EXPECT_EQ(pty.receive(1, 2s), "!");
    ASSERT_TRUE(runUntil([&] { return empties == 2; }));
}

TEST_F(WritePath, CloseDropsWhatIsStillQueued) {
    comm.open();
    const std::size_t filler = pty.block();
    comm.writeBuf("\nTRACEOF", 8);
    comm.close();
    const std::string got = pty.drain(100ms);
    EXPECT_EQ(got.size(), filler);
    EXPECT_EQ(got.find_first_not_of('F'), std::string::npos);
}

TEST_F(WritePath, FlushOutputLetsALastCommandLeaveBeforeClose) {
    comm.open();
    comm.writeBuf("\nTRACEOF", 8);
    EXPECT_TRUE(comm.flushOutput(1000));
    comm.close();
    EXPECT_EQ(pty.drain(200ms), "\nTRACEOF");
    EXPECT_TRUE(comm.flushOutput(10));  // closed: nothing to wait for
}

TEST_F(WritePath, FlushOutputGivesUpWhenTheDeviceTakesNothing) {
    comm.open();
    pty.block();
    comm.writeBuf("\nTRACEOF", 8);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(comm.flushOutput(200));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
}

TEST_F(WritePath, DirectWriteReturnsWhatTheDriverTookWithinTheReadTimeout) {
    comm.setDirectWrite(true);
    comm.open();
    EXPECT_EQ(comm.runningThreads(), 1);  // no write thread
    EXPECT_EQ(comm.writeBuf("hello", 5), 5);
    EXPECT_EQ(pty.receive(5, 2s), "hello");

    pty.block();
    comm.buffers().setReadTimeout(100);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(comm.writeBuf("0123456789", 10), 0);
    EXPECT_GE(msSince(start), 100);
    EXPECT_LT(msSince(start), 1000);
}

// --- write failures (scripted device) ---

class WriteFailures : public ::testing::Test {
protected:
    WriteFailures() {
        comm.setPlatform(platform);
        comm.setDispatcher(loop.dispatcher());
        comm.setExceptionHandler([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& ex) {
                reported.emplace_back(ex.what());
            }
        });
        comm.setDeviceName("COM3");
    }
    ~WriteFailures() override {
        comm.close();
        loop.runUntil([this] { return comm.runningThreads() == 0; }, 2s);
    }

    std::shared_ptr<FakePlatform> platform = std::make_shared<FakePlatform>();
    UiLoop loop;
    std::vector<std::string> reported;
    Comm comm;
};

TEST_F(WriteFailures, AFailingWriteIsReportedAndRetriedAfterAPauseNotAtOnce) {
    int errors = 0;
    int lastFlags = 0;
    comm.onError = [&](Comm&, int flags) {
        ++errors;
        lastFlags = flags;
    };
    comm.open();
    platform->device->setWriteError(EPROTO);
    comm.writeBuf("abc", 3);
    loop.runUntil([] { return false; }, 600ms);
    EXPECT_GE(errors, 2);
    EXPECT_LE(errors, 4);
    EXPECT_EQ(lastFlags, static_cast<int>(CE_IOE));
    EXPECT_LE(platform->device->failedWrites(), 4);

    // Once the device takes bytes again the queued ones go out.
    platform->device->setWriteError(0);
    EXPECT_TRUE(loop.runUntil([&] { return platform->device->output() == "abc"; }, 2s));
}

TEST_F(WriteFailures, AVanishedDeviceIsReportedOnceAndLaterWritesFail) {
    int hangups = 0;
    comm.onHangup = [&](Comm&) { ++hangups; };
    comm.open();
    platform->device->setWriteError(EIO);
    comm.writeBuf("abc", 3);
    ASSERT_TRUE(loop.runUntil([&] { return hangups == 1; }, 2s));
    loop.runUntil([] { return false; }, 300ms);
    EXPECT_EQ(hangups, 1);
    EXPECT_EQ(platform->device->failedWrites(), 1);
    EXPECT_EQ(comm.writeBuf("x", 1), 0);
    EXPECT_TRUE(comm.active());
}

}  // namespace
}  // namespace zindra::serial::test
