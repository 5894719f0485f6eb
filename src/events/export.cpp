#include "events/export.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>

#include "events/event_row.h"

#ifdef _WIN32
#include <process.h>
#define ZINDRA_GETPID _getpid
#else
#include <unistd.h>
#define ZINDRA_GETPID getpid
#endif

namespace zindra::events {
namespace {

std::error_code lastError() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

// ---- CSV and JSON Lines: the shared row shape of event_row.h ----

class CsvWriter final : public EventWriter {
public:
    std::string begin() override { return std::string(CsvBom) + csvHeader(); }
    std::string event(const EventView& e) override { return csvEventLine(e); }
};

void appendJsonString(std::string& out, std::string_view s) {
    static constexpr char Digits[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (b < 0x20 || b == 0x7F) {
                    out += "\\u00";
                    out.push_back(Digits[b >> 4]);
                    out.push_back(Digits[b & 0x0F]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
}

class JsonLinesWriter final : public EventWriter {
public:
    std::string begin() override { return {}; }
    std::string event(const EventView& e) override { return jsonEventLine(e); }
};

// ---- pcapng ----
// Little-endian blocks: a section header, one interface of link type
// RTAC serial (250), one enhanced packet block per event.  Wireshark's
// RTAC serial dissector expects each packet to start with a 12-byte
// header: arrival time as big-endian seconds and microseconds, an event
// type (2: data received), the control lines and a 2-byte footer.

constexpr std::uint16_t LinkTypeRtacSerial = 250;
constexpr std::uint8_t RtacDataReceived = 0x02;

void put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void put32be(std::string& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void pad4(std::string& out) {
    while (out.size() % 4 != 0) out.push_back('\0');
}
void putOption(std::string& body, std::uint16_t code, std::string_view value) {
    put16(body, code);
    put16(body, static_cast<std::uint16_t>(value.size()));
    body.append(value);
    pad4(body);
}
void endOptions(std::string& body) { put32(body, 0); }

std::string block(std::uint32_t type, const std::string& body) {
    std::string out;
    const auto total = static_cast<std::uint32_t>(body.size() + 12);
    put32(out, type);
    put32(out, total);
    out += body;
    put32(out, total);
    return out;
}

// An option value holds at most 65535 bytes; a longer comment is cut at a
// character boundary.
std::string_view optionText(std::string_view s) {
    constexpr std::size_t Max = 65535;
    if (s.size() <= Max) return s;
    std::size_t n = Max;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

class PcapngWriter final : public EventWriter {
public:
    explicit PcapngWriter(ExportOptions options) : options_(std::move(options)) {}

    std::string begin() override {
        std::string shb;
        put32(shb, 0x1A2B3C4D);
        put16(shb, 1);
        put16(shb, 0);
        put32(shb, 0xFFFFFFFF);  // section length unknown
        put32(shb, 0xFFFFFFFF);
        std::string comment = "Zindra: Ereignisse";
        if (!options_.source.empty()) comment += " aus " + options_.source;
        comment += options_.timesAreByteOffsets
                       ? ". Die Datei hat keine Zeiten: die Zeit eines Pakets ist eine Byte-Position in der "
                         "Datei (1 s = 1 Byte), das Ende des 80-Byte-Blocks, mit dem das Telegramm "
                         "vollst\xC3\xA4ndig "
                         "wurde."
                       : ". Zeiten: Empfangszeit (UTC); ein Ereignis ohne Zeit hat die Zeit 0.";
        putOption(shb, 1, optionText(comment));  // opt_comment
        putOption(shb, 4, "Zindra");             // shb_userappl
        endOptions(shb);

        std::string idb;
        put16(idb, LinkTypeRtacSerial);
        put16(idb, 0);
        put32(idb, 0);              // no snap length limit
        putOption(idb, 2, "FAT");   // if_name
        putOption(idb, 9, "\x06");  // if_tsresol: microseconds
        endOptions(idb);
        return block(0x0A0D0D0A, shb) + block(1, idb);
    }

    std::string event(const EventView& e) override {
        const std::int64_t t = std::max<std::int64_t>(0, e.time.value_or(0));
        const auto seconds = static_cast<std::uint64_t>(t / 1000000);
        const auto micros = static_cast<std::uint32_t>(t % 1000000);
        std::string packet;
        put32be(packet, static_cast<std::uint32_t>(seconds));
        put32be(packet, micros);
        packet.push_back(static_cast<char>(RtacDataReceived));
        packet.push_back('\0');  // control lines
        packet.append(2, '\0');  // footer
        packet.append(e.raw);

        std::string epb;
        put32(epb, 0);  // interface
        const auto ts = static_cast<std::uint64_t>(t);
        put32(epb, static_cast<std::uint32_t>(ts >> 32));
        put32(epb, static_cast<std::uint32_t>(ts & 0xFFFFFFFF));
        put32(epb, static_cast<std::uint32_t>(packet.size()));
        put32(epb, static_cast<std::uint32_t>(packet.size()));
        epb += packet;
        pad4(epb);
        const std::string comment = utf8FromCp1252(e.shownText());
        if (!comment.empty()) putOption(epb, 1, optionText(comment));
        endOptions(epb);
        return block(6, epb);
    }

private:
    ExportOptions options_;
};

}  // namespace

std::string jsonEventLine(const EventView& e) {
    const std::vector<std::string> cells = eventCells(e);
    std::string out = "{";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) out.push_back(',');
        appendJsonString(out, ColumnNames[i]);
        out.push_back(':');
        if (cells[i].empty() && (isNumberColumn(i) || i == TimeColumn)) {
            out += "null";
        } else if (isNumberColumn(i)) {
            out += cells[i];
        } else {
            appendJsonString(out, cells[i]);
        }
    }
    out += "}\n";
    return out;
}

std::optional<ExportFormat> exportFormatNamed(std::string_view name) {
    if (name == "csv") return ExportFormat::Csv;
    if (name == "jsonl") return ExportFormat::JsonLines;
    if (name == "pcapng") return ExportFormat::Pcapng;
    return std::nullopt;
}

std::string_view exportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Csv: return "csv";
        case ExportFormat::JsonLines: return "jsonl";
        case ExportFormat::Pcapng: return "pcapng";
    }
    return "csv";
}

std::string_view exportSuffix(ExportFormat format) {
    switch (format) {
        case ExportFormat::Csv: return ".csv";
        case ExportFormat::JsonLines: return ".jsonl";
        case ExportFormat::Pcapng: return ".pcapng";
    }
    return ".csv";
}

std::unique_ptr<EventWriter> makeEventWriter(ExportFormat format, const ExportOptions& options) {
    switch (format) {
        case ExportFormat::Csv: return std::make_unique<CsvWriter>();
        case ExportFormat::JsonLines: return std::make_unique<JsonLinesWriter>();
        case ExportFormat::Pcapng: return std::make_unique<PcapngWriter>(options);
    }
    return std::make_unique<CsvWriter>();
}

StreamingExport::StreamingExport(ExportFormat format, ExportOptions options, Sink sink)
    : writer_(makeEventWriter(format, options)),
      // Only pcapng needs a time for every packet; the other formats leave it empty.
      offsetTimes_(options.timesAreByteOffsets && format == ExportFormat::Pcapng),
      sink_(std::move(sink)) {
    put(writer_->begin(), false);
}

void StreamingExport::onEvent(const decoders::EventRecord& record, trace::ChunkTime time) {
    if (!time && offsetTimes_) time = static_cast<std::int64_t>(position_) * 1000000;
    put(writer_->event(viewOf(record, time)), false);
    ++events_;
}

void StreamingExport::finish() { put(writer_->end(), true); }

void StreamingExport::put(std::string bytes, bool force) {
    if (failed_) return;
    buffer_ += bytes;
    if (buffer_.size() < (1 << 16) && !force) return;
    if (!buffer_.empty() && !sink_(buffer_)) failed_ = true;
    buffer_.clear();
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    // Beside the final file, so the rename stays on one file system; a name
    // no other writer uses.
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    temp_ = path_ + ".tmp-" + std::to_string(ZINDRA_GETPID()) + "-" + std::to_string(stamp % 1000000) + "-" +
            std::to_string(counter++);
    errno = 0;
    file_ = std::fopen(temp_.c_str(), "wb");
    if (!file_) error_ = lastError();
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::write(std::string_view bytes) {
    if (error_ || !file_) return false;
    errno = 0;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        error_ = lastError();
        return false;
    }
    return true;
}

std::error_code AtomicFile::commit() {
    if (error_ || !file_) return error_ ? error_ : std::make_error_code(std::errc::bad_file_descriptor);
    errno = 0;
    const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
    if (!flushed) error_ = lastError();
    errno = 0;
    if (std::fclose(file_) != 0 && !error_) error_ = lastError();
    file_ = nullptr;
    if (!error_) {
        std::error_code ec;
        std::filesystem::rename(temp_, path_, ec);
        if (ec) error_ = ec;
    }
    if (error_) {
        std::remove(temp_.c_str());
        return error_;
    }
    committed_ = true;
    return {};
}

void AtomicFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!committed_ && !temp_.empty()) {
        std::remove(temp_.c_str());
        temp_.clear();
    }
}

ExportResult exportToFile(const std::string& path, ExportFormat format, const EventStore& store,
                          const std::vector<std::uint32_t>* rows, const ExportOptions& options,
                          const std::function<bool(std::size_t, std::size_t)>& progress) {
    ExportResult result;
    AtomicFile file(path);
    const std::unique_ptr<EventWriter> writer = makeEventWriter(format, options);
    const std::size_t total = rows ? rows->size() : store.size();
    std::string buffer = writer->begin();
    constexpr std::size_t Flush = 1 << 16;
    for (std::size_t i = 0; i < total && !file.error(); ++i) {
        if (progress && i % 65536 == 0 && !progress(i, total)) {
            result.cancelled = true;
            return result;
        }
        buffer += writer->event(store.at(rows ? (*rows)[i] : i));
        ++result.events;
        if (buffer.size() >= Flush) {
            file.write(buffer);
            buffer.clear();
        }
    }
    buffer += writer->end();
    file.write(buffer);
    result.error = file.commit();
    if (!result.error && progress) progress(total, total);
    return result;
}

}  // namespace zindra::events
