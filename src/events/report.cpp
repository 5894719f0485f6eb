#include "events/report.h"

#include <algorithm>
#include <cstdio>

#include "decoders/protocol.h"
#include "events/detectors.h"
#include "events/event_row.h"
#include "events/time_text.h"

namespace zindra::events {
namespace {

constexpr std::int64_t Second = 1000000;

struct KindLook {
    EventKind kind;
    const char* name;
    const char* colour;  // as the event list colours its rows; "other" bluish grey
};
// In the order the timeline stacks them, from the axis up.
constexpr KindLook Kinds[4] = {
    {EventKind::Alarm, "Alarm", "#ff6060"},
    {EventKind::Fault, "St\u00F6rung", "#ffe040"},
    {EventKind::Off, "Abschaltung", "#c0c0c0"},
    {EventKind::Other, "Andere", "#a8bccc"},
};

std::string esc(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// Windows-1252 bytes from a decoder, escaped for the page.
std::string text(std::string_view cp1252) { return esc(utf8FromCp1252(cp1252)); }

std::string num(const std::optional<std::int64_t>& n) { return n ? std::to_string(*n) : std::string(); }

std::string duration(std::int64_t us) {
    std::int64_t s = std::max<std::int64_t>(0, us / Second);
    char buf[64];
    if (s >= 86400) {
        std::snprintf(buf, sizeof buf, "%lld Tg. %02lld:%02lld:%02lld", static_cast<long long>(s / 86400),
                      static_cast<long long>(s / 3600 % 24), static_cast<long long>(s / 60 % 60),
                      static_cast<long long>(s % 60));
    } else {
        std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    }
    return buf;
}

std::string when(const std::optional<std::int64_t>& t) {
    return t ? germanDateTime(*t) : std::string("\u2013");
}

const char* const Style = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10.5pt; color: #111; margin: 1.5em; }
h1 { font-size: 17pt; margin: 0 0 .2em 0; }
h2 { font-size: 12.5pt; margin: 1.4em 0 .4em 0; border-bottom: 1px solid #999; }
.sub { color: #555; margin-bottom: 1em; }
table { border-collapse: collapse; margin: .3em 0; }
th, td { border: 1px solid #bbb; padding: 2px 6px; text-align: left; vertical-align: top; }
th { background: #eee; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
table.facts th { width: 11em; }
.swatch.gap { background: repeating-linear-gradient(45deg, #9a9a9a 0 2px, #e4e4e4 2px 5px); }
.swatch { display: inline-block; width: .9em; height: .9em; border: 1px solid #777; vertical-align: -1px; }
.note { color: #555; }
.problem { color: #b00000; }
svg { width: 100%; height: auto; max-width: 26cm; }
@page { size: A4; margin: 14mm; }
@media print { body { margin: 0; font-size: 9.5pt; } h2 { break-after: avoid; } tr { break-inside: avoid; } }
)";

std::string timelineSvg(const Timeline& t) {
    const double x0 = 60, x1 = 990, y0 = 12, y1 = 170;
    const double span = static_cast<double>(t.to() - t.from());
    const auto x = [&](std::int64_t at) {
        return x0 + (x1 - x0) * static_cast<double>(std::clamp(at, t.from(), t.to()) - t.from()) / span;
    };
    const double most = std::max<double>(1, t.largestBin());
    const double bw = (x1 - x0) / static_cast<double>(t.bins().size());
    std::string s;
    char buf[256];
    s += "<svg viewBox=\"0 0 1000 215\" role=\"img\" "
         "aria-label=\"Ereignisse \u00FCber die Zeit\">\n";
    s += "<defs><pattern id=\"gap\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
         "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#e4e4e4\"/>"
         "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#9a9a9a\" "
         "stroke-width=\"2\"/></pattern></defs>\n";
    s += "<rect x=\"60\" y=\"12\" width=\"930\" height=\"158\" fill=\"#fafafa\" stroke=\"#999\"/>\n";
    for (const TimeSpan& g : t.gaps()) {
        std::snprintf(buf, sizeof buf,
                      "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"url(#gap)\">"
                      "<title>Unterbrechung %s \u2013 %s</title></rect>\n",
                      x(g.from), y0, std::max(1.0, x(g.to) - x(g.from)), y1 - y0,
                      germanDateTime(g.from).c_str(), germanDateTime(g.to).c_str());
        s += buf;
    }
    for (std::size_t i = 0; i < t.bins().size(); ++i) {
        const TimelineBin& b = t.bins()[i];
        double y = y1;
        for (const KindLook& k : Kinds) {
            const std::uint32_t n = b.counts[static_cast<std::size_t>(k.kind)];
            if (n == 0) continue;
            const double h = (y1 - y0) * n / most;
            y -= h;
            std::snprintf(buf, sizeof buf,
                          "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"><title>%s: "
                          "%s</title></rect>\n",
                          x0 + bw * static_cast<double>(i), y, std::max(0.6, bw * 0.9), h, k.colour, k.name,
                          germanNumber(n).c_str());
            s += buf;
        }
    }
    // The count axis: 0 and the largest bin.
    std::snprintf(buf, sizeof buf,
                  "<text x=\"54\" y=\"174\" font-size=\"11\" text-anchor=\"end\">0</text>\n"
                  "<text x=\"54\" y=\"22\" font-size=\"11\" text-anchor=\"end\">%s</text>\n",
                  germanNumber(static_cast<std::uint64_t>(most)).c_str());
    s += buf;
    for (const TimelineTick& tick : t.ticks(8)) {
        const double tx = x(tick.at);
        std::snprintf(buf, sizeof buf,
                      "<line x1=\"%.1f\" y1=\"170\" x2=\"%.1f\" y2=\"176\" stroke=\"#555\"/>"
                      "<text x=\"%.1f\" y=\"190\" font-size=\"11\" text-anchor=\"middle\">%s</text>\n",
                      tx, tx, tx, esc(tick.label).c_str());
        s += buf;
    }
    std::snprintf(buf, sizeof buf,
                  "<text x=\"990\" y=\"208\" font-size=\"10\" text-anchor=\"end\" fill=\"#555\">"
                  "ein Balken: %s</text>\n",
                  t.widthText().c_str());
    s += buf;
    s += "</svg>\n";
    return s;
}

}  // namespace

std::string germanNumber(std::uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
        out += digits[i];
    }
    return out;
}

ReportCounts countEvents(const EventStore& store, const KindTable& kinds) {
    ReportCounts c;
    c.events = store.size();
    for (std::size_t i = 0; i < store.size(); ++i)
        ++c.byKind[static_cast<std::size_t>(kinds.kindOf(store.at(i)))];
    return c;
}

std::string reportHtml(const ReportSource& src, const EventStore& store, const KindTable& kinds) {
    const ReportCounts counts = countEvents(store, kinds);
    std::string h;
    h += "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n";
    h += "<title>Zindra \u2013 Bericht " + esc(src.name) + "</title>\n<style>" + Style +
         "</style>\n</head>\n<body>\n";
    h += "<h1>Zindra \u2013 Bericht</h1>\n<div class=\"sub\">" + esc(src.name) + "</div>\n";

    h += "<h2>Was aufgezeichnet wurde</h2>\n<table class=\"facts\">\n";
    const auto fact = [&](const char* name, const std::string& value) {
        h += std::string("<tr><th>") + name + "</th><td>" + value + "</td></tr>\n";
    };
    fact("Quelle", esc(src.name));
    if (!src.port.empty()) fact("Schnittstelle", esc(src.port));
    fact("Protokoll", src.protocol.empty() ? std::string("nicht erkannt") : esc(src.protocol));
    fact("Beginn", when(src.start));
    fact("Ende", when(src.end));
    if (src.start && src.end) fact("Dauer", duration(*src.end - *src.start));
    fact("Bytes", germanNumber(src.bytes));
    fact("Ereignisse", germanNumber(counts.events));
    fact("Unterbrechungen", germanNumber(src.gaps.size()));
    if (!src.endReason.empty()) fact("Beendet durch", esc(src.endReason));
    h += "</table>\n";
    for (const std::string& p : src.problems) h += "<p class=\"problem\">" + esc(p) + "</p>\n";

    h += "<h2>Zeitleiste</h2>\n";
    const Timeline timeline = Timeline::build(store, kinds, src.gaps, 120, src.start, src.end);
    if (timeline.empty()) {
        h +=
            "<p class=\"note\">Die Ereignisse haben keine Zeiten (eine Trace-Datei): eine Zeitleiste gibt es "
            "f\u00FCr Aufzeichnungen.</p>\n";
    } else {
        h += timelineSvg(timeline);
        h += "<p class=\"note\">";
        for (const KindLook& k : Kinds)
            h += std::string("<span class=\"swatch\" style=\"background:") + k.colour + "\"></span> " +
                 k.name + " &nbsp; ";
        if (!src.gaps.empty()) h += "<span class=\"swatch gap\"></span> Unterbrechung";
        h += "</p>\n";
    }

    h += "<h2>Ereignisse nach Art</h2>\n<table>\n<tr>";
    for (const KindLook& k : Kinds) h += std::string("<th>") + k.name + "</th>";
    h += "<th>Zusammen</th></tr>\n<tr>";
    for (const KindLook& k : Kinds)
        h += "<td class=\"n\">" + germanNumber(counts.byKind[static_cast<std::size_t>(k.kind)]) + "</td>";
    h += "<td class=\"n\">" + germanNumber(counts.events) + "</td></tr>\n</table>\n";

    DetectorTable detectors;
    detectors.update(store, kinds);
    const std::vector<std::size_t> ranked = detectors.busiest();
    h += "<h2>Melder mit den meisten Ereignissen</h2>\n";
    if (ranked.empty()) {
        h += "<p class=\"note\">Keine Ereignisse mit Linie oder Melder.</p>\n";
    } else {
        h += "<table>\n<tr><th>Protokoll</th><th>Vorzahl</th><th>Linie</th><th>Melder</th>";
        for (const KindLook& k : Kinds) h += std::string("<th>") + k.name + "</th>";
        h += "<th>Zusammen</th><th>Erstes</th><th>Letztes</th><th>Letzter Zustand</th></tr>\n";
        for (std::size_t i = 0; i < ranked.size() && i < ReportDetectorLimit; ++i) {
            const DetectorRow& d = detectors.rows()[ranked[i]];
            h += "<tr><td>" + esc(d.panel) + "</td><td class=\"n\">" + num(d.lead) + "</td><td class=\"n\">" +
                 num(d.linie) + "</td><td class=\"n\">" + num(d.melder) + "</td>";
            for (const KindLook& k : Kinds)
                h += "<td class=\"n\">" + germanNumber(d.byKind[static_cast<std::size_t>(k.kind)]) + "</td>";
            h += "<td class=\"n\">" + germanNumber(d.total) + "</td><td>" +
                 (d.first ? germanShortDateTime(*d.first) : std::string()) + "</td><td>" +
                 (d.last ? germanShortDateTime(*d.last) : std::string()) + "</td><td>" + text(d.lastState) +
                 "</td></tr>\n";
        }
        h += "</table>\n";
        if (ranked.size() > ReportDetectorLimit)
            h += "<p class=\"note\">" + germanNumber(ranked.size()) + " Melder insgesamt.</p>\n";
    }

    h += "<h2>Unterbrechungen</h2>\n";
    if (src.gaps.empty()) {
        h += "<p class=\"note\">Keine.</p>\n";
    } else {
        h += "<table>\n<tr><th>Von</th><th>Bis</th><th>Dauer</th></tr>\n";
        for (const TimeSpan& g : src.gaps)
            h += "<tr><td>" + germanDateTime(g.from) + "</td><td>" + germanDateTime(g.to) +
                 "</td><td class=\"n\">" + duration(g.to - g.from) + "</td></tr>\n";
        h += "</table>\n";
    }

    h += "<h2>Alarme und St\u00F6rungen</h2>\n";
    std::size_t listed = 0, more = 0;
    std::string rows;
    for (std::size_t i = 0; i < store.size(); ++i) {
        const EventView e = store.at(i);
        const EventKind k = kinds.kindOf(e);
        if (k != EventKind::Alarm && k != EventKind::Fault) continue;
        if (listed == ReportEventLimit) {
            ++more;
            continue;
        }
        ++listed;
        rows += "<tr><td>" + (e.time ? germanDateTime(*e.time) : std::string()) + "</td><td>" +
                (k == EventKind::Alarm ? "Alarm" : "St\u00F6rung") + "</td><td class=\"n\">" +
                num(e.numberA) + "</td><td class=\"n\">" + num(e.numberB) + "</td><td>" +
                text(e.stateText.empty() ? e.printerText : e.stateText) + "</td></tr>\n";
    }
    if (listed == 0) {
        h += "<p class=\"note\">Keine.</p>\n";
    } else {
        h += "<table>\n<tr><th>Zeit</th><th>Art</th><th>Linie</th><th>Melder</th><th>Zustand</th></tr>\n" +
             rows + "</table>\n";
        if (more > 0)
            h += "<p class=\"note\">Die ersten " + germanNumber(listed) + "; " + germanNumber(more) +
                 " weitere stehen in der Aufzeichnung.</p>\n";
    }

    h += "<p class=\"note\">Erstellt " + germanDateTime(src.madeAt) + " mit " + esc(src.program) + ".</p>\n";
    h += "</body>\n</html>\n";
    return h;
}

}  // namespace zindra::events
