// zindra-cli report: a trace file or a recording replayed into the event
// store, then written as one HTML page to hand over.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include "cli/common.h"
#include "cli/output_pane.h"
#include "events/event_store.h"
#include "events/report.h"
#include "recording/reader.h"
#include "trace/replay.h"
#include "trace/session.h"

namespace zindra::cli {
namespace {

const char* const ReportUsage = "usage: zindra-cli report FILE|RECORDING-FOLDER [--output FILE.html]\n";

std::int64_t nowUtc() { return static_cast<std::int64_t>(std::time(nullptr)) * 1000000; }

}  // namespace

int reportCommand(int argc, char** argv) {
    std::optional<std::string> input, output;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--output" && i + 1 < argc) {
            output = argv[++i];
        } else if (!input && !(arg.size() > 1 && arg[0] == '-')) {
            input = arg;
        } else {
            std::fputs(ReportUsage, stderr);
            return ExitUsage;
        }
    }
    if (!input) {
        std::fputs(ReportUsage, stderr);
        return ExitUsage;
    }

    CountingPane text, hex, event;
    trace::Panes panes{text, hex, event};
    trace::NullUi ui;
    trace::TraceSession session(panes, ui, trace::RoutingLimits::unlimited());
    events::EventStore store;
    session.eventListeners().add(store);
    events::ReportSource source;
    source.name = *input;
    source.program = "Zindra " ZINDRA_VERSION;
    source.madeAt = nowUtc();
    int status = ExitOk;
    std::error_code ec;
    if (std::filesystem::is_directory(*input, ec)) {
        recording::Recording rec;
        try {
            rec = recording::readRecording(*input);
        } catch (const recording::RecordingError& e) {
            std::fprintf(stderr, "zindra-cli: %s\n", e.what());
            return ExitFile;
        }
        recording::replayRecording(session, rec);
        source.port = rec.manifest.port;
        source.start = rec.manifest.start;
        source.end = rec.manifest.end;
        for (const recording::Gap& g : rec.manifest.gaps)
            source.gaps.push_back({g.from, g.to.value_or(rec.manifest.end.value_or(g.from))});
        source.endReason = rec.manifest.reason;
        for (const recording::SegmentFile& seg : rec.segments) source.bytes += seg.size;
        source.problems = rec.problems;
        if (!rec.problems.empty() && rec.damaged) status = ExitFile;
    } else {
        try {
            trace::replayFile(session, *input);
        } catch (const std::system_error& e) {
            std::fprintf(stderr, "zindra-cli: %s: %s\n", e.what(), reasonText(e.code()).c_str());
            return ExitFile;
        }
        source.bytes = std::filesystem::file_size(*input, ec);
    }
    if (session.identOutcome() == trace::IdentOutcome::Matched) source.protocol = session.identText();
    session.eventListeners().remove(store);

    const std::string html = events::reportHtml(source, store, events::KindTable::defaults());
    if (output) {
        std::ofstream out(*output, std::ios::binary | std::ios::trunc);
        out << html;
        out.close();
        if (!out) {
            std::fprintf(stderr, "zindra-cli: cannot write %s\n", output->c_str());
            return ExitFile;
        }
    } else {
        std::fwrite(html.data(), 1, html.size(), stdout);
        if (outputFailed(stdout)) return ExitFile;
    }
    if (session.identOutcome() != trace::IdentOutcome::Matched) {
        std::fprintf(stderr, "zindra-cli: %s holds no reply line that names a known panel type\n",
                     input->c_str());
        status = ExitIdent;
    }
    return status;
}

}  // namespace zindra::cli
