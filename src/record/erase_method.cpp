#include "record/erase_method.h"

namespace plexi {

namespace {

struct MethodNames {
  const char* short_form;
  const char* long_form;
  const char* sentence_form;
};

// One row per method, in the order of their stored numbers.
constexpr MethodNames kMethodNames[] = {
    {"ゼロ", "ゼロ(0x00)", "ゼロ"},
    {"255,ゼロ", "255、ゼロ", "255とゼロ"},
    {"米国陸軍", "米国陸軍方式", "米国陸軍方式"},
    {"ファームウェア消去", "ファームウェア消去", "ファームウェア消去"},
};
// The same in English, for the command-line tool.
constexpr MethodNames kEnglishMethodNames[] = {
    {"zeros", "zeros (0x00)", "zeros"},
    {"0xFF,zeros", "0xFF, zeros", "0xFF and zeros"},
    {"US Army", "US Army method", "the US Army method"},
    {"firmware purge", "firmware purge", "the firmware purge"},
};

}  // namespace

std::string EraseMethodText(int32_t code, MethodTextForm form, Language language) {
  if (!MethodOfCode(code)) return {};
  const MethodNames& names = (language == Language::kEnglish ? kEnglishMethodNames : kMethodNames)[code];
  switch (form) {
    case MethodTextForm::kShort: return names.short_form;
    case MethodTextForm::kLong: return names.long_form;
    case MethodTextForm::kSentence: return names.sentence_form;
  }
  return {};
}

}  // namespace plexi
