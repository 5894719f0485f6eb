#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "trace/capture.h"

namespace zindra::trace {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path tempDir() {
    fs::path d = fs::temp_directory_path() / ("zindra-capture-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
}

TEST(CaptureStore, ChunksAreTakenOnlyWhileTheTotalStaysBelow20000) {
    CaptureStore c;
    std::vector<std::uint8_t> chunk(80, 0x55);
    for (int i = 0; i < 249; ++i) c.append(chunk.data(), 80);  // 19920
    c.append(chunk.data(), 70);                                // 19990
    ASSERT_EQ(c.count(), 19990);
    c.append(chunk.data(), 10);  // 20000 is not below the limit: dropped
    EXPECT_EQ(c.count(), 19990);
    c.append(chunk.data(), 9);
    EXPECT_EQ(c.count(), 19999);
    c.append(chunk.data(), 1);
    EXPECT_EQ(c.count(), 19999);
}

TEST(CaptureStore, SaveWritesExactlyTheBytesAndEmpties) {
    const fs::path dir = tempDir();
    CaptureStore c;
    const std::string data = "UGM\r\n\x02\x00\xFF\x03";
    c.append(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    std::ofstream(dir / "old.TRC") << "previous content that is longer";
    c.save((dir / "old.TRC").string());
    EXPECT_EQ(readFile(dir / "old.TRC"), data);
    EXPECT_EQ(c.count(), 0);

    c.save((dir / "empty.TRC").string());
    EXPECT_TRUE(fs::exists(dir / "empty.TRC"));
    EXPECT_EQ(fs::file_size(dir / "empty.TRC"), 0u);
    fs::remove_all(dir);
}

TEST(CaptureStore, FailedSaveRaisesAndKeepsTheStore) {
    CaptureStore c;
    const std::uint8_t b[3] = {1, 2, 3};
    c.append(b, 3);
    EXPECT_THROW(c.save("/nonexistent-folder/x.TRC"), std::system_error);
    EXPECT_EQ(c.count(), 3);
    EXPECT_THROW(c.save("/dev/full"), std::system_error);
    EXPECT_EQ(c.count(), 3);
    EXPECT_EQ(c.data()[2], 3);
}

}  // namespace
}  // namespace zindra::trace
