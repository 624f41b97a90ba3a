// File names and paths as text: no file is touched.
#pragma once
#include <string>
#include <string_view>

namespace plexi {

// "\" or "/".
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Characters that file names cannot hold, replaced by their full-width
// forms: / " : * < > ? \ |
std::string FileMogChk(std::string_view name);

// Everything from the last "." on removed.
std::string StripExtension(std::string_view name);
// The final component of a path, without its extension.
std::string FileTitle(std::string_view path);

}  // namespace plexi
