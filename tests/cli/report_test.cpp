// zindra-cli report: one HTML page from a recording, whose numbers are those
// of the CSV export of the same recording, and which a browser renders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "cli/live_support.h"
#include "events/event_row.h"
#include "events/kinds.h"
#include "recording/recorder.h"
#include "support/run_cli.h"

namespace zindra::cli {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::runCli;

struct Report : testing::TempDirTest {
    // A recording of the SDN sample's telegrams over ten minutes, with a gap.
    std::string makeRecording() {
        const std::string sample = readAll(ZINDRA_SAMPLES_DIR "/sdn.TRC");
        const std::int64_t t0 = 1796767200LL * 1000000;
        recording::Recorder rec(recording::RecorderOptions{path("rec"), "COM3", "Zindra test"}, t0);
        const auto chunk = [&](const std::string& bytes, std::int64_t t) {
            for (std::size_t at = 0; at < bytes.size(); at += 80) {
                const std::string piece = bytes.substr(at, 80);
                rec.onChunk(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size(), t);
            }
        };
        chunk(sample, t0 + 1000000);
        const std::string body = sample.substr(sample.find('\n') + 1);
        for (int m = 1; m < 10; ++m) chunk(body, t0 + m * 60000000LL);
        rec.gapBegan(t0 + 9 * 60000000LL + 1);
        rec.gapEnded(t0 + 9 * 60000000LL + 30000000);
        rec.finish("Stopp", t0 + 10 * 60000000LL);
        return rec.folder();
    }
};

// The numbers of the kind table in the page: Alarm, Störung, Abschaltung,
// Andere, Zusammen.
std::vector<std::string> kindRow(const std::string& html) {
    std::vector<std::string> cells;
    std::size_t at = html.find("<th>Zusammen</th></tr>\n<tr>");
    for (int i = 0; i < 5 && at != std::string::npos; ++i) {
        at = html.find("<td class=\"n\">", at);
        if (at == std::string::npos) break;
        at += 14;
        cells.push_back(html.substr(at, html.find('<', at) - at));
    }
    return cells;
}

TEST_F(Report, TheReportsNumbersAreThoseOfTheCsvExportAndABrowserRendersIt) {
    const std::string folder = makeRecording();
    const auto r = runCli({"report", folder, "--output", path("bericht.html")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string html = readAll(path("bericht.html"));

    // Count the CSV export's rows by kind, as the event list colours them.
    const auto csv = runCli({"replay", "--format", "csv", folder});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const events::KindTable kinds = events::KindTable::defaults();
    std::map<events::EventKind, std::size_t> byKind;
    std::size_t rows = 0;
    std::size_t pos = csv.out.find("\r\n") + 2;  // after the header
    for (std::size_t end; (end = csv.out.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
        const std::string row = csv.out.substr(pos, end - pos);
        std::vector<std::string> cells;
        for (std::size_t a = 0, b; a <= row.size(); a = b + 1) {
            b = row.find(';', a);
            if (b == std::string::npos) b = row.size();
            cells.push_back(row.substr(a, b - a));
        }
        ASSERT_GT(cells.size(), 8u) << row;
        if (cells[8] == "Unterbrechung") continue;  // a gap's row: the report counts gaps apart
        ++byKind[kinds.kindOf(events::cp1252FromText(cells[8]).value_or(""))];
        ++rows;
    }
    ASSERT_GE(rows, 100u);
    const auto german = [](std::size_t n) {
        std::string s = std::to_string(n);
        for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3)
            s.insert(static_cast<std::size_t>(i), ".");
        return s;
    };
    EXPECT_EQ(
        kindRow(html),
        (std::vector<std::string>{
            german(byKind[events::EventKind::Alarm]), german(byKind[events::EventKind::Fault]),
            german(byKind[events::EventKind::Off]), german(byKind[events::EventKind::Other]), german(rows)}));
    EXPECT_NE(html.find("<tr><th>Ereignisse</th><td>" + german(rows) + "</td></tr>"), std::string::npos);
    EXPECT_NE(html.find("<tr><th>Schnittstelle</th><td>COM3</td></tr>"), std::string::npos);
    EXPECT_NE(html.find("<tr><th>Unterbrechungen</th><td>1</td></tr>"), std::string::npos);
    EXPECT_NE(html.find("<svg"), std::string::npos);

    // Rendered by a browser as it is, nothing fetched: a screenshot that is
    // not blank.
    if (!fs::exists("/usr/bin/chromium"))
        GTEST_SKIP() << "Debian's chromium is not installed (./test.sh installs it)";
    const std::string shot = path("bericht.png");
    const std::string command =
        "timeout 60 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync --user-data-dir=" +
        path("chromium") + " --window-size=1000,1200 --screenshot=" + shot + " file://" +
        path("bericht.html") + " >" + path("chromium.log") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readAll(path("chromium.log"));
    // Distinct colours in the picture: a blank page has one.
    const std::string count =
        "python3 -c \"import sys,zlib,struct;d=open(sys.argv[1],'rb').read();"
        "i=d.find(b'IDAT');print(len(set(zlib.decompress(b''.join(d[p+8:p+8+struct.unpack('>I',d[p:p+4])[0]] "
        "for p in [j-4 for j in range(len(d)) if d[j:j+4]==b'IDAT'])))))\" " +
        shot + " >" + path("colours.txt");
    ASSERT_EQ(std::system(count.c_str()), 0);
    EXPECT_GT(std::stoi(readAll(path("colours.txt"))), 20);
}

}  // namespace
}  // namespace zindra::cli
