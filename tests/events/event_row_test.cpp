#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "events/central_european_time.h"
#include "events/event_row.h"
#include "events/time_text.h"

namespace zindra::events {
namespace {

TEST_F(CentralEuropeanTime, TimesAreLocalWithMillisecondsAndTheOffsetOfTheirDay) {
    // 2026-12-08 09:37:49.123456 UTC: winter, one hour ahead.
    EXPECT_EQ(isoTime(1796722669123456), "2026-12-08T10:37:49.123+01:00");
    EXPECT_EQ(clockTime(1796722669123456), "10:37:49.123");
    // 2026-07-01 22:30:00.999 UTC: summer, two hours ahead, already the next day.
    EXPECT_EQ(isoTime(1782945000999000), "2026-07-02T00:30:00.999+02:00");
    // Before 1970 the fraction still counts forward within its second (in
    // UTC where the system converts no such time).
    EXPECT_TRUE(isoTime(-1) == "1970-01-01T00:59:59.999+01:00" ||
                isoTime(-1) == "1969-12-31T23:59:59.999+00:00")
        << isoTime(-1);
}

TEST_F(CentralEuropeanTime, AnEventRowIsOneCsvLineThatSpreadsheetsReadAsData) {
    decoders::EventRecord r;
    r.reset(decoders::Protocol::Sm88);
    r.numberA = -3;
    r.numberB = 12;
    r.stateText = "St\xF6rung";
    r.line = "=1+2;\"x\" St\xF6rung \x80";
    r.raw = std::string("\x02\x3A\xFF", 3);
    EXPECT_EQ(csvHeader(),
              "Zeit;Protokoll;Vorzahl;Linie;Melder;Code;Hex;Zusatz;Zustand;Ereignis;Drucktext;Telegramm\r\n");
    // A negative number stays a number; a text that a spreadsheet would run
    // as a formula is protected, then quoted for its ';' and quotes.
    EXPECT_EQ(csvEventLine(r, 1796722669123456),
              "2026-12-08T10:37:49.123+01:00;SM88;;-3;12;;;;St\xC3\xB6rung;\"'=1+2;\"\"x\"\" St\xC3\xB6rung "
              "\xE2\x82\xAC\";;02 3A FF\r\n");
    // Without a time the cell is empty; every byte 0x80-0xFF survives as UTF-8.
    r.reset(decoders::Protocol::SigmaPrn);
    r.printerText = "@\x81\xFF";
    EXPECT_EQ(csvEventLine(r, std::nullopt), ";SIGMAPRN;;;;;;;;;'@\xC2\x81\xC3\xBF;\r\n");
}

}  // namespace
}  // namespace zindra::events
