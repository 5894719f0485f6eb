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

int finishReplayOutput(ExportOutput* exporter, trace::TraceSession& session, StreamPane* stream,
                       const trace::MemoryPane& hex, const trace::MemoryPane& text,
                       const trace::MemoryPane& event) {
    if (exporter) return exporter->finish(session);
    if (stream) {
        stream->flush();
        return outputFailed(stdout, stream->error()) ? ExitFile : ExitOk;
    }
    const std::pair<const char*, const trace::MemoryPane*> panes[] = {
        {"--- hex ---\n", &hex}, {"--- text ---\n", &text}, {"--- event ---\n", &event}};
    for (const auto& [title, pane] : panes) {
        std::fputs(title, stdout);
        for (const std::string& line : pane->lines()) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
        }
    }
    return outputFailed(stdout) ? ExitFile : ExitOk;
}

}  // namespace zindra::cli
