#include "events/filter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "decoders/protocol.h"
#include "events/event_row.h"
#include "events/text_fold.h"

namespace zindra::events {

enum class Field { Shown, Protocol, Lead, A, B, Code, Hex, Qualifier, State, Printer, Raw, Time };
enum class Op { Eq, Ne, Contains, NotContains, Lt, Le, Gt, Ge };

struct Filter::Term {
    Field field;
    Op op;
    std::string text;  // lower-case Windows-1252; the bytes for Raw
    std::int64_t number = 0;
    std::int64_t numberEnd = 0;  // Time: the typed time covers [number, numberEnd)
};

namespace {

struct FieldName {
    std::string_view name;
    Field field;
    bool numeric;
};

constexpr std::array<FieldName, 13> Fields = {{
    {"Zeit", Field::Time, true},
    {"Protokoll", Field::Protocol, false},
    {"Vorzahl", Field::Lead, true},
    {"Linie", Field::A, true},
    {"Melder", Field::B, true},
    {"Code", Field::Code, true},
    {"Hex", Field::Hex, false},
    {"Zusatz", Field::Qualifier, true},
    {"Zustand", Field::State, false},
    {"Ereignis", Field::Shown, false},
    {"Text", Field::Shown, false},
    {"Drucktext", Field::Printer, false},
    {"Telegramm", Field::Raw, false},
}};

struct OpName {
    std::string_view name;
    Op op;
};

// Two-character operators first, so "!=" is not read as "!".
constexpr std::array<OpName, 8> Ops = {{
    {"!=", Op::Ne},
    {"!~", Op::NotContains},
    {"<=", Op::Le},
    {">=", Op::Ge},
    {"=", Op::Eq},
    {"~", Op::Contains},
    {"<", Op::Lt},
    {">", Op::Gt},
}};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && equalsFolded(a, lowerCp1252(b));
}

std::string quoted(std::string_view s) { return "\xE2\x80\x9E" + std::string(s) + "\xE2\x80\x9C"; }

std::string knownFields() {
    std::string out;
    for (const FieldName& f : Fields) {
        if (!out.empty()) out += ", ";
        out += f.name;
    }
    return out;
}

// A token's text without its quotes ("" inside quotes is one quote).
std::string unquote(std::string_view raw) {
    std::string out;
    bool inQuotes = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '"') {
            out.push_back(raw[i]);
        } else if (inQuotes && i + 1 < raw.size() && raw[i + 1] == '"') {
            out.push_back('"');
            ++i;
        } else {
            inQuotes = !inQuotes;
        }
    }
    return out;
}

struct Token {
    std::string_view raw;
    bool quoted = false;
};

// Splits at blanks outside quotes; false when a quote is not closed.
bool tokenize(std::string_view text, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        bool inQuotes = false;
        bool anyQuote = false;
        while (i < text.size() && (inQuotes || !isBlank(text[i]))) {
            if (text[i] == '"') {
                anyQuote = true;
                if (inQuotes && i + 1 < text.size() && text[i + 1] == '"') {
                    ++i;
                } else {
                    inQuotes = !inQuotes;
                }
            }
            ++i;
        }
        if (inQuotes) {
            error = "Anf\xC3\xBChrungszeichen nicht geschlossen: " + quoted(text.substr(start));
            return false;
        }
        tokens.push_back({text.substr(start, i - start), anyQuote});
    }
    return true;
}

bool parseNumber(const std::string& s, std::int64_t& n) {
    if (s.empty()) return false;
    std::size_t start = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    int base = 10;
    if (s.size() > start + 2 && s[start] == '0' && (s[start + 1] == 'x' || s[start + 1] == 'X')) base = 16;
    if (start >= s.size() || isBlank(s[start])) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, base);
    if (errno == ERANGE || end != s.c_str() + s.size()) return false;
    n = v;
    return true;
}

// "2026-12-08", "2026-12-08T22:15" (or a blank for the T), "…:03",
// "…:03.250": local time, as the event list shows it, to UTC microseconds;
// the span is the whole day, minute, second or millisecond typed.
bool parseLocalTime(const std::string& s, std::int64_t& from, std::int64_t& to) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
    char sep = 0;
    int used = 0;
    int fields = std::sscanf(s.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n.%3d%n", &y, &mo, &d, &used, &sep, &h,
                             &mi, &used, &sec, &used, &ms, &used);
    if (fields < 3 || static_cast<std::size_t>(used) != s.size()) return false;
    // Milliseconds have three digits (".5" is not 5 ms).
    if (fields == 8 && s.size() - s.rfind('.') != 4) return false;
    if (fields > 3 && sep != 'T' && sep != 't' && sep != ' ') return false;
    if (fields == 4 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 60 || h < 0 ||
        mi < 0 || sec < 0 || ms < 0) {
        return false;
    }
    const auto utc = [](int year, int month, int day, int hour, int minute,
                        int second) -> std::optional<std::int64_t> {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        tm.tm_isdst = -1;
        const std::time_t t = std::mktime(&tm);
        if (t == static_cast<std::time_t>(-1)) return std::nullopt;
        return static_cast<std::int64_t>(t) * 1000000;
    };
    const std::optional<std::int64_t> start = utc(y, mo, d, h, mi, sec);
    if (!start) return false;
    from = *start + std::int64_t{ms} * 1000;
    switch (fields) {
        case 3: {  // the whole day, whatever its length
            const std::optional<std::int64_t> next = utc(y, mo, d + 1, 0, 0, 0);
            if (!next) return false;
            to = *next;
            break;
        }
        case 6: to = from + 60 * 1000000LL; break;
        case 7: to = from + 1000000LL; break;
        default: to = from + 1000; break;
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parseHexBytes(std::string_view s, std::string& bytes) {
    std::string digits;
    for (const char c : s) {
        if (isBlank(c)) continue;
        if (hexDigit(c) < 0) return false;
        digits.push_back(c);
    }
    if (digits.empty() || digits.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<char>(hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])));
    }
    return true;
}

// The term of one token, or the reason it is none.
bool parseTerm(const Token& token, Filter::Term& term, std::string& error) {
    // field op value: letters, then an operator, all before any quote.
    std::size_t n = 0;
    while (n < token.raw.size() && isAsciiLetter(token.raw[n])) ++n;
    const OpName* op = nullptr;
    if (n > 0) {
        for (const OpName& o : Ops) {
            if (token.raw.substr(n, o.name.size()) == o.name) {
                op = &o;
                break;
            }
        }
    }
    if (!op) {
        const std::optional<std::string> text = cp1252FromText(unquote(token.raw));
        if (!text) {
            error = quoted(token.raw) + " enth\xC3\xA4lt ein Zeichen, das in keiner Meldung vorkommen kann";
            return false;
        }
        term.field = Field::Shown;
        term.op = Op::Contains;
        term.text = lowerCp1252(*text);
        return true;
    }
    const std::string_view name = token.raw.substr(0, n);
    const auto field = std::find_if(Fields.begin(), Fields.end(),
                                    [&](const FieldName& f) { return sameWord(f.name, name); });
    if (field == Fields.end()) {
        error = "Unbekanntes Feld " + quoted(name) + " (bekannt: " + knownFields() + ")";
        return false;
    }
    const std::string label(field->name);
    const std::string_view rawValue = token.raw.substr(n + op->name.size());
    if (rawValue.empty()) {
        error = label + std::string(op->name) + ": der Wert fehlt";
        return false;
    }
    const std::string value = unquote(rawValue);
    term.field = field->field;
    term.op = op->op;
    const bool ordering = op->op == Op::Lt || op->op == Op::Le || op->op == Op::Gt || op->op == Op::Ge;
    if (field->numeric) {
        if (op->op == Op::Contains || op->op == Op::NotContains) {
            error = label + " ist eine Zahl: " + std::string(op->name) + " gilt nur f\xC3\xBCr Texte";
            return false;
        }
        if (field->field == Field::Time) {
            if (!parseLocalTime(value, term.number, term.numberEnd)) {
                error = label + ": " + quoted(value) +
                        " ist keine Zeit (so: 2026-12-08, 2026-12-08T22:15, \"2026-12-08 22:15:03\")";
                return false;
            }
            return true;
        }
        if (!parseNumber(value, term.number)) {
            error = label + ": " + quoted(value) + " ist keine ganze Zahl";
            return false;
        }
        return true;
    }
    if (ordering) {
        error = label + " ist ein Text: " + std::string(op->name) + " gilt nur f\xC3\xBCr Zahlen";
        return false;
    }
    if (field->field == Field::Raw) {
        if (!parseHexBytes(value, term.text)) {
            error = label + ": " + quoted(value) +
                    " sind keine Bytes in Hex (z.\xC2\xA0"
                    "B. 02 3A FF)";
            return false;
        }
        return true;
    }
    const std::optional<std::string> text = cp1252FromText(value);
    if (!text) {
        error = quoted(value) + " enth\xC3\xA4lt ein Zeichen, das in keiner Meldung vorkommen kann";
        return false;
    }
    term.text = lowerCp1252(*text);
    return true;
}

std::optional<std::int64_t> numberOf(const EventView& e, Field f) {
    switch (f) {
        case Field::Lead: return e.leadNumber;
        case Field::A: return e.numberA;
        case Field::B: return e.numberB;
        case Field::Code: return e.stateCode ? std::optional<std::int64_t>(*e.stateCode) : std::nullopt;
        case Field::Qualifier: return e.qualifier ? std::optional<std::int64_t>(*e.qualifier) : std::nullopt;
        default: return std::nullopt;
    }
}

std::string_view textOf(const EventView& e, Field f) {
    switch (f) {
        case Field::Shown: return e.shownText();
        case Field::Protocol: return e.panelName();
        case Field::Hex: return e.stateHex;
        case Field::State: return e.stateText;
        case Field::Printer: return e.printerText;
        case Field::Raw: return e.raw;
        default: return {};
    }
}

bool holds(const Filter::Term& t, const EventView& e) {
    switch (t.field) {
        case Field::Time: {
            if (!e.time) return false;
            const std::int64_t v = *e.time;
            switch (t.op) {
                case Op::Eq: return v >= t.number && v < t.numberEnd;
                case Op::Ne: return v < t.number || v >= t.numberEnd;
                case Op::Lt: return v < t.number;
                case Op::Le: return v < t.numberEnd;
                case Op::Gt: return v >= t.numberEnd;
                case Op::Ge: return v >= t.number;
                default: return false;
            }
        }
        case Field::Lead:
        case Field::A:
        case Field::B:
        case Field::Code:
        case Field::Qualifier: {
            const std::optional<std::int64_t> n = numberOf(e, t.field);
            if (!n) return false;
            switch (t.op) {
                case Op::Eq: return *n == t.number;
                case Op::Ne: return *n != t.number;
                case Op::Lt: return *n < t.number;
                case Op::Le: return *n <= t.number;
                case Op::Gt: return *n > t.number;
                case Op::Ge: return *n >= t.number;
                default: return false;
            }
        }
        case Field::Raw: {
            const bool contains = e.raw.find(t.text) != std::string_view::npos;
            switch (t.op) {
                case Op::Eq: return e.raw == t.text;
                case Op::Ne: return e.raw != t.text;
                case Op::Contains: return contains;
                case Op::NotContains: return !contains;
                default: return false;
            }
        }
        default: {
            const std::string_view text = textOf(e, t.field);
            switch (t.op) {
                case Op::Eq: return equalsFolded(text, t.text);
                case Op::Ne: return !equalsFolded(text, t.text);
                case Op::Contains: return containsFolded(text, t.text);
                case Op::NotContains: return !containsFolded(text, t.text);
                default: return false;
            }
        }
    }
}

}  // namespace

Filter::Filter() = default;
Filter::~Filter() = default;
Filter::Filter(const Filter&) = default;
Filter& Filter::operator=(const Filter&) = default;
Filter::Filter(Filter&&) noexcept = default;
Filter& Filter::operator=(Filter&&) noexcept = default;

bool Filter::matchesEverything() const { return terms_.empty(); }

bool Filter::readsTime() const {
    return std::any_of(terms_.begin(), terms_.end(), [](const Term& t) { return t.field == Field::Time; });
}

bool Filter::matches(const EventView& event) const {
    return std::all_of(terms_.begin(), terms_.end(), [&](const Term& t) { return holds(t, event); });
}

bool Filter::matchesState(std::string_view stateText) const {
    EventView v;
    v.stateText = stateText;
    return std::all_of(terms_.begin(), terms_.end(),
                       [&](const Term& t) { return t.field != Field::State || holds(t, v); });
}

bool Filter::matchesOtherThanState(const EventView& event) const {
    return std::all_of(terms_.begin(), terms_.end(),
                       [&](const Term& t) { return t.field == Field::State || holds(t, event); });
}

FilterParse parseFilter(std::string_view text) {
    FilterParse result;
    std::vector<Token> tokens;
    if (!tokenize(text, tokens, result.error)) return result;
    std::vector<Filter::Term> terms;
    bool joinPending = false;  // an AND awaits the term after it
    for (const Token& token : tokens) {
        if (!token.quoted &&
            (sameWord(token.raw, "AND") || sameWord(token.raw, "UND") || token.raw == "&&")) {
            if (terms.empty() || joinPending) {
                result.error = quoted(token.raw) + " braucht links und rechts eine Bedingung";
                return result;
            }
            joinPending = true;
            continue;
        }
        if (!token.quoted &&
            (sameWord(token.raw, "OR") || sameWord(token.raw, "ODER") || token.raw == "||")) {
            result.error = quoted(token.raw) +
                           " gibt es nicht: alle Bedingungen gelten zugleich (UND); W\xC3\xB6rter in "
                           "Anf\xC3\xBChrungszeichen sucht man als Text";
            return result;
        }
        Filter::Term term;
        if (!parseTerm(token, term, result.error)) return result;
        terms.push_back(std::move(term));
        joinPending = false;
    }
    if (joinPending) {
        result.error = quoted(tokens.back().raw) + " braucht links und rechts eine Bedingung";
        return result;
    }
    result.filter.terms_ = std::move(terms);
    return result;
}

FilterRun::FilterRun(const EventStore& store, Filter filter, std::size_t from)
    : store_(&store), filter_(std::move(filter)), next_(from) {}

bool FilterRun::step(std::size_t count) {
    const std::size_t end = std::min(store_->size(), next_ + count);
    const bool everything = filter_.matchesEverything();
    // Without a time condition the verdict is the same for every event of
    // one body: decided once per body.
    const bool perBody = !everything && !filter_.readsTime();
    for (; next_ < end; ++next_) {
        if (perBody) {
            const std::uint32_t body = store_->bodyId(next_);
            if (body >= bodyVerdict_.size()) bodyVerdict_.resize(store_->bodyCount(), 0);
            std::uint8_t& verdict = bodyVerdict_[body];
            if (verdict == 0) verdict = filter_.matches(store_->bodyView(body)) ? 1 : 2;
            if (verdict == 2) continue;
        } else if (!everything) {
            // The state-text conditions are the same for every event of one
            // state text: decided once per text.
            const std::uint32_t id = store_->stateTextId(next_);
            if (id >= stateVerdict_.size()) stateVerdict_.resize(store_->stateTextCount(), 0);
            std::uint8_t& verdict = stateVerdict_[id];
            const EventView e = store_->at(next_);
            if (verdict == 0) verdict = filter_.matchesState(e.stateText) ? 1 : 2;
            if (verdict == 2 || !filter_.matchesOtherThanState(e)) continue;
        }
        matches_.push_back(static_cast<std::uint32_t>(next_));
    }
    return done();
}

}  // namespace zindra::events
