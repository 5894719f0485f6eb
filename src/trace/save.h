// Writing a trace to files: the pane files with CR LF line ends and the base
// name rule for the companion files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/capture.h"

namespace zindra::trace {

// The chosen path without its extension: the last "." of the file name and
// what follows ("C:\Spur.alt\Anlage.dat" -> "C:\Spur.alt\Anlage").  A dot
// in a folder name is not an extension.
std::string baseName(std::string_view path);

// Writes each line followed by CR LF, bytes as they are (Windows-1252),
// replacing any file of that name.  Throws std::system_error naming the file.
void writeLinesFile(const std::string& path, const std::vector<std::string>& lines);

// The three files of a trace under one base name, the primary record first.
std::vector<std::string> traceFileNames(const std::string& base);

// Whether the three files of `base` can be written, checked before a trace
// so that nothing is traced in vain.  Existing files are left as they are;
// files the check had to create are removed again.  Returns the reason
// ("Cannot create X: No such file or directory") or nothing.
std::optional<std::string> checkTraceFiles(const std::string& base);

// What became of saving a trace: the files written and one message per file
// that was not.
struct SaveReport {
    std::vector<std::string> written;
    std::vector<std::string> errors;
};

// Writes the .TRC (the capture), then the .dat (hex lines) and the .DA1
// (event lines); each is tried even when one before it failed.
SaveReport saveTrace(const std::string& base, CaptureStore& capture, const std::vector<std::string>& hexLines,
                     const std::vector<std::string>& eventLines);

}  // namespace zindra::trace
