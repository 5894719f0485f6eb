// ZINDRA.INI: the window size and the serial device kept between runs.
#pragma once

#include <QSize>
#include <QString>
#include <string>
#include <utility>
#include <vector>

namespace zindra::app {

struct Config {
    static constexpr int DefaultHeight = 480;
    static constexpr int DefaultWidth = 640;
    static constexpr const char* DefaultDevice = "Com2";

    std::string deviceName = DefaultDevice;  // "Port" / "Nummer"
    int height = DefaultHeight;              // "DeskTop" / "Height", outer pixels
    int width = DefaultWidth;                // "DeskTop" / "Width"
};

// ZINDRA.INI in the user's configuration folder for this program
// ($XDG_CONFIG_HOME/Zindra on Linux, so a run can be pointed elsewhere).
QString configFilePath();

// Reads the file; a missing file, section or key gives that key's default,
// and so does a size that is no number, not above 0 or above maxSize (a
// window nobody could use).  Never fails.
Config loadConfig(const QString& path, QSize maxSize);

// Writes Height, Width and Nummer, in that order, creating the folder when
// needed.  False when the file could not be written.
bool saveConfig(const QString& path, const Config& config);

// The "key=value" lines of one section, in the file's order, with the keys
// as written and values as the profile functions give them (without one pair
// of quotes around them), read as UTF-8 where they are, else as
// Windows-1252; empty when the file or the section is missing.
using IniPairs = std::vector<std::pair<QString, QString>>;
IniPairs loadSection(const QString& path, const char* section);

// Makes pairs the section's keys: the section's old keys go, the rest of the
// file (other sections, comments) stays.  A pair whose key (as written) and
// value the section has already keeps that line byte for byte; a new value
// is written in Windows-1252, or in UTF-8 in a file that is UTF-8 or for a
// text Windows-1252 cannot hold.  An unchanged file is not written.  False
// when the file could not be written.
bool saveSection(const QString& path, const char* section, const IniPairs& pairs);

}  // namespace zindra::app
