#include "trace/save.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace zindra::trace {

std::string baseName(std::string_view path) {
    const std::size_t sep = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep))
        return std::string(path);
    return std::string(path.substr(0, dot));
}

void writeLinesFile(const std::string& path, const std::vector<std::string>& lines) {
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f)
        throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "Cannot create " + path);
    for (const std::string& line : lines) {
        if (std::fwrite(line.data(), 1, line.size(), f.get()) != line.size() ||
            std::fputs("\r\n", f.get()) < 0) {
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(),
                                    "Cannot write " + path);
        }
    }
    if (std::fflush(f.get()) != 0) {
        throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "Cannot write " + path);
    }
    std::FILE* raw = f.release();
    if (std::fclose(raw) != 0) {
        throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "Cannot write " + path);
    }
}

std::vector<std::string> traceFileNames(const std::string& base) {
    return {base + ".TRC", base + ".dat", base + ".DA1"};
}

std::optional<std::string> checkTraceFiles(const std::string& base) {
    namespace fs = std::filesystem;
    for (const std::string& name : traceFileNames(base)) {
        std::error_code ec;
        const fs::path p(name);
        const fs::file_status st = fs::status(p, ec);
        if (fs::is_directory(st)) return "Cannot create " + name + ": " + std::strerror(EISDIR);
        // Opening a FIFO to write would wait for a reader.
        if (fs::is_fifo(st) || fs::is_socket(st)) return "Cannot create " + name + ": not a regular file";
        const bool existed = fs::exists(st);
        errno = 0;
        std::FILE* f = std::fopen(name.c_str(), "ab");  // creates, never truncates
        if (f == nullptr) return "Cannot create " + name + ": " + std::strerror(errno != 0 ? errno : EIO);
        std::fclose(f);
        if (!existed) fs::remove(p, ec);
    }
    return std::nullopt;
}

SaveReport saveTrace(const std::string& base, CaptureStore& capture, const std::vector<std::string>& hexLines,
                     const std::vector<std::string>& eventLines) {
    SaveReport report;
    const std::vector<std::string> names = traceFileNames(base);
    const auto attempt = [&](const std::string& name, const auto& write) {
        try {
            write();
            report.written.push_back(name);
        } catch (const std::system_error& e) {
            report.errors.push_back(e.what());
        }
    };
    attempt(names[0], [&] { capture.save(names[0]); });
    attempt(names[1], [&] { writeLinesFile(names[1], hexLines); });
    attempt(names[2], [&] { writeLinesFile(names[2], eventLines); });
    return report;
}

}  // namespace zindra::trace
