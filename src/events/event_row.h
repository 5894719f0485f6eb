// One event as a row of named cells: the shared shape of every place events
// leave the program as data (the recording's event file, CSV and JSON Lines
// exports).  Cells are UTF-8; the session's Windows-1252 texts are converted.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/event_record.h"
#include "events/event_view.h"
#include "trace/routing.h"

namespace zindra::events {

// The columns, in order, as the CSV header names them.
inline constexpr std::array<std::string_view, 12> ColumnNames = {
    "Zeit",       // isoTime of the chunk that completed the event; empty without a time
    "Protokoll",  // protocolName
    "Vorzahl",    // leadNumber
    "Linie",      // numberA
    "Melder",     // numberB
    "Code",       // stateCode, decimal
    "Hex",        // stateHex
    "Zusatz",     // qualifier, decimal
    "Zustand",    // stateText
    "Ereignis",   // the event line, as the event pane shows it
    "Drucktext",  // printerText
    "Telegramm",  // raw, as hex bytes separated by spaces
};

enum Column : std::size_t {
    TimeColumn,
    ProtocolColumn,
    LeadColumn,
    LinieColumn,
    MelderColumn,
    CodeColumn,
    HexColumn,
    QualifierColumn,
    StateColumn,
    LineColumn,
    PrinterColumn,
    RawColumn,
};

// Windows-1252 bytes as UTF-8 (the five unassigned bytes keep their C1 code
// points, so nothing is lost).
std::string utf8FromCp1252(std::string_view bytes);

// Text a person typed (a filter, a table in ZINDRA.INI) as the Windows-1252
// bytes of the events' texts.  UTF-8 is converted; bytes that are not UTF-8
// are taken as Windows-1252 already.  Empty when the text holds a character
// Windows-1252 does not have.
std::optional<std::string> cp1252FromText(std::string_view text);

// A byte string in a printable form for messages and one-line fields: \r,
// \n, \t, the backslash and other control or non-ASCII bytes escaped (\xNN).
std::string printable(std::string_view bytes);

// "02 3A FF": bytes as two hex digits each, separated by single spaces.
std::string hexBytes(std::string_view bytes);

// The cells of one event; numbers a record does not have stay empty.
std::vector<std::string> eventCells(const EventView& event);
inline std::vector<std::string> eventCells(const decoders::EventRecord& record, trace::ChunkTime time) {
    return eventCells(viewOf(record, time));
}

// Which cells hold numbers (written as they are, never quoted or protected).
bool isNumberColumn(std::size_t column);

// One CSV line as German spreadsheets read it: cells separated by ';',
// quoted ("" for a quote) when they hold ';', a quote or a line break, and a
// text cell starting with = + - @ TAB or CR gets a leading ' so that no
// spreadsheet runs it as a formula.  Ends with CR LF.
std::string csvLine(const std::vector<std::string>& cells, const std::vector<bool>& numeric = {});

// The header line and one event's line; the file starts with the UTF-8
// byte order mark (CsvBom) so that spreadsheets pick the encoding.
inline constexpr std::string_view CsvBom = "\xEF\xBB\xBF";
std::string csvHeader();
std::string csvEventLine(const EventView& event);
inline std::string csvEventLine(const decoders::EventRecord& record, trace::ChunkTime time) {
    return csvEventLine(viewOf(record, time));
}

}  // namespace zindra::events
