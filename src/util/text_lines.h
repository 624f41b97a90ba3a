// Lines of the small text files the program keeps beside itself (the error
// log, the protection list).
#pragma once
#include <string>
#include <vector>

namespace plexi {

// Splits text the way a text editor does: CR LF, a lone CR or a lone LF ends
// a line, and a final line break adds no empty line. NUL bytes of a damaged
// file are dropped: the lines later pass through C-string APIs.
std::vector<std::string> SplitTextLines(const std::string& text);

}  // namespace plexi
