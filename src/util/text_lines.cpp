#include "util/text_lines.h"

namespace plexi {

std::vector<std::string> SplitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  bool pending = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(current));
      current.clear();
      pending = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      continue;
    }
    if (c != '\0') current.push_back(c);
    pending = true;
  }
  if (pending) lines.push_back(std::move(current));
  return lines;
}

}  // namespace plexi
