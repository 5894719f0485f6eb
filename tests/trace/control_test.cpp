#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "trace/control.h"
#include "trace/identify.h"
#include "trace/recording_ui.h"

namespace zindra::trace {
namespace {

// An in-memory port: what the device sent waits in `input`, what was written
// collects in `output`.
class FakePort : public TracePort {
public:
    std::string device = "COM1";
    bool failOpen = false;
    bool opens = true;
    bool isOpen = false;
    std::string input;
    std::string output;
    std::vector<std::string> calls;

    std::string deviceName() const override { return device; }
    void open() override {
        calls.push_back("open");
        if (failOpen) throw std::runtime_error("Specified device not found (COM1).");
        isOpen = opens;
    }
    bool active() const override { return isOpen; }
    void close() override {
        calls.push_back("close");
        isOpen = false;
    }
    std::size_t read(std::uint8_t* buf, std::size_t max) override {
        if (!isOpen) return 0;
        const std::size_t n = std::min(max, input.size());
        input.copy(reinterpret_cast<char*>(buf), n);
        input.erase(0, n);
        return n;
    }
    std::size_t write(const std::uint8_t* buf, std::size_t n) override {
        if (!isOpen) return 0;
        output.append(reinterpret_cast<const char*>(buf), n);
        return n;
    }
};

class TimerUi : public RecordingUi {
public:
    void armAnswerTimer(int ms) override { timerMs = ms; }
    int timerMs = 0;
};

struct ControlFixture : ::testing::Test {
    MemoryPane text, hex, event;
    Panes panes{text, hex, event};
    TimerUi ui;
    TraceSession session{panes, ui};
    FakePort port;
};

TEST_F(ControlFixture, StartDropsWaitingBytesSendsTraceOnAndWaits) {
    // A FAT left mirroring fills the queue with far more than one chunk.
    port.input = std::string(1000, 'x');
    ASSERT_TRUE(startTrace(session, port));
    EXPECT_EQ(port.input, "");
    EXPECT_EQ(port.output, "\nTRACEON");
    EXPECT_TRUE(session.awaitingIdent());
    EXPECT_TRUE(ui.stoppEnabled);
    EXPECT_EQ(ui.panelCaption, " Empfangsbereit ");
    EXPECT_EQ(ui.timerMs, 4000);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(ControlFixture, EmptyDeviceNameWarnsThenTheOpenErrorPropagates) {
    port.device = "";
    port.failOpen = true;
    EXPECT_THROW(startTrace(session, port), std::runtime_error);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], NoPortText);
    EXPECT_FALSE(session.running());
    EXPECT_FALSE(session.awaitingIdent());
}

TEST_F(ControlFixture, PortThatDoesNotBecomeActiveIsClosedSilently) {
    port.opens = false;
    EXPECT_FALSE(startTrace(session, port));
    EXPECT_EQ(port.calls, (std::vector<std::string>{"open", "close"}));
    EXPECT_FALSE(session.running());
    EXPECT_EQ(ui.timerMs, 0);
}

TEST_F(ControlFixture, ReceiveReadsOnInChunksOfEightyAndStopDrainsFirst) {
    ASSERT_TRUE(startTrace(session, port));
    port.input = "UNBEKANNT\r\n" + std::string(100, 'A');
    EXPECT_EQ(receiveFromPort(session, port), 111u);
    EXPECT_FALSE(session.awaitingIdent());
    EXPECT_EQ(session.capture().count(), 111);
    EXPECT_EQ(ui.label5, "111");
    ASSERT_FALSE(hex.lines().empty());
    EXPECT_EQ(hex.lines()[0].rfind("UNBEKANNT\r\n" + std::string(69, 'A') + " ", 0),
              0u);  // the identifying chunk
    EXPECT_EQ(receiveFromPort(session, port), 0u);

    // Stopp takes in what is still waiting first.
    port.input = std::string(300, 'B');
    stopTrace(session, port);
    EXPECT_EQ(session.capture().count(), 411);
    EXPECT_EQ(port.input, "");
    EXPECT_FALSE(session.running());
}

// Records of a live trace carry the time their chunk was read.
TEST_F(ControlFixture, EventsOfALiveTraceCarryTheTimeTheirChunkWasRead) {
    struct Times : EventListener {
        std::vector<ChunkTime> times;
        void onEvent(const decoders::EventRecord&, ChunkTime time) override { times.push_back(time); }
    } listener;
    session.eventListeners().add(listener);
    const auto micros = [] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    ASSERT_TRUE(startTrace(session, port));
    port.input = "UGM\r\n";
    receiveFromPort(session, port);
    port.input =
        "\x02"
        "0012341000007\x03"
        "ZA";
    const std::int64_t before = micros();
    receiveFromPort(session, port);
    const std::int64_t after = micros();
    ASSERT_EQ(listener.times.size(), 1u);
    ASSERT_TRUE(listener.times[0].has_value());
    EXPECT_GE(*listener.times[0], before);
    EXPECT_LE(*listener.times[0], after);
}

TEST_F(ControlFixture, StopPortSendsTraceOffAndCloses) {
    ASSERT_TRUE(startTrace(session, port));
    stopPort(port);
    EXPECT_EQ(port.output, "\nTRACEON\nTRACEOF");
    EXPECT_FALSE(port.isOpen);
    stopPort(port);  // a closed port takes nothing
    EXPECT_EQ(port.output, "\nTRACEON\nTRACEOF");
}

}  // namespace
}  // namespace zindra::trace
