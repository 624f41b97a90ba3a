#include "util/language.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace plexi {

Language LanguageOfEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const bool japanese = std::strncmp(value, "ja", 2) == 0 && (value[2] == '\0' || value[2] == '_' ||
                                                                 value[2] == '.' || value[2] == '@');
    return japanese ? Language::kJapanese : Language::kEnglish;
  }
  return Language::kEnglish;
}

}  // namespace plexi
