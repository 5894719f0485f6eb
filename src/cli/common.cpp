#include "cli/common.h"

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

std::string systemText(int err) {
    std::string s = std::strerror(err);
    while (!s.empty() && (s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s;
}

}  // namespace zindra::cli
