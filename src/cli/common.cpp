#include "cli/common.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "cli/export_output.h"
#include "cli/output_pane.h"

namespace zindra::cli {

std::string printableStart(std::string_view bytes) {
    constexpr std::size_t Shown = 80;
    if (bytes.size() <= Shown) return printable(bytes);
    return printable(bytes.substr(0, Shown)) + "...";
}

namespace {

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s;
}

}  // namespace

std::string systemText(int err) { return trimmed(std::strerror(err)); }

std::string reasonText(const std::error_code& code) { return trimmed(code.message()); }

bool outputFailed(std::FILE* out, int error) {
    errno = 0;
    if (error == 0 && std::fflush(out) == 0 && std::ferror(out) == 0) return false;
    if (error == 0) error = errno != 0 ? errno : EIO;
    std::fprintf(stderr, "zindra-cli: cannot write the output: %s\n", systemText(error).c_str());
    return true;
}

int finishReplayOutput(ExportOutput* exporter, trace::TraceSession& session, StreamPane* stream) {
    if (exporter) return exporter->finish(session);
    stream->flush();
    return outputFailed(stdout, stream->error()) ? ExitFile : ExitOk;
}

int replayAllPanes(const std::function<int(const ReplayPass&, bool& fatal)>& replay) {
    const std::pair<const char*, const char*> panes[] = {
        {"hex", "--- hex ---\n"}, {"text", "--- text ---\n"}, {"event", "--- event ---\n"}};
    int status = ExitOk;
    for (const auto& [pane, title] : panes) {
        ReplayPass pass;
        pass.pane = pane;
        pass.title = title;
        pass.quiet = std::string_view(pane) != "event";
        bool fatal = false;
        status = replay(pass, fatal);
        if (fatal) break;
    }
    return status;
}

}  // namespace zindra::cli
