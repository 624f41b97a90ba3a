// What a Windows device path names. Shared by the backends and the logic,
// so that a volume is recognised the same way everywhere.
#pragma once
#include <cctype>
#include <string>
#include <string_view>

namespace plexi::platform {

inline bool IsGuid(std::string_view text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash_place = i == 8 || i == 13 || i == 18 || i == 23;
    const bool hex = std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
    if (dash_place ? text[i] != '-' : !hex) return false;
  }
  return true;
}

// "\\.\E:" or "\\?\Volume{GUID}" (also "\\.\", any letter case), with no
// trailing backslash, which would name the volume's root folder instead.
inline bool IsVolumePath(std::string_view path) {
  if (path.size() < 6 || (path.substr(0, 4) != "\\\\.\\" && path.substr(0, 4) != "\\\\?\\")) return false;
  const std::string_view rest = path.substr(4);
  if (rest.size() == 2) return rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]));
  constexpr std::string_view kVolume = "VOLUME{";
  if (rest.size() != kVolume.size() + 37 || rest.back() != '}') return false;
  for (size_t i = 0; i < kVolume.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(rest[i])) != kVolume[i]) return false;
  return IsGuid(rest.substr(kVolume.size(), 36));
}

}  // namespace plexi::platform
