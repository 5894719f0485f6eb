// Filter texts as a person might type them, and anything else: parsing never
// crashes; a text that does not parse says why and keeps every event; a
// filter that parses gives the same answer event by event as in slices over
// a store; the kind table and alert rules read the same text from ZINDRA.INI
// without harm.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "events/alerts.h"
#include "events/event_store.h"
#include "events/filter.h"
#include "events/kinds.h"

namespace {

using namespace zindra;

std::vector<decoders::EventRecord> sampleEvents() {
    std::vector<decoders::EventRecord> v;
    decoders::EventRecord r;
    r.reset(decoders::Protocol::Filnet);
    r.leadNumber = 123;
    r.numberA = 7;
    r.numberB = 200;
    r.stateCode = 0x95;
    r.stateHex = "95";
    r.qualifier = 0xFF;
    r.stateText = "St\xF6r Ruhe";
    r.line = "123     007    /  200    95H    FFH    St\xF6r Ruhe";
    r.raw = std::string("\x95\xFF\x00\x07", 4);
    v.push_back(r);
    r.reset(decoders::Protocol::Sm88);
    r.numberA = -2147483648LL;
    r.numberB = 10;
    r.stateText = "Alarm";
    r.line = "-2147483648       10    Alarm";
    r.raw = "\x02\x41\x03";
    v.push_back(r);
    r.reset(decoders::Protocol::SigmaPrn);
    r.printerText = "FEUER \"Gruppe\" 3";
    r.raw = "FEUER \"Gruppe\" 3\r\n";
    v.push_back(r);
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<decoders::EventRecord> records = sampleEvents();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const events::FilterParse p = events::parseFilter(text);
    if (!p.ok() && !p.filter.matchesEverything()) std::abort();
    // The same events every run, stored once (a store's first chunk is large).
    static const std::vector<events::EventView> views = [] {
        std::vector<events::EventView> v;
        for (const std::int64_t t : {std::int64_t{0}, std::int64_t{1796763600000000}, std::int64_t{-1}}) {
            for (const decoders::EventRecord& r : records) v.push_back(events::viewOf(r, t));
        }
        return v;
    }();
    static events::EventStore store;
    if (store.empty()) {
        for (const events::EventView& v : views) store.add(v);
    }
    std::vector<std::uint32_t> direct;
    for (std::size_t i = 0; i < views.size(); ++i) {
        if (p.filter.matches(views[i])) direct.push_back(static_cast<std::uint32_t>(i));
    }
    events::FilterRun run(store, p.filter);
    while (!run.step(2)) {}
    if (run.matches() != direct) std::abort();

    const events::KindTableParse kinds = events::parseKindTable({{"Alarm", std::string(text)}});
    for (const decoders::EventRecord& r : records) (void)kinds.table.kindOf(events::viewOf(r, std::nullopt));
    const events::AlertRulesParse rules = events::parseAlertRules({{"Regel1", std::string(text)}});
    // A rule written back reads back as the same rule, through the INI
    // reader, which takes a value's text between its outer quotes.
    events::IniEntries written = events::formatAlertRules(rules.rules);
    for (auto& [key, value] : written) {
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
    }
    const events::AlertRulesParse again = events::parseAlertRules(written);
    if (again.rules.size() != rules.rules.size()) std::abort();
    for (std::size_t i = 0; i < rules.rules.size(); ++i) {
        if (again.rules[i].text != rules.rules[i].text) std::abort();
    }
    return 0;
}
