#include "util/file_names.h"

#include <utility>

namespace plexi {

std::string FileMogChk(std::string_view name) {
  // In UTF-8 these ASCII bytes never occur inside another character, so a
  // plain byte search is exact.
  static constexpr std::pair<char, std::string_view> kReplacements[] = {
      {'/', "／"}, {'"', "”"}, {':', "："}, {'*', "＊"}, {'<', "＜"},
      {'>', "＞"}, {'?', "？"}, {'\\', "￥"}, {'|', "｜"},
  };
  std::string result(name);
  for (const auto& [plain, wide] : kReplacements) {
    std::string next;
    next.reserve(result.size());
    for (char c : result) {
      if (c == plain) {
        next += wide;
      } else {
        next += c;
      }
    }
    result = std::move(next);
  }
  return result;
}

std::string StripExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string FileTitle(std::string_view path) {
  while (path.size() > 1 && IsPathSeparator(path.back())) path.remove_suffix(1);
  size_t start = path.size();
  while (start > 0 && !IsPathSeparator(path[start - 1]) && path[start - 1] != ':') --start;
  return StripExtension(path.substr(start));
}

}  // namespace plexi
