#include "cli/common.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zindra::cli {

std::string printable(std::string_view bytes) {
    std::string s;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r') {
            s += "\\r";
        } else if (b == '\n') {
            s += "\\n";
        } else if (b == '\t') {
            s += "\\t";
        } else if (b == '\\') {
            s += "\\\\";
        } else if (b < 0x20 || b >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            s += buf;
        } else {
            s.push_back(c);
        }
    }
    return s;
}

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

}  // namespace zindra::cli
