#include "events/event_row.h"

#include <cstdio>

#include "events/time_text.h"

namespace zindra::events {
namespace {

// 0x80-0x9F in Windows-1252.
constexpr char16_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

template <typename T>
std::string number(const std::optional<T>& n) {
    return n ? std::to_string(static_cast<long long>(*n)) : std::string();
}

bool needsProtection(std::string_view cell) {
    if (cell.empty()) return false;
    switch (cell.front()) {
        case '=':
        case '+':
        case '-':
        case '@':
        case '\t':
        case '\r': return true;
        default: return false;
    }
}

}  // namespace

std::string utf8FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const char16_t u = (b >= 0x80 && b <= 0x9F) ? High[b - 0x80] : b;
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

std::optional<std::string> cp1252FromText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        // One UTF-8 sequence of two or three bytes (Windows-1252 has nothing
        // beyond U+FFFF); anything else means the text is not UTF-8.
        const std::size_t length = (b & 0xE0) == 0xC0   ? 2
                                   : (b & 0xF0) == 0xE0 ? 3
                                   : (b & 0xF8) == 0xF0 ? 4
                                                        : 0;
        bool valid = length != 0 && i + length <= text.size();
        char32_t u = length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            valid = (c & 0xC0) == 0x80;
            u = (u << 6) | (c & 0x3F);
        }
        if (valid) valid = u >= (length == 2 ? 0x80u : length == 3 ? 0x800u : 0x10000u);  // no overlong forms
        if (!valid) return std::string(text);
        if (u >= 0xA0 && u <= 0xFF) {
            out.push_back(static_cast<char>(u));
        } else {
            std::size_t k = 0;
            while (k < 32 && High[k] != u) ++k;
            if (k == 32) return std::nullopt;
            out.push_back(static_cast<char>(0x80 + k));
        }
        i += length;
    }
    return out;
}

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

std::string hexBytes(std::string_view bytes) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!out.empty()) out.push_back(' ');
        out.push_back(Digits[b >> 4]);
        out.push_back(Digits[b & 0x0F]);
    }
    return out;
}

std::vector<std::string> eventCells(const EventView& r) {
    std::vector<std::string> cells(ColumnNames.size());
    if (r.time) cells[TimeColumn] = isoTime(*r.time);
    cells[ProtocolColumn] = std::string(r.panelName());
    cells[LeadColumn] = number(r.leadNumber);
    cells[LinieColumn] = number(r.numberA);
    cells[MelderColumn] = number(r.numberB);
    cells[CodeColumn] = number(r.stateCode);
    cells[HexColumn] = utf8FromCp1252(r.stateHex);
    cells[QualifierColumn] = number(r.qualifier);
    cells[StateColumn] = utf8FromCp1252(r.stateText);
    cells[LineColumn] = utf8FromCp1252(r.line);
    cells[PrinterColumn] = utf8FromCp1252(r.printerText);
    cells[RawColumn] = hexBytes(r.raw);
    return cells;
}

bool isNumberColumn(std::size_t column) {
    return column == LeadColumn || column == LinieColumn || column == MelderColumn || column == CodeColumn ||
           column == QualifierColumn;
}

std::string csvLine(const std::vector<std::string>& cells, const std::vector<bool>& numeric) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) out.push_back(';');
        const std::string& cell = cells[i];
        const bool isNumber = i < numeric.size() && numeric[i];
        std::string text = (!isNumber && needsProtection(cell)) ? "'" + cell : cell;
        if (text.find_first_of(";\"\r\n") == std::string::npos) {
            out += text;
            continue;
        }
        out.push_back('"');
        for (const char c : text) {
            if (c == '"') out.push_back('"');
            out.push_back(c);
        }
        out.push_back('"');
    }
    out += "\r\n";
    return out;
}

std::string csvHeader() { return csvLine(std::vector<std::string>(ColumnNames.begin(), ColumnNames.end())); }

std::string csvEventLine(const EventView& event) {
    static const std::vector<bool> numeric = [] {
        std::vector<bool> n(ColumnNames.size());
        for (std::size_t i = 0; i < n.size(); ++i) n[i] = isNumberColumn(i);
        return n;
    }();
    return csvLine(eventCells(event), numeric);
}

}  // namespace zindra::events
