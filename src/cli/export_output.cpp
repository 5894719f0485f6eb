#include "cli/export_output.h"

#include <cstdio>

#include "cli/common.h"

#ifdef _WIN32
#include <io.h>
#define ZINDRA_ISATTY _isatty
#define ZINDRA_FILENO _fileno
#else
#include <unistd.h>
#define ZINDRA_ISATTY isatty
#define ZINDRA_FILENO fileno
#endif

namespace zindra::cli {

ExportOutput::ExportOutput(events::ExportFormat format, std::optional<std::string> output, std::string source,
                           bool timesAreByteOffsets)
    : format_(format), output_(std::move(output)) {
    options_.source = std::move(source);
    options_.timesAreByteOffsets = timesAreByteOffsets;
}

ExportOutput::~ExportOutput() = default;

int ExportOutput::open() {
    if (events::isBinary(format_) && !output_ && ZINDRA_ISATTY(ZINDRA_FILENO(stdout))) {
        std::fprintf(
            stderr,
            "zindra-cli: %s is binary and not for a terminal: give --output FILE or redirect standard "
            "output\n",
            std::string(events::exportFormatName(format_)).c_str());
        return ExitUsage;
    }
    if (output_) {
        file_.emplace(*output_);
        if (file_->error()) {
            std::fprintf(stderr, "zindra-cli: cannot write %s: %s\n", output_->c_str(),
                         reasonText(file_->error()).c_str());
            return ExitFile;
        }
    }
    exporter_ = std::make_unique<events::StreamingExport>(format_, options_, [this](std::string_view bytes) {
        if (file_) return file_->write(bytes);
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    });
    return ExitOk;
}

void ExportOutput::attach(trace::TraceSession& session) { session.eventListeners().add(*exporter_); }

int ExportOutput::finish(trace::TraceSession& session) {
    exporter_->finish();
    session.eventListeners().remove(*exporter_);
    if (!file_) return outputFailed(stdout) ? ExitFile : ExitOk;
    std::error_code error = exporter_->failed() ? file_->error() : file_->commit();
    if (!error && exporter_->failed()) error = std::make_error_code(std::errc::io_error);
    if (error) {
        file_->discard();
        std::fprintf(stderr, "zindra-cli: cannot write %s: %s\n", output_->c_str(),
                     reasonText(error).c_str());
        return ExitFile;
    }
    return ExitOk;
}

}  // namespace zindra::cli
