#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/alerts.h"
#include "events/central_european_time.h"
#include "events/event_store.h"
#include "events/filter.h"
#include "events/kinds.h"

namespace zindra::events {
namespace {

using decoders::EventRecord;
using decoders::Protocol;

EventRecord sm88(std::int64_t linie, std::int64_t melder, const char* state, const char* line) {
    EventRecord r;
    r.reset(Protocol::Sm88);
    r.numberA = linie;
    r.numberB = melder;
    r.stateText = state;
    r.line = line;
    r.raw = std::string("\x02\x31\x03", 3);
    return r;
}

// A small night: the events every case below is checked against.
std::vector<EventRecord> night() {
    std::vector<EventRecord> v;
    v.push_back(sm88(3, 12, "Alarm", "   003       12    Alarm"));
    v.push_back(sm88(3, 7, "St\xF6rung", "   003       07    St\xF6rung"));
    v.push_back(sm88(12, 3, "Linie aus", "   012       03    Linie aus"));
    EventRecord tn;
    tn.reset(Protocol::Tn1060);
    tn.numberA = 4;
    tn.numberB = 1;
    tn.stateCode = 0x21;
    tn.stateHex = "21";
    tn.stateText = "keine Stoerung";
    tn.line = "   004   001  21 keine Stoerung ";
    tn.raw = std::string("\x10\x21\x00", 3);
    v.push_back(tn);
    EventRecord prn;
    prn.reset(Protocol::SigmaPrn);
    prn.printerText = "FEUERALARM Gruppe 3/12";
    prn.raw = "FEUERALARM Gruppe 3/12\r\n";
    v.push_back(prn);
    EventRecord fil;
    fil.reset(Protocol::Filnet);
    fil.leadNumber = 123;
    fil.numberA = 7;
    fil.numberB = 200;
    fil.stateCode = 0x95;
    fil.stateHex = "95";
    fil.qualifier = 0xFF;
    fil.stateText = "St\xF6r Ruhe";
    fil.line = "123     007    /  200    95H    FFH    St\xF6r Ruhe";
    fil.raw = std::string("\x95\xFF\x00\x07", 4);
    v.push_back(fil);
    return v;
}

// Which events of night() a filter keeps, as their indices.
std::vector<std::uint32_t> kept(const std::string& filter) {
    const FilterParse p = parseFilter(filter);
    EXPECT_TRUE(p.ok()) << filter << ": " << p.error;
    EventStore store;
    for (const EventRecord& r : night()) store.add(r, std::nullopt);
    FilterRun run(store, p.filter);
    run.step(1000);
    // The same answer, event by event, from the live records.
    std::vector<std::uint32_t> direct;
    const std::vector<EventRecord> events = night();
    for (std::uint32_t i = 0; i < events.size(); ++i) {
        if (p.filter.matches(viewOf(events[i], std::nullopt))) direct.push_back(i);
    }
    EXPECT_EQ(run.matches(), direct) << filter;
    return run.matches();
}

using Rows = std::vector<std::uint32_t>;

TEST(EventFilter, TextsNumbersAndFieldsCombinedWithAnd) {
    EXPECT_EQ(kept(""), (Rows{0, 1, 2, 3, 4, 5}));
    // A bare word: the shown text (the printer's text where there is no line),
    // case ignored, umlauts typed as UTF-8.
    EXPECT_EQ(kept("alarm"), (Rows{0, 4}));
    EXPECT_EQ(kept("St\xC3\xB6r"), (Rows{1, 5}));
    EXPECT_EQ(kept("ST\xC3\x96R"), (Rows{1, 5}));
    EXPECT_EQ(kept("\"Linie aus\""), (Rows{2}));
    EXPECT_EQ(kept("Linie=3"), (Rows{0, 1}));
    EXPECT_EQ(kept("linie=3 Melder=12"), (Rows{0}));
    EXPECT_EQ(kept("Linie=3 AND text~St\xC3\xB6r"), (Rows{1}));
    EXPECT_EQ(kept("Linie=3 und melder!=12"), (Rows{1}));
    EXPECT_EQ(kept("Linie>=7 Linie<12"), (Rows{5}));
    // A condition on a number the event lacks is false, even !=.
    EXPECT_EQ(kept("Vorzahl!=1"), (Rows{5}));
    EXPECT_EQ(kept("Zusatz=255 Code=0x95 Hex=95"), (Rows{5}));
    EXPECT_EQ(kept("Zustand=\"St\xC3\xB6r Ruhe\""), (Rows{5}));
    EXPECT_EQ(kept("Zustand~st\xC3\xB6r Zustand!~ruhe"), (Rows{1}));
    EXPECT_EQ(kept("Protokoll=sm88"), (Rows{0, 1, 2}));
    EXPECT_EQ(kept("Drucktext~gruppe"), (Rows{4}));
    EXPECT_EQ(kept("Telegramm~\"0D 0A\""), (Rows{4}));
    EXPECT_EQ(kept("telegramm=102100"), (Rows{3}));
}

// Times are typed in local time, as the list shows them; a date, minute or
// second means all of it.
TEST_F(CentralEuropeanTime, AFilterOnTheTimeTakesTheWholeSpanTyped) {
    // 2026-12-08 21:59:59.999, 22:00:00.000 and 22:00:59.999 local (UTC+1),
    // the next day 00:00, and an event without a time.
    const std::int64_t ten = 1796763600000000;  // 2026-12-08T22:00:00+01:00
    const trace::ChunkTime times[] = {ten - 1000, ten, ten + 59999000, ten + 7200000000LL, std::nullopt};
    const EventRecord alarm = night()[0];
    const auto rows = [&](const std::string& filter) {
        const FilterParse p = parseFilter(filter);
        EXPECT_TRUE(p.ok()) << filter << ": " << p.error;
        Rows out;
        for (std::uint32_t i = 0; i < 5; ++i) {
            if (p.filter.matches(viewOf(alarm, times[i]))) out.push_back(i);
        }
        return out;
    };
    EXPECT_EQ(rows("Zeit=2026-12-08"), (Rows{0, 1, 2}));
    EXPECT_EQ(rows("Zeit=2026-12-08T22:00"), (Rows{1, 2}));
    EXPECT_EQ(rows("zeit>=\"2026-12-08 22:00\""), (Rows{1, 2, 3}));
    EXPECT_EQ(rows("Zeit>2026-12-08T22:00"), (Rows{3}));
    EXPECT_EQ(rows("Zeit<=2026-12-08T21:59:59"), (Rows{0}));
    EXPECT_EQ(rows("Zeit<2026-12-08T22:00:00.000"), (Rows{0}));
    EXPECT_EQ(rows("Zeit!=2026-12-08"), (Rows{3}));
    EXPECT_EQ(parseFilter("Zeit>22:00").error,
              "Zeit: \xE2\x80\x9E"
              "22:00\xE2\x80\x9C ist keine Zeit (so: 2026-12-08, 2026-12-08T22:15, "
              "\"2026-12-08 22:15:03\")");
    EXPECT_FALSE(parseFilter("Zeit=2026-12-08T22:00:00.5").ok());
    EXPECT_FALSE(parseFilter("Zeit=2026-13-08").ok());
    EXPECT_FALSE(parseFilter("Zeit~2026").ok());
}

TEST(EventFilter, TextThatDoesNotParseSaysWhyAndKeepsNothing) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"Lnie=3",
         "Unbekanntes Feld \xE2\x80\x9ELnie\xE2\x80\x9C (bekannt: Zeit, Protokoll, Vorzahl, Linie, Melder, "
         "Code, "
         "Hex, Zusatz, Zustand, Ereignis, Text, Drucktext, Telegramm)"},
        {"Linie=drei",
         "Linie: \xE2\x80\x9E"
         "drei\xE2\x80\x9C ist keine ganze Zahl"},
        {"Linie=99999999999999999999",
         "Linie: \xE2\x80\x9E"
         "99999999999999999999\xE2\x80\x9C ist keine ganze Zahl"},
        {"Melder=", "Melder=: der Wert fehlt"},
        {"Linie~3", "Linie ist eine Zahl: ~ gilt nur f\xC3\xBCr Texte"},
        {"Zustand>A", "Zustand ist ein Text: > gilt nur f\xC3\xBCr Zahlen"},
        {"Zustand=\"St\xC3\xB6r",
         "Anf\xC3\xBChrungszeichen nicht geschlossen: \xE2\x80\x9EZustand=\"St\xC3\xB6r\xE2\x80\x9C"},
        {"Linie=3 AND",
         "\xE2\x80\x9E"
         "AND\xE2\x80\x9C braucht links und rechts eine Bedingung"},
        {"Linie=3 OR Linie=4",
         "\xE2\x80\x9EOR\xE2\x80\x9C gibt es nicht: alle Bedingungen gelten zugleich (UND); "
         "W\xC3\xB6rter in Anf\xC3\xBChrungszeichen sucht man als Text"},
        {"Telegramm=0D0",
         "Telegramm: \xE2\x80\x9E"
         "0D0\xE2\x80\x9C sind keine Bytes in Hex (z.\xC2\xA0"
         "B. 02 3A FF)"},
        {"\xE2\x9C\x93",
         "\xE2\x80\x9E\xE2\x9C\x93\xE2\x80\x9C enth\xC3\xA4lt ein Zeichen, das in keiner Meldung vorkommen "
         "kann"},
    };
    const EventRecord alarm = night()[0];
    for (const auto& c : cases) {
        const FilterParse p = parseFilter(c.text);
        EXPECT_EQ(p.error, c.error) << c.text;
        // The filter of a failed parse keeps everything, so a caller that
        // used it by mistake would lose no rows.
        EXPECT_TRUE(p.filter.matches(viewOf(alarm, std::nullopt))) << c.text;
    }
    // Quoted, the words are text again; Windows-1252 typed as such still works.
    EXPECT_TRUE(parseFilter("\"OR\" \"Linie=3\"").ok());
    EXPECT_EQ(kept("St\xF6rung"), (Rows{1}));
}

TEST(EventFilter, ARunInSlicesCoversEventsAddedWhileItRuns) {
    EventStore store;
    const std::vector<EventRecord> events = night();
    for (const EventRecord& r : events) store.add(r, std::nullopt);
    FilterRun run(store, parseFilter("Zustand~st\xC3\xB6r Linie<10").filter);
    EXPECT_FALSE(run.step(2));
    EXPECT_EQ(run.tested(), 2u);
    EXPECT_TRUE(run.step(10));
    // More events, with a state text the run has not seen yet.
    store.add(events[1], std::nullopt);
    EventRecord more = events[1];
    more.stateText = "St\xF6rung Netz";
    store.add(more, std::nullopt);
    EXPECT_FALSE(run.done());
    EXPECT_TRUE(run.step(10));
    EXPECT_EQ(run.matches(), (Rows{1, 5, 6, 7}));

    // The same events again and again, some without a time: a condition on
    // the time tells them apart, the others decide once per distinct event.
    EventStore repeated;
    for (std::int64_t i = 0; i < 60; ++i) {
        repeated.add(events[static_cast<std::size_t>(i) % events.size()],
                     i % 7 == 0 ? trace::ChunkTime() : trace::ChunkTime(1796722669000000 + i * 60000000));
    }
    for (const char* text :
         {"Linie<10", "Zeit>2000-01-01", "Zeit>2000-01-01 St\xC3\xB6r", "Zeit<2000-01-01", "FEUER"}) {
        const Filter f = parseFilter(text).filter;
        FilterRun r(repeated, f);
        while (!r.step(7)) {}
        Rows direct;
        for (std::uint32_t i = 0; i < repeated.size(); ++i) {
            if (f.matches(repeated.at(i))) direct.push_back(i);
        }
        EXPECT_EQ(r.matches(), direct) << text;
        EXPECT_FALSE(direct.empty() && std::string(text) != "Zeit<2000-01-01") << text;
    }
}

TEST(EventKinds, DefaultTableAndTheIniSectionThatAdjustsIt) {
    const KindTable table = KindTable::defaults();
    const std::vector<EventRecord> events = night();
    const EventKind expected[] = {EventKind::Alarm, EventKind::Fault, EventKind::Off,
                                  EventKind::Other,  // "keine Stoerung": the longer text wins
                                  EventKind::Alarm,  // printer text, no state text
                                  EventKind::Fault};
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(table.kindOf(viewOf(events[i], std::nullopt)), expected[i]) << i;
    }
    EXPECT_EQ(table.kindOf("Stoerung"), EventKind::Fault);
    EXPECT_EQ(table.kindOf("Abschaltung"), EventKind::Off);
    EXPECT_EQ(table.kindOf("Ruhe"), EventKind::Other);

    // Keys in any case; UTF-8 or Windows-1252 values; kinds not named keep
    // their texts; an empty value names nothing; unknown keys are reported.
    const KindTableParse p = parseKindTable({{"stoerung", " Netz , Batt\xC3\xA9rie"},
                                             {"Aus", "Linie aus,Abschalt, Ruhe"},
                                             {"Andere", ""},
                                             {"Farbe", "rot"},
                                             {"Alarm", "Alarm, \xE2\x9C\x93"}});
    EXPECT_EQ(p.warnings,
              (std::vector<std::string>{
                  "[Ereignisarten] Farbe: unbekannte Art (bekannt: Alarm, Stoerung, Aus, Andere)",
                  "[Ereignisarten] Alarm: \xE2\x80\x9E\xE2\x9C\x93\xE2\x80\x9C enth\xC3\xA4lt ein Zeichen, "
                  "das in keiner Meldung vorkommen kann"}));
    EXPECT_EQ(p.table.kindOf("St\xF6rung"), EventKind::Other);
    EXPECT_EQ(p.table.kindOf("NETZ aus"), EventKind::Fault);
    EXPECT_EQ(p.table.kindOf("Batt\xE9rie"), EventKind::Fault);
    EXPECT_EQ(p.table.kindOf("Ruhe"), EventKind::Off);
    EXPECT_EQ(p.table.kindOf("keine Abschaltung"), EventKind::Off);
    EXPECT_EQ(formatKindTable(p.table), (IniEntries{{"Alarm", "alarm"},
                                                    {"Stoerung", "netz, batt\xC3\xA9rie"},
                                                    {"Aus", "linie aus, abschalt, ruhe"},
                                                    {"Andere", ""}}));
    EXPECT_EQ(formatKindTable(parseKindTable(formatKindTable(p.table)).table), formatKindTable(p.table));
}

TEST(Alerts, EachRuleTellsAtMostOnceAMinuteAndKeepsMarkingRows) {
    const AlertRulesParse p = parseAlertRules({{"Regel2", "Linie=3"},
                                               {"regel1", "\"Linie aus\""},
                                               {"Regel3", "Linie=x"},
                                               {"Regel4", "  "},
                                               {"Regel5", "AND"},
                                               {"Name", "Linie=1"}});
    ASSERT_EQ(p.rules.size(), 2u);
    EXPECT_EQ(p.rules[0].text, "\"Linie aus\"");
    EXPECT_EQ(p.errors,
              (std::vector<std::string>{"Name: unbekannter Schl\xC3\xBCssel (Regeln hei\xC3\x9F"
                                        "en Regel1, Regel2, \xE2\x80\xA6)",
                                        "Regel3: Linie: \xE2\x80\x9Ex\xE2\x80\x9C ist keine ganze Zahl",
                                        "Regel5: \xE2\x80\x9E"
                                        "AND\xE2\x80\x9C braucht links und rechts eine Bedingung"}));
    // Written back so that the INI reader's quote stripping gives the text again.
    EXPECT_EQ(formatAlertRules(p.rules),
              (IniEntries{{"Regel1", "\"\"Linie aus\"\""}, {"Regel2", "Linie=3"}}));
    std::string error;
    EXPECT_FALSE(makeAlertRule(" ", &error));
    EXPECT_EQ(error, "die Regel ist leer");

    AlertMatcher m(p.rules);
    const std::vector<EventRecord> events = night();
    const auto at = [&](std::size_t event, std::int64_t seconds) {
        return m.check(viewOf(events[event], seconds * 1000000), -1);
    };
    using Idx = std::vector<std::size_t>;
    EXPECT_EQ(at(0, 1000).notify, Idx{1});
    EXPECT_EQ(at(1, 1059).notify, Idx{});  // within the minute: marked, not told
    EXPECT_EQ(at(1, 1059).matched, Idx{1});
    EXPECT_EQ(at(2, 1059).notify, Idx{0});  // the other rule has its own minute
    EXPECT_EQ(at(0, 1060).notify, Idx{1});  // a minute on
    EXPECT_EQ(at(3, 5000).matched, Idx{});
    EXPECT_EQ(at(0, 1000).notify, Idx{1});  // the clock set back
    // Without an event time the caller's clock counts.
    EXPECT_EQ(m.check(viewOf(events[0], std::nullopt), 1030 * 1000000LL).notify, Idx{});
    EXPECT_EQ(m.check(viewOf(events[0], std::nullopt), 1060 * 1000000LL).notify, Idx{1});
    // New rules start afresh.
    m.setRules(p.rules);
    EXPECT_EQ(at(0, 1061).notify, Idx{1});
}

}  // namespace
}  // namespace zindra::events
