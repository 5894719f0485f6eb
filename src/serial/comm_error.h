// The exception of the serial port component and its message formatting.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zindra::serial {

// Every failure of the serial port component is reported with this type.
class CommError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fills a message pattern: "%d" becomes `code`, "%s" becomes `text`, "%%"
// becomes "%".  Any other '%' sequence is kept as it stands, so a pattern
// without placeholders comes back unchanged.
std::string formatCommMessage(std::string_view pattern, int code, std::string_view text);

// Doubles every '%' so that `text` passes formatCommMessage unchanged.
std::string escapePercent(std::string_view text);

// The system's description of an error, with trailing blanks, control
// characters and full stops removed.
std::string trimErrorText(std::string text);

}  // namespace zindra::serial
