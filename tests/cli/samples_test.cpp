// Every samples/*.TRC replays to the panes written beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_cli.h"

namespace zindra::cli {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::runCli;

std::vector<fs::path> samples() {
    std::vector<fs::path> v;
    for (const auto& e : fs::directory_iterator(ZINDRA_SAMPLES_DIR)) {
        if (e.path().extension() == ".TRC") v.push_back(e.path());
    }
    std::sort(v.begin(), v.end());
    return v;
}

// Where two pane texts part, with a few bytes of each around it: the panes
// run to thousands of lines, too long to print whole.
std::string firstDifference(const std::string& got, const std::string& want) {
    const auto at = static_cast<std::size_t>(
        std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin());
    const std::size_t from = at < 40 ? 0 : at - 40;
    return "got " + std::to_string(got.size()) + " bytes, expected " + std::to_string(want.size()) +
           "; they part at byte " + std::to_string(at) + ":\n  got      \"" + got.substr(from, 80) +
           "\"\n  expected \"" + want.substr(std::min(from, want.size()), 80) + "\"";
}

TEST(Samples, EveryTraceReplaysToItsExpectedPanes) {
    int compared = 0;
    for (const fs::path& trc : samples()) {
        for (const auto& [pane, ext] : {std::pair{"hex", ".hex"}, {"text", ".txt"}, {"event", ".evt"}}) {
            fs::path expected = trc;
            expected.replace_extension(ext);
            if (!fs::exists(expected)) continue;
            SCOPED_TRACE(trc.filename().string() + " " + pane);
            const auto r = runCli({"replay", "--pane", pane, trc.string()});
            EXPECT_EQ(r.status, 0) << r.err;
            const std::string want = readAll(expected);
            EXPECT_TRUE(r.out == want) << firstDifference(r.out, want);
            ++compared;
        }
    }
    std::cout << compared << " sample panes compared\n";
}

}  // namespace
}  // namespace zindra::cli
