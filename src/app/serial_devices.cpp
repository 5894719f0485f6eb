#include "app/serial_devices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

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

#ifndef _WIN32
// tty name -> its by-id paths.
std::map<std::string, std::vector<std::string>> byIdNames(const fs::path& byIdDir) {
    std::map<std::string, std::vector<std::string>> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(byIdDir, ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        if (linkError) continue;
        names[target.filename().string()].push_back(entry.path().string());
    }
    for (auto& [tty, paths] : names) std::sort(paths.begin(), paths.end());
    return names;
}
#endif

}  // namespace

std::vector<std::string> comPortsAfterCom9(const std::vector<std::string>& names) {
    std::vector<std::string> ports;
    for (const std::string& name : names) {
        if (!startsWith(name, "COM") || name.size() < 5 || name.size() > 8) continue;
        if (!std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
        if (name[3] == '0') continue;
        if (std::find(ports.begin(), ports.end(), name) == ports.end()) ports.push_back(name);
    }
    std::sort(ports.begin(), ports.end(), naturalLess);
    return ports;
}

#ifdef _WIN32

std::vector<std::string> scanSerialDevices() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD valueNameLength = 256;
        wchar_t data[64] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t);  // room for a final zero
        DWORD type = 0;
        const LONG r = RegEnumValueW(key, i, valueName, &valueNameLength, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        std::string name;
        for (const wchar_t* c = data; *c != 0 && c < data + dataBytes / sizeof(wchar_t); ++c) {
            name.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
        }
        names.push_back(name);
    }
    RegCloseKey(key);
    return comPortsAfterCom9(names);
}

#else

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

    const auto byId = byIdNames(fs::path(devDir) / "serial" / "by-id");
    std::vector<std::string> paths;
    std::sort(names.begin(), names.end(), naturalLess);
    for (const std::string& name : names) {
        const fs::path node = fs::path(devDir) / name;
        std::error_code nodeError;
        if (!fs::exists(node, nodeError)) continue;
        paths.push_back(node.string());
        if (const auto links = byId.find(name); links != byId.end()) {
            paths.insert(paths.end(), links->second.begin(), links->second.end());
        }
    }
    return paths;
}

#endif

}  // namespace zindra::app
