// Makes a recording folder as a watch would have left it, for benchmarks,
// screenshots and reports without a night's wait: the telegrams of a sample
// trace at a steady rate over HOURS hours from a local evening, with the cable
// pulled twice (a gap and the reply line again after it).  The bytes go
// through a trace session into the recorder, as a live trace sends them, in
// chunks of CHUNK bytes (80 unless given; a port at 9600 baud hands over a
// few bytes at a time), in the compact format or, with "text", the text one.
//   make_recording PARENT SAMPLE.TRC HOURS TELEGRAMS_PER_MINUTE [CHUNK [text]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "null_pane.h"
#include "recording/recorder.h"
#include "trace/session.h"

namespace {

using namespace zindra;

using bench::NullPane;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || argc > 7 || (argc == 7 && std::string(argv[6]) != "text")) {
        std::fputs("usage: make_recording PARENT SAMPLE.TRC HOURS TELEGRAMS_PER_MINUTE [CHUNK [text]]\n",
                   stderr);
        return 2;
    }
    const std::size_t chunkSize = argc >= 6 ? static_cast<std::size_t>(std::atoi(argv[5])) : 80;
    if (chunkSize == 0) {
        std::fputs("make_recording: CHUNK is at least 1\n", stderr);
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::string sample((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t lf = sample.find('\n');
    if (lf == std::string::npos) {
        std::fputs("make_recording: the sample holds no reply line\n", stderr);
        return 1;
    }
    const std::string reply = sample.substr(0, lf + 1);
    const std::string body = sample.substr(lf + 1);
    const double hours = std::atof(argv[3]);
    const double perMinute = std::atof(argv[4]);
    // 2026-12-08 19:00 CET; a telegram is about body / 10 bytes.
    const std::int64_t start = 1796752800LL * 1000000;
    const auto span = static_cast<std::int64_t>(hours * 3600e6);
    const double bytesPerMicro = perMinute * (static_cast<double>(body.size()) / 10.0) / 60e6;

    NullPane a, b, c;
    trace::Panes panes{a, b, c};
    trace::NullUi ui;
    trace::TraceSession session(panes, ui, trace::RoutingLimits::unlimited());
    recording::RecorderOptions options{argv[1], "/dev/ttyUSB0", "Zindra bench"};
    if (argc == 7) options.format = recording::RecordingFormat::Text;
    recording::Recorder rec(options, start);
    session.setChunkSink(&rec);
    session.eventListeners().add(rec);
    const auto feed = [&](const std::string& bytes, std::int64_t t) {
        session.receiveChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), t);
    };
    session.clearIdentText();
    session.enterWaiting();
    feed(reply, start);
    // Two pulls: at a third and at two thirds of the span, 20 and 45 minutes.
    const std::int64_t gaps[2][2] = {{start + span / 3, start + span / 3 + 20 * 60000000LL},
                                     {start + 2 * span / 3, start + 2 * span / 3 + 45 * 60000000LL}};
    std::size_t at = 0;
    std::uint64_t total = 0;
    const auto step =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(static_cast<double>(chunkSize) / bytesPerMicro));
    int gap = 0;
    for (std::int64_t t = start + 1000; t < start + span; t += step) {
        if (gap < 2 && t >= gaps[gap][0]) {
            rec.gapBegan(gaps[gap][0]);
            rec.gapEnded(gaps[gap][1]);
            session.clearIdentText();
            session.enterWaiting();
            t = gaps[gap][1];
            feed(reply, t);
            ++gap;
            continue;
        }
        std::string chunk = body.substr(at, chunkSize);
        at += chunk.size();
        if (at >= body.size()) at = 0;
        feed(chunk, t);
        total += chunk.size();
        if ((total & 0xFFFFF) < chunkSize) rec.tick(t);
    }
    rec.finish("Stopp", start + span);
    std::printf("%s\n", rec.folder().c_str());
    return 0;
}
