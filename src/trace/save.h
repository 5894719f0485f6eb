// Writing a trace to files: the pane files with CR LF line ends and the base
// name rule for the companion files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zindra::trace {

// The chosen path without its extension: the last "." of the file name and
// what follows ("C:\Spur.alt\Anlage.dat" -> "C:\Spur.alt\Anlage").  A dot
// in a folder name is not an extension.
std::string baseName(std::string_view path);

// Writes each line followed by CR LF, bytes as they are (Windows-1252),
// replacing any file of that name.  Throws std::system_error naming the file.
void writeLinesFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace zindra::trace
