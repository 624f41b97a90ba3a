#include "controls/shell_link.h"

#include <utility>

namespace plexi::controls {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

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
  while (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
  size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1]) && path[start - 1] != ':') --start;
  return StripExtension(path.substr(start));
}

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
  if (!base.empty() && !IsSeparator(base.back())) base += '\\';
  base += name;
  LinkPathChoice choice{base + ".lnk", false};
  if (!keep_existing) return choice;
  for (int k = 1; exists(choice.path); ++k) {
    choice.path = base + "(" + std::to_string(k) + ").lnk";
    choice.numbered = true;
  }
  return choice;
}

bool DesktopShortcutCheck(platform::Settings& settings, const std::string& program_dir,
                          const std::string& exe_path, const std::string& title,
                          ShortcutShell& shell) {
  if (settings.Exists("updatepath")) return false;
  // Best effort: a value that could not be written only means the check
  // runs again at the next start.
  static_cast<void>(settings.WriteText("updatepath", program_dir));

  const std::string desktop = shell.GetPath(kFolderDesktop);
  if (desktop.empty()) return false;
  const std::string link = ChooseLinkPath(desktop, title, false, {}).path;
  if (!shell.FileExists(link)) return false;
  std::string target;
  shell.GetLinkToPath(link, target);
  if (target == exe_path) return false;
  return !shell.CreateLink(exe_path, kFolderDesktop, title, true).empty();
}

}  // namespace plexi::controls
