// The port on the comm API, through two COM ports joined by a null-modem
// link: ZINDRA_TEST_COM_PAIR names them ("COM2 COM3").  tools/windows.sh
// joins two pseudo-terminals and maps them to COM2 and COM3 under Wine; on
// Windows a virtual null-modem pair serves.  Without the variable the tests
// are skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "serial/comm.h"
#include "serial/ui_loop.h"
#include "serial/win32_api.h"

namespace zindra::serial {
namespace {

using namespace std::chrono_literals;

bool underWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class ComPair : public ::testing::Test {
protected:
    void SetUp() override {
        const char* pair = std::getenv("ZINDRA_TEST_COM_PAIR");
        if (pair == nullptr) GTEST_SKIP() << "ZINDRA_TEST_COM_PAIR names no pair of joined COM ports";
        std::istringstream names(pair);
        names >> nameA >> nameB;
        if (nameB.empty()) GTEST_SKIP() << "ZINDRA_TEST_COM_PAIR needs two port names";
        for (Comm* c : {&a, &b}) {
            c->setDispatcher(loop.dispatcher());
            c->setBaudrate(Baudrate::br9600);
            c->setExceptionHandler([this](std::exception_ptr e) {
                try {
                    std::rethrow_exception(e);
                } catch (const std::exception& ex) {
                    reported.emplace_back(ex.what());
                }
            });
        }
        a.setDeviceName(nameA);
        b.setDeviceName(nameB);
        drain(a);
        drain(b);
        // B collects what arrives, as the trace window's receive handler does.
        b.onRxChar = [this](Comm& sender, int count) {
            counts.push_back(count);
            char buf[80];
            for (int n; (n = sender.readBuf(buf, sizeof buf)) > 0;)
                received.append(buf, static_cast<std::size_t>(n));
        };
    }
    void TearDown() override {
        a.close();
        b.close();
        // No test leaves a thread behind.
        EXPECT_TRUE(loop.runUntil([this] { return a.runningThreads() + b.runningThreads() == 0; }, 3s));
        EXPECT_TRUE(reported.empty()) << reported.front();
    }

    // Reads whatever an earlier test left on the way to `port`.
    static void drain(Comm& port) {
        port.setMonitorEvents({});
        port.open();
        char buf[4096];
        for (auto quiet = std::chrono::steady_clock::now();
             std::chrono::steady_clock::now() - quiet < 100ms;) {
            if (port.readBuf(buf, sizeof buf) > 0) quiet = std::chrono::steady_clock::now();
            std::this_thread::sleep_for(5ms);
        }
        port.close();
        port.setMonitorEvents({CommEvent::ceError, CommEvent::ceRxChar, CommEvent::ceTxEmpty});
    }

    bool receive(std::size_t count, std::chrono::milliseconds timeout = 3s) {
        return loop.runUntil([&] { return received.size() >= count; }, timeout);
    }

    std::string nameA, nameB;
    UiLoop loop;
    std::vector<std::string> reported;
    std::vector<int> counts;
    std::string received;
    Comm a;
    Comm b;
};

TEST_F(ComPair, BytesCrossTheLinkBothWaysAndALastCommandLeavesBeforeClose) {
    int txEmpty = 0;
    a.onTxEmpty = [&](Comm&) { ++txEmpty; };
    a.open();
    b.open();
    EXPECT_EQ(a.runningThreads(), 2);  // the receive event thread and the write thread
    EXPECT_EQ(a.writeBuf("\nTRACE", 6), 6);
    EXPECT_EQ(a.writeBuf("ON", 2), 2);
    ASSERT_TRUE(receive(8));
    EXPECT_EQ(received, "\nTRACEON");
    EXPECT_GT(counts.front(), 0);
    loop.runUntil([] { return false; }, 200ms);
    EXPECT_GE(txEmpty, 1);  // once per emptying: the two writes may have left apart
    EXPECT_LE(txEmpty, 2);

    // The other way, after a setting changed while open went to the driver.
    b.setParity(Parity::paEven);
    b.setParity(Parity::paNone);
    std::string back;
    a.onRxChar = [&](Comm& sender, int) {
        char buf[80];
        for (int n; (n = sender.readBuf(buf, sizeof buf)) > 0;) back.append(buf, static_cast<std::size_t>(n));
    };
    b.writeBuf("UGM\r\n", 5);
    EXPECT_TRUE(loop.runUntil([&] { return back.size() >= 5; }, 3s));
    EXPECT_EQ(back, "UGM\r\n");

    a.writeBuf("\nTRACEOF", 8);
    EXPECT_TRUE(a.flushOutput(1000));
    a.close();
    ASSERT_TRUE(receive(16));
    EXPECT_EQ(received, "\nTRACEON\nTRACEOF");
}

TEST_F(ComPair, ASlowReaderGetsEverythingInOrder) {
    // B reads on its own thread, late and in small pieces, so the link fills
    // up and A's writes have to wait for the driver.
    b.setMonitorEvents({});
    a.buffers().setWriteTimeout(20000);
    a.open();
    b.open();
    std::string data;
    for (int i = 0; i < 96 * 1024; ++i) data.push_back(static_cast<char>(i * 7 % 251));
    std::string got;
    std::thread reader([&] {
        std::this_thread::sleep_for(500ms);
        const auto end = std::chrono::steady_clock::now() + 30s;
        char buf[300];
        while (got.size() < data.size() && std::chrono::steady_clock::now() < end) {
            const int n = b.readBuf(buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<std::size_t>(n));
            else
                std::this_thread::sleep_for(1ms);
        }
    });
    // Whole buffers, each queued as soon as there is room.
    for (std::size_t at = 0; at < data.size(); at += 2048)
        EXPECT_EQ(a.writeBuf(data.data() + at, 2048), 2048);
    reader.join();
    EXPECT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data);
}

TEST_F(ComPair, CloseDoesNotWaitForAWriteTheLinkCannotTakeAndEndsTheThreads) {
    a.open();
    b.open();  // never reads: the link fills up
    b.onRxChar = nullptr;
    const std::string block(2048, 'x');
    a.buffers().setWriteTimeout(200);
    try {
        for (int i = 0; i < 1000; ++i) a.writeBuf(block.data(), 2048);
        GTEST_SKIP() << "the link took 2 MB without filling up";
    } catch (const CommError& e) {
        EXPECT_STREQ(e.what(), "Output buffer is full. Please check comm status.");
    }
    const auto start = std::chrono::steady_clock::now();
    a.close();
    b.close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(loop.runUntil([&] { return a.runningThreads() + b.runningThreads() == 0; }, 3s));
    EXPECT_TRUE(counts.empty());
}

TEST_F(ComPair, TheInputQueueIsCountedAndReadWithoutWaiting) {
    b.setMonitorEvents({});
    a.open();
    b.open();
    EXPECT_EQ(b.runningThreads(), 1);  // no event thread with no events to wait for
    char buf[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(b.readBuf(buf, sizeof buf), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);

    a.writeBuf("abc", 3);
    EXPECT_TRUE(loop.runUntil([&] { return b.inQueueCount() == 3; }, 3s));
    const CommStatus status = b.getStatus();
    EXPECT_EQ(status.errors, 0u);
    EXPECT_EQ(status.stat.cbInQue, 3u);
    EXPECT_EQ(b.readBuf(buf, sizeof buf), 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
}

TEST_F(ComPair, DirectWriteReturnsWhatTheDriverTook) {
    a.setDirectWrite(true);
    a.open();
    b.open();
    EXPECT_EQ(a.runningThreads(), 1);  // no write thread
    EXPECT_EQ(a.writeBuf("hello", 5), 5);
    EXPECT_EQ(a.writeBuf(" world", 6), 6);
    ASSERT_TRUE(receive(11));
    EXPECT_EQ(received, "hello world");
}

TEST_F(ComPair, RefusalsCarryTheSystemsCodeAndText) {
    a.open();
    if (underWine()) {
        // Wine cannot switch the modem lines of a pseudo-terminal.
        EXPECT_THROW(
            try { a.setDTR(true); } catch (const CommError& e) {
                EXPECT_EQ(std::string(e.what()),
                          "Error calling comm function (50), " + win32::errorText(ERROR_NOT_SUPPORTED));
                throw;
            },
            CommError);
    } else {
        a.setDTR(true);
        a.setRTS(false);
        // The device is opened for exclusive use (Wine does not enforce that).
        Comm other;
        other.setDeviceName(nameA);
        try {
            other.open();
            ADD_FAILURE() << "a second handle to an open port";
        } catch (const CommError& e) {
            const std::string prefix = "Can't open specified device " + nameA + " (Error ";
            EXPECT_EQ(std::string(e.what()).compare(0, prefix.size(), prefix), 0) << e.what();
        }
        EXPECT_FALSE(other.active());
    }

    Comm missing;
    missing.setDeviceName("COM199");
    try {
        missing.open();
        ADD_FAILURE() << "COM199 opened";
    } catch (const CommError& e) {
        EXPECT_STREQ(e.what(), "Specified device not found (COM199).");
    }
}

}  // namespace
}  // namespace zindra::serial
