// Windows-1252 bytes (as the session keeps all text) to Unicode for drawing,
// and back for what the user typed.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace zindra::app {

// How control bytes (0x00-0x1F and 0x7F) are drawn.
enum class Controls {
    Keep,      // as the characters themselves
    Pictures,  // as their control pictures (U+2400-U+241F, U+2421): a received
               // CR or LF stays inside its line instead of breaking it
};

QString fromCp1252(std::string_view bytes, Controls controls = Controls::Keep);

// Characters without a Windows-1252 byte become '?'.  Control pictures turn
// back into the control bytes they stand for.
std::string toCp1252(const QString& text);

}  // namespace zindra::app
