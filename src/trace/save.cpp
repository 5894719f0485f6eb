#include "trace/save.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace zindra::trace {

std::string baseName(std::string_view path) {
    const std::size_t sep = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep)) return std::string(path);
    return std::string(path.substr(0, dot));
}

void writeLinesFile(const std::string& path, const std::vector<std::string>& lines) {
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "Cannot create " + path);
    for (const std::string& line : lines) {
        if (std::fwrite(line.data(), 1, line.size(), f.get()) != line.size() || std::fputs("\r\n", f.get()) < 0) {
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "Cannot write " + path);
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

}  // namespace zindra::trace
