#include "cli/export_output.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/common.h"
#include "live/engine.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#define ZINDRA_ISATTY _isatty
#define ZINDRA_FILENO _fileno
#define ZINDRA_GETPID _getpid
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define ZINDRA_ISATTY isatty
#define ZINDRA_FILENO fileno
#define ZINDRA_GETPID getpid
#endif

namespace zindra::cli {
namespace fs = std::filesystem;

namespace {

std::error_code errnoCode() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

// The signal that asked a running export to stop, 0 while none did.
volatile std::sig_atomic_t stopSignal = 0;
void onStopSignal(int sig) { stopSignal = sig; }

const int StopSignals[] = {
    SIGINT,
    SIGTERM,
#ifdef _WIN32
    SIGBREAK,
#else
    SIGHUP,
#endif
};

void catchStopSignals() {
#ifdef _WIN32
    for (const int sig : StopSignals) std::signal(sig, onStopSignal);
#else
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (const int sig : StopSignals) ::sigaction(sig, &sa, nullptr);
#endif
}

// A name for the temporary file beside target: the target's name (cut so
// that the whole stays within the 255 bytes a file name may have) and a
// suffix no other writer uses.
fs::path temporaryBeside(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string suffix = ".tmp-" + std::to_string(ZINDRA_GETPID()) + "-" +
                               std::to_string(stamp % 1000000) + "-" + std::to_string(counter++);
    std::string name = target.filename().string();
    constexpr std::size_t NameMax = 255;
    if (name.size() + suffix.size() > NameMax) {
        std::size_t keep = NameMax - suffix.size();
        // Not inside a UTF-8 sequence.
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
        name.resize(keep);
    }
    return target.parent_path() / (name + suffix);
}

}  // namespace

// Where --output goes (see export_output.h).
class OutputFile {
public:
    explicit OutputFile(std::string path) : path_(std::move(path)) {}
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::error_code open() {
        fs::path target = path_;
#ifndef _WIN32
        struct stat st {};
        const bool exists = ::stat(path_.c_str(), &st) == 0;
        if (!exists && errno != ENOENT) return errnoCode();
        if (exists && S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::is_a_directory);
        if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
            // Into it directly, as "> FILE" does: a reader on a FIFO gets the
            // events, /dev/null stays /dev/null (and /dev/stdout is standard
            // output, through the system's own link).
            const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) return errnoCode();
            file_ = ::fdopen(fd, "wb");
            if (file_ == nullptr) {
                const std::error_code ec = errnoCode();
                ::close(fd);
                return ec;
            }
            direct_ = true;
            return {};
        }
        if (exists && !S_ISREG(st.st_mode)) {
            errorText_ = S_ISBLK(st.st_mode) ? "a block device is not written to" : "not a regular file";
            return std::make_error_code(std::errc::invalid_argument);
        }
        if (exists) {
            keepMode_ = true;
            mode_ = st.st_mode & 07777;
            uid_ = st.st_uid;
            gid_ = st.st_gid;
        }
        // Through symbolic links to the file they name, which is replaced (a
        // dangling link: the file it names is made); the links stay.
        for (int hops = 0;; ++hops) {
            struct stat link {};
            if (::lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) break;
            if (hops == 40) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
            std::error_code ec;
            const fs::path next = fs::read_symlink(target, ec);
            if (ec) return ec;
            target = next.is_absolute() ? next : target.parent_path() / next;
        }
        target_ = target;
        temp_ = temporaryBeside(target);
        // From here a signal must not leave the temporary file behind.
        catchStopSignals();
        errno = 0;
        const int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            temp_.clear();
            return errnoCode();
        }
        if (keepMode_) {
            // As the file it replaces: its owner (where allowed) and its mode.
            (void)!::fchown(fd, uid_, gid_);
            ::fchmod(fd, mode_);
        }
        file_ = ::fdopen(fd, "wb");
        if (file_ == nullptr) {
            const std::error_code ec = errnoCode();
            ::close(fd);
            std::remove(temp_.c_str());
            temp_.clear();
            return ec;
        }
#else
        std::error_code ec;
        if (fs::is_directory(target, ec)) return std::make_error_code(std::errc::is_a_directory);
        target_ = target;
        temp_ = temporaryBeside(target);
        catchStopSignals();
        errno = 0;
        file_ = std::fopen(temp_.string().c_str(), "wb");
        if (file_ == nullptr) {
            temp_.clear();
            return errnoCode();
        }
#endif
        return {};
    }

    // The reason text for a refusal that has no error number of its own.
    const std::string& errorText() const { return errorText_; }
    std::error_code error() const { return error_; }

    bool write(std::string_view bytes) {
        if (error_ || file_ == nullptr) return false;
        errno = 0;
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
            error_ = errnoCode();
            return false;
        }
        return true;
    }

    // Flushes, closes and (for a temporary file) renames into place; the
    // error, or empty.
    std::error_code commit() {
        if (file_ == nullptr) return error_ ? error_ : std::make_error_code(std::errc::bad_file_descriptor);
        errno = 0;
        if (std::fflush(file_) != 0 || std::ferror(file_)) {
            if (!error_) error_ = errnoCode();
        }
#ifndef _WIN32
        if (!error_ && !direct_ && ::fsync(::fileno(file_)) != 0) error_ = errnoCode();
#endif
        errno = 0;
        if (std::fclose(file_) != 0 && !error_) error_ = errnoCode();
        file_ = nullptr;
        if (!error_ && !direct_) {
            std::error_code ec;
            fs::rename(temp_, target_, ec);
            if (ec) error_ = ec;
        }
        if (error_) {
            discard();
            return error_;
        }
        temp_.clear();
        return {};
    }

    void discard() {
        if (file_ != nullptr) {
            std::fclose(file_);
            file_ = nullptr;
        }
        if (!temp_.empty()) {
            std::error_code ec;
            fs::remove(temp_, ec);
            temp_.clear();
        }
    }

    // Written into directly (a FIFO, a device): nothing to rename or remove.
    bool direct() const { return direct_; }

private:
    std::string path_;
    fs::path target_, temp_;
    std::FILE* file_ = nullptr;
    std::error_code error_;
    std::string errorText_;
    bool direct_ = false;
    bool keepMode_ = false;
#ifndef _WIN32
    mode_t mode_ = 0;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
#endif
};

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
        file_ = std::make_unique<OutputFile>(*output_);
        if (const std::error_code ec = file_->open()) {
            std::fprintf(stderr, "zindra-cli: cannot write %s: %s\n", output_->c_str(),
                         file_->errorText().empty() ? reasonText(ec).c_str() : file_->errorText().c_str());
            file_.reset();
            return ExitFile;
        }
    }
    exporter_ = std::make_unique<events::StreamingExport>(format_, options_, [this](std::string_view bytes) {
        if (file_) return file_->write(bytes);
        errno = 0;
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size()) return true;
        if (stdoutError_ == 0) stdoutError_ = errno != 0 ? errno : EIO;
        return false;
    });
    return ExitOk;
}

bool ExportOutput::failed() const {
    return exporter_->failed() || (file_ && !file_->direct() && stopSignal != 0);
}

void ExportOutput::attach(trace::TraceSession& session) { session.eventListeners().add(*exporter_); }

int ExportOutput::finish(trace::TraceSession& session) {
    session.eventListeners().remove(*exporter_);
    if (file_ && !file_->direct() && stopSignal != 0) {
        // Stopped by a signal: nothing under the name, and the end the
        // signal would have given.
        const int sig = stopSignal;
        file_->discard();
        std::fprintf(stderr, "zindra-cli: %s: the export was stopped; %s was not written\n",
                     live::signalName(sig).c_str(), output_->c_str());
        std::fflush(stderr);
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return ExitFile;
    }
    exporter_->finish();
    if (!file_) return outputFailed(stdout, stdoutError_) ? ExitFile : ExitOk;
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
