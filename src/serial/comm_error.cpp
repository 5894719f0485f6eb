#include "serial/comm_error.h"

namespace zindra::serial {

std::string formatCommMessage(std::string_view pattern, int code, std::string_view text) {
    std::string out;
    out.reserve(pattern.size() + text.size() + 8);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            const char next = pattern[i + 1];
            if (next == 'd') {
                out += std::to_string(code);
                ++i;
                continue;
            }
            if (next == 's') {
                out += text;
                ++i;
                continue;
            }
            if (next == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string escapePercent(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

std::string trimErrorText(std::string text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

}  // namespace zindra::serial
