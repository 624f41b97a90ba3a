#include "util/language.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace plexi {

Language LanguageOfEnvironment() { return LanguageOfLocaleVariables().value_or(Language::kEnglish); }

std::optional<Language> LanguageOfLocaleVariables() {
  static constexpr const char* kVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* name : kVariables) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const bool japanese = std::strncmp(value, "ja", 2) == 0 && (value[2] == '\0' || value[2] == '_' ||
                                                                 value[2] == '.' || value[2] == '@');
    return japanese ? Language::kJapanese : Language::kEnglish;
  }
  return std::nullopt;
}

}  // namespace plexi
