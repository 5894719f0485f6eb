// zindra-cli replay: a .TRC file through identification and the decoders,
// exactly as the window's Replay, with one pane written to standard output.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "cli/common.h"
#include "cli/export_output.h"
#include "cli/output_pane.h"
#include "trace/replay.h"
#include "trace/session.h"

namespace zindra::cli {
namespace {

const char* const ReplayUsage =
    "usage: zindra-cli replay [--protocol REPLY] [--pane text|hex|event|all] FILE\n"
    "       zindra-cli replay [--timestamps] [--pane text|hex|event|all] RECORDING-FOLDER\n"
    "       zindra-cli replay [--protocol REPLY] --format csv|jsonl|pcapng [--output FILE] "
    "FILE|RECORDING-FOLDER\n";

enum class PaneChoice { Text, Hex, Event, All, None };

// One pass over a .TRC file.
int replayFile(const std::string& file, const std::optional<std::string>& protocol, const ReplayPass& pass,
               bool* fatal = nullptr) {
    const auto fail = [&](int status) {
        if (fatal != nullptr) *fatal = true;
        return status;
    };
    trace::FilePtr in(nullptr, &std::fclose);
    try {
        in = trace::openTraceFile(file);
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "zindra-cli: cannot read %s: %s\n", file.c_str(), reasonText(e.code()).c_str());
        return fail(ExitFile);
    }

    // The pane chosen streams straight to standard output; the others only
    // count.
    CountingPane countText, countHex, countEvent;
    std::unique_ptr<StreamPane> stream;
    trace::Pane* text = &countText;
    trace::Pane* hex = &countHex;
    trace::Pane* event = &countEvent;
    if (!pass.exporter) {
        stream = std::make_unique<StreamPane>(stdout);
        (pass.pane == "text" ? text : pass.pane == "hex" ? hex : event) = stream.get();
    }
    if (pass.title != nullptr) std::fputs(pass.title, stdout);
    trace::Panes panes{*text, *hex, *event};
    trace::NullUi ui;
    auto session = std::make_unique<trace::TraceSession>(panes, ui, trace::RoutingLimits::unlimited());
    // As after the start-up Clear: both start-new-line flags set.
    session->flags().textStartNewLine = true;
    session->flags().hexStartNewLine = true;

    ExportOutput* exporter = pass.exporter;
    if (exporter) exporter->attach(*session);

    session->startReplay();
    if (protocol) session->identifyReply(*protocol);

    int status = ExitOk;
    try {
        // Output that can no longer be written ends the replay.
        trace::replayStream(*session, in.get(), file, [&] {
            if (stream && stream->failed()) session->stopp();
            if (exporter) {
                if (exporter->failed()) session->stopp();
                // Before each chunk: where the chunk about to be decoded ends.
                exporter->setBytePosition(static_cast<std::uint64_t>(std::ftell(in.get())));
            }
        });
        if (exporter) exporter->setBytePosition(static_cast<std::uint64_t>(std::ftell(in.get())));
    } catch (const std::system_error& e) {
        // Nothing of a file that cannot be read is written.
        std::fprintf(stderr, "zindra-cli: cannot read %s: %s\n", file.c_str(), reasonText(e.code()).c_str());
        if (stream) stream->clear();
        return fail(ExitFile);
    }
    const bool noReplyLine = session->awaitingIdent();
    session->stopp();

    if (pass.quiet) {
    } else if (session->identOutcome() == trace::IdentOutcome::Unmatched) {
        std::fprintf(stderr, "zindra-cli: the reply \"%s\" names no known panel type\n",
                     printableStart(session->identText()).c_str());
        status = ExitIdent;
    } else if (noReplyLine) {
        std::fprintf(stderr, "zindra-cli: %s holds no complete reply line\n", file.c_str());
        status = ExitIdent;
    }

    if (const int written = finishReplayOutput(exporter, *session, stream.get()); written != ExitOk) {
        return fail(written);
    }
    return status;
}

}  // namespace

int replayCommand(int argc, char** argv) {
    std::optional<std::string> protocol;
    PaneChoice choice = PaneChoice::Event;
    bool paneGiven = false;
    std::optional<events::ExportFormat> format;
    std::optional<std::string> output;
    std::optional<std::string> file;
    std::string paneName = "event";
    bool timestamps = false;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--protocol" && i + 1 < argc) {
            // A reply pasted with its line end names the same panel.
            protocol = argv[++i];
            while (!protocol->empty() && (protocol->back() == '\n' || protocol->back() == '\r')) {
                protocol->pop_back();
            }
        } else if (options && arg == "--format" && i + 1 < argc) {
            format = events::exportFormatNamed(argv[++i]);
            if (!format) {
                std::fputs(ReplayUsage, stderr);
                return ExitUsage;
            }
        } else if (options && arg == "--output" && i + 1 < argc) {
            output = argv[++i];
        } else if (options && arg == "--pane" && i + 1 < argc) {
            paneGiven = true;
            const std::string p = argv[++i];
            paneName = p;
            if (p == "text") {
                choice = PaneChoice::Text;
            } else if (p == "hex") {
                choice = PaneChoice::Hex;
            } else if (p == "event") {
                choice = PaneChoice::Event;
            } else if (p == "all") {
                choice = PaneChoice::All;
            } else {
                std::fputs(ReplayUsage, stderr);
                return ExitUsage;
            }
        } else if (options && arg == "--timestamps") {
            timestamps = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            std::fputs(ReplayUsage, stderr);
            return ExitUsage;
        } else if (!file) {
            file = arg;
        } else {
            std::fputs(ReplayUsage, stderr);
            return ExitUsage;
        }
    }
    // The events go out instead of a pane; an output file needs a format.
    if (!file || (format && (paneGiven || timestamps)) || (output && !format)) {
        std::fputs(ReplayUsage, stderr);
        return ExitUsage;
    }
    std::error_code ec;
    const bool folder = std::filesystem::is_directory(*file, ec);
    if (folder && protocol) {
        std::fputs("zindra-cli: --protocol is for a .TRC file; a recording knows its reply line\n", stderr);
        return ExitUsage;
    }
    if (!folder && timestamps) {
        std::fputs("zindra-cli: --timestamps needs a recording folder; a .TRC file holds no times\n", stderr);
        return ExitUsage;
    }
    // The events instead of a pane; a plain trace file has no times.
    std::optional<ExportOutput> exporter;
    if (format) {
        choice = PaneChoice::None;
        exporter.emplace(*format, output, *file, !folder);
        if (const int status = exporter->open(); status != ExitOk) return status;
    }
    if (choice == PaneChoice::All) {
        return replayAllPanes([&](const ReplayPass& pass, bool& fatal) {
            return folder ? replayFolder(*file, pass, timestamps, &fatal)
                          : replayFile(*file, protocol, pass, &fatal);
        });
    }
    ReplayPass pass;
    pass.pane = paneName;
    pass.exporter = exporter ? &*exporter : nullptr;
    if (folder) return replayFolder(*file, pass, timestamps);
    return replayFile(*file, protocol, pass);
}

}  // namespace zindra::cli
