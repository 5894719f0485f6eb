// Every samples/*.TRC replays to the panes written beside it.
#include <gtest/gtest.h>

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
            EXPECT_EQ(r.out, readAll(expected));
            ++compared;
        }
    }
    std::cout << compared << " sample panes compared\n";
}

}  // namespace
}  // namespace zindra::cli
