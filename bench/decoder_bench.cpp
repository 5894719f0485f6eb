// Dispatch throughput of every decoder on a stream typical of its protocol,
// and the memory a trace session holds.
//
// The stream of a protocol is its sample trace without the reply line
// (telegrams with stray bytes between them), repeated to 1 MiB and fed in
// 80-byte chunks through the ring and the dispatcher into panes that only
// count lines, as the CLI's unused panes do.  DispatchRecords/ runs the same
// with an event listener that counts records, so the decoders fill them.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "trace/identify.h"
#include "trace/session.h"

namespace {

using namespace zindra;

class CountingPane final : public trace::Pane {
public:
    std::size_t lineCount() const override { return n_; }
    void addLine(std::string_view) override { ++n_; }
    void appendToLastLine(std::string_view) override { n_ += n_ == 0; }
    void removeFirstLines(std::size_t k) override { n_ -= std::min(k, n_); }
    void clear() override { n_ = 0; }

private:
    std::size_t n_ = 0;
};

class CountingListener final : public trace::EventListener {
public:
    void onEvent(const decoders::EventRecord&, trace::ChunkTime) override { ++n; }
    std::size_t n = 0;
};

std::string readSample(const std::string& name) {
    std::ifstream in(std::string(ZINDRA_SAMPLES_DIR) + "/" + name + ".TRC", std::ios::binary);
    std::string s{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t lf = s.find('\n');
    return lf == std::string::npos ? s : s.substr(lf + 1);
}

std::string streamFor(const std::string& sample) {
    std::string body = readSample(sample);
    if (body.empty())
        body = std::string(
            "\x02"
            "0123456789ABCD"
            "xy",
            17);
    std::string s;
    while (s.size() < (1u << 20)) s += body;
    return s;
}

void dispatch(benchmark::State& st, const std::string& reply, const std::string& sample, bool records) {
    const std::string data = streamFor(sample);
    CountingPane text, hex, event;
    trace::Panes panes{text, hex, event};
    trace::NullUi ui;
    trace::TraceSession session(panes, ui, trace::RoutingLimits::unlimited());
    CountingListener listener;
    if (records) session.eventListeners().add(listener);
    session.startReplay();
    if (!reply.empty() && !session.identifyReply(reply)) {
        st.SkipWithError("decoder not built");
        return;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    for (auto _ : st) {
        for (std::size_t pos = 0; pos < data.size(); pos += 80) {
            session.feedChunk(p + pos, std::min<std::size_t>(80, data.size() - pos));
        }
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * static_cast<std::int64_t>(data.size()));
    // Hex pane lines per MiB of input: telegrams plus runs of stray bytes.
    st.counters["hex_lines_per_MiB"] =
        static_cast<double>(hex.lineCount()) / static_cast<double>(st.iterations());
    if (records)
        st.counters["records_per_MiB"] =
            static_cast<double>(listener.n) / static_cast<double>(st.iterations());
}

struct Case {
    const char* name;
    const char* reply;
    const char* sample;
};

const Case cases[] = {
    {"DEFAULT", "UNBEKANNT", "default"},
    {"UGM", "UGM", "ugm"},
    {"UEZ", "UEZ", "uez"},
    {"TN1060", "TN1060", "tn1060"},
    {"EBL", "EBL", "ebl"},
    {"LCA", "LCA", "lca"},
    {"SDN", "SDN", "sdn"},
    {"SM88", "SM88", "sm88"},
    {"SIGMA", "SIGMA", "sigma"},
    {"SIGMAPRN", "SIGMAPRN", "sigmaprn"},
    {"ZETFAS", "ZETFAS", "zetfas"},
    {"BMCI", "BMCI", "bmci"},
    {"HEKATRON", "HEKATRON", "hekatron"},
    {"HSB180", "HSB180", "hsb180"},
    {"ESSER", "ESSER", "esser"},
    {"IGIS", "IGIS", "igis"},
    {"PLAINTEXT", "IGISPRN", "plaintext"},
    {"SM88PRN", "SM88PRN", "sm88prn"},
    {"SECURITON", "SECURITON", "securiton"},
    {"FILNET", "FILNET", "filnet"},
};

const bool registered = [] {
    for (const Case& c : cases) {
        for (const bool records : {false, true}) {
            const std::string name = std::string(records ? "DispatchRecords/" : "Dispatch/") + c.name;
            benchmark::RegisterBenchmark(name.c_str(), dispatch, c.reply, c.sample, records)
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

// What a session holds, whatever the amount of data: fixed ring, frame buffer
// and capture block, plus the decoders.
void SessionFootprint(benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(sizeof(trace::TraceSession));
    st.counters["sizeof_session_bytes"] = static_cast<double>(sizeof(trace::TraceSession));
}
BENCHMARK(SessionFootprint);

}  // namespace

BENCHMARK_MAIN();
