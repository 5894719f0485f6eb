// What the recording layer says (English, as zindra-cli prints it) as the
// window says it: in German.  File names, numbers and times stay as they are.
#pragma once

#include <QString>
#include <string>

namespace zindra::app {

QString germanRecordingText(const std::string& english);

}  // namespace zindra::app
