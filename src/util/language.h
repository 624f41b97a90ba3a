// The language plexiscrub-cli and its terminal view speak: the user's
// locale decides, as the C library would (LC_ALL, then LC_MESSAGES, then
// LANG; the first that is set and not empty).
#pragma once
#include <optional>

namespace plexi {

enum class Language { kEnglish, kJapanese };

// Japanese when the locale named by the environment is a Japanese one
// ("ja", "ja_JP.UTF-8", ...), English otherwise (unset, "C", "POSIX", ...).
Language LanguageOfEnvironment();
// The same, nothing when none of the three is set: a system that keeps a
// language of its own (Windows) then has the say.
std::optional<Language> LanguageOfLocaleVariables();

// The text of the two that `language` reads.
inline const char* InLanguage(Language language, const char* english, const char* japanese) {
  return language == Language::kJapanese ? japanese : english;
}

}  // namespace plexi
