// Comparing Windows-1252 texts without regard to case, as a person typing a
// filter expects: "stör" finds "St\xF6rung", "ALARM" finds "Alarm".
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zindra::events {

// The lower-case form of each Windows-1252 byte.
inline constexpr std::array<unsigned char, 256> LowerCp1252 = [] {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
    for (int i = 'A'; i <= 'Z'; ++i) t[i] = static_cast<unsigned char>(i + 32);
    for (int i = 0xC0; i <= 0xDE; ++i) {
        if (i != 0xD7) t[i] = static_cast<unsigned char>(i + 32);  // not the multiplication sign
    }
    t[0x8A] = 0x9A;  // Š
    t[0x8C] = 0x9C;  // Œ
    t[0x8E] = 0x9E;  // Ž
    t[0x9F] = 0xFF;  // Ÿ
    return t;
}();

inline char lowerCp1252(char c) { return static_cast<char>(LowerCp1252[static_cast<unsigned char>(c)]); }

inline std::string lowerCp1252(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerCp1252(c);
    return out;
}

// Whether text contains needle, needle already in lower case.
inline bool containsFolded(std::string_view text, std::string_view lowerNeedle) {
    if (lowerNeedle.empty()) return true;
    if (text.size() < lowerNeedle.size()) return false;
    const char first = lowerNeedle.front();
    const std::size_t last = text.size() - lowerNeedle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (lowerCp1252(text[i]) != first) continue;
        std::size_t k = 1;
        while (k < lowerNeedle.size() && lowerCp1252(text[i + k]) == lowerNeedle[k]) ++k;
        if (k == lowerNeedle.size()) return true;
    }
    return false;
}

inline bool equalsFolded(std::string_view text, std::string_view lowerOther) {
    if (text.size() != lowerOther.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lowerCp1252(text[i]) != lowerOther[i]) return false;
    }
    return true;
}

// s without blanks (spaces, tabs, line ends) at either end.
inline std::string trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace zindra::events
