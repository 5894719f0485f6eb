#include "app/serial_devices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace zindra::app {
namespace {

namespace fs = std::filesystem;

// "ttyUSB2" before "ttyUSB10".
bool naturalLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])) != 0) --i;
        const std::string digits = s.substr(i);
        return std::make_pair(s.substr(0, i), digits.empty() ? -1L : std::stol(digits.substr(0, 9)));
    };
    return split(a) < split(b);
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

std::vector<std::string> scanSerialDevices(const std::string& ttyClassDir, const std::string& devDir) {
    std::vector<std::string> names;
    std::error_code ec;
    if (fs::is_directory(ttyClassDir, ec)) {
        for (const auto& entry : fs::directory_iterator(ttyClassDir, ec)) {
            const std::string name = entry.path().filename().string();
            if (startsWith(name, "ttyS")) continue;
            std::error_code linkError;
            if (!fs::exists(entry.path() / "device", linkError)) continue;
            names.push_back(name);
        }
    } else {
        for (const auto& entry : fs::directory_iterator(devDir, ec)) {
            const std::string name = entry.path().filename().string();
            if (startsWith(name, "ttyUSB") || startsWith(name, "ttyACM") || startsWith(name, "ttyAMA") ||
                startsWith(name, "rfcomm")) {
                names.push_back(name);
            }
        }
    }

    std::vector<std::string> paths;
    std::sort(names.begin(), names.end(), naturalLess);
    for (const std::string& name : names) {
        const fs::path node = fs::path(devDir) / name;
        std::error_code nodeError;
        if (fs::exists(node, nodeError)) paths.push_back(node.string());
    }
    return paths;
}

}  // namespace zindra::app
