// zindra-cli replay DIR: a recording folder, its segments in order with the
// recorded times, through the same session as a .TRC replay.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "cli/common.h"
#include "cli/export_output.h"
#include "cli/output_pane.h"
#include "events/event_row.h"
#include "events/time_text.h"
#include "recording/format.h"
#include "recording/reader.h"
#include "trace/session.h"

namespace zindra::cli {
namespace {

// Puts the time of the chunk being decoded before each line.
class TimedPane final : public trace::Pane {
public:
    TimedPane(trace::Pane& inner, const trace::ChunkTime& now) : inner_(inner), now_(now) {}
    std::size_t lineCount() const override { return inner_.lineCount(); }
    void addLine(std::string_view line) override {
        inner_.addLine((now_ ? events::isoTime(*now_) : std::string("-")) + " " + std::string(line));
    }
    // A gap, where it happened: its start and what it was, a line of its own
    // (the pane's bytes are Windows-1252).
    void addGap(const recording::Gap& gap) {
        const std::string text = recording::gapText(gap);
        inner_.addLine(events::isoTime(gap.from) + " " + events::cp1252FromText(text).value_or(text));
    }
    void appendToLastLine(std::string_view text) override { inner_.appendToLastLine(text); }
    void removeFirstLines(std::size_t n) override { inner_.removeFirstLines(n); }
    void clear() override { inner_.clear(); }

private:
    trace::Pane& inner_;
    const trace::ChunkTime& now_;
};

}  // namespace

int replayFolder(const std::string& dir, const ReplayPass& pass, bool timestamps, bool* fatal) {
    const auto fail = [&](int status) {
        if (fatal != nullptr) *fatal = true;
        return status;
    };
    recording::Recording rec;
    try {
        rec = recording::readRecording(dir);
    } catch (const recording::RecordingError& e) {
        // A sentence naming the folder.
        std::fprintf(stderr, "zindra-cli: %s\n", e.what());
        return fail(ExitFile);
    }

    trace::ChunkTime now;
    ExportOutput* exporter = pass.exporter;
    CountingPane countText, countHex, countEvent;
    std::unique_ptr<StreamPane> stream;
    trace::Pane* text = &countText;
    trace::Pane* hex = &countHex;
    trace::Pane* event = &countEvent;
    if (!exporter) {
        // The event pane alone is written as each line comes; within
        // --pane all, as the other panes are.
        stream = std::make_unique<StreamPane>(stdout, pass.pane == "event" && pass.title == nullptr);
        (pass.pane == "text" ? text : pass.pane == "hex" ? hex : event) = stream.get();
    }
    if (pass.title != nullptr) std::fputs(pass.title, stdout);
    TimedPane timedEvent(*event, now);
    trace::Panes panes{*text, *hex, timestamps ? static_cast<trace::Pane&>(timedEvent) : *event};
    trace::NullUi ui;
    auto session = std::make_unique<trace::TraceSession>(panes, ui, trace::RoutingLimits::unlimited());
    session->flags().textStartNewLine = true;
    session->flags().hexStartNewLine = true;

    if (exporter) exporter->attach(*session);
    recording::replayRecording(
        *session, rec,
        [&] {
            if ((stream && stream->failed()) || (exporter && exporter->failed())) session->stopp();
        },
        [&](trace::ChunkTime t) { now = t; },
        [&](const recording::Gap& gap) {
            if (timestamps) timedEvent.addGap(gap);
            // The event file of a recording has a row for each gap.
            if (exporter) exporter->addCsvRow(recording::gapEventLine(gap, rec.manifest.protocol));
        });

    int status = ExitOk;
    if (pass.quiet) {
    } else if (session->identOutcome() == trace::IdentOutcome::Unmatched) {
        std::fprintf(stderr, "zindra-cli: the reply \"%s\" names no known panel type\n",
                     printableStart(session->identText()).c_str());
        status = ExitIdent;
    } else if (!rec.identified && !(stream && stream->failed()) && !(exporter && exporter->failed())) {
        // As for a single file: nothing could be decoded (unless damage,
        // told below, is why).
        std::fprintf(stderr, "zindra-cli: %s holds no complete reply line\n", dir.c_str());
        status = rec.damaged ? ExitFile : ExitIdent;
    }
    // What is wrong, after everything readable has been shown.
    if (!pass.quiet) {
        for (const std::string& p : rec.problems) std::fprintf(stderr, "zindra-cli: %s\n", p.c_str());
    }
    if ((rec.damaged || rec.incomplete) && status == ExitOk) status = ExitFile;

    if (const int written = finishReplayOutput(exporter, *session, stream.get()); written != ExitOk) {
        return fail(written);
    }
    return status;
}

}  // namespace zindra::cli
