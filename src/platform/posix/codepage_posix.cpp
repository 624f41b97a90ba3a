// Outside Windows the system's text files are UTF-8 already.
#include "platform/platform.h"

namespace plexi::platform {

std::string Utf8ToAnsi(const std::string& utf8) { return utf8; }
std::string AnsiToUtf8(const std::string& ansi) { return ansi; }
std::string Utf8ToFileText(const std::string& utf8) { return utf8; }
std::string FileTextToUtf8(const std::string& text) { return text; }

}  // namespace plexi::platform
