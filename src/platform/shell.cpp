#include "platform/shell.h"

#include "util/file_names.h"

namespace plexi::platform {

std::string LinkFileName(std::string_view link_name, std::string_view target,
                         bool target_is_directory) {
  std::string name = FileMogChk(link_name);
  if (name.empty()) name = FileTitle(target);
  if (!target_is_directory) name = StripExtension(name);
  return name;
}

LinkPathChoice ChooseLinkPath(std::string_view folder, std::string_view name, bool keep_existing,
                              const std::function<bool(const std::string&)>& exists) {
  std::string base(folder);
  if (!base.empty() && !IsPathSeparator(base.back())) base += '\\';
  base += name;
  LinkPathChoice choice{base + ".lnk", false};
  if (!keep_existing) return choice;
  for (int k = 1; exists(choice.path); ++k) {
    choice.path = base + "(" + std::to_string(k) + ").lnk";
    choice.numbered = true;
  }
  return choice;
}

}  // namespace plexi::platform
