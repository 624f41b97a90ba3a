// The erase methods and their names. A method is stored as its number (0 to
// 3) in the first-sector record and passed so to the other running copies;
// those numbers are converted here, where they are read or written, and
// every text that names a method comes from the one table in the .cpp.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "util/language.h"

namespace plexi {

enum class OverwriteMethod : int32_t {
  kZeros = 0,              // one pass of zeros
  kFfThenZeros = 1,        // 0xFF, then zeros
  kRandomFfThenZeros = 2,  // random bytes, 0xFF, then zeros (the US Army method)
  // The drive's own purge command (sanitize, format or secure erase); the
  // program writes one zero pass after it only where the drive does not
  // promise zeros.
  kFirmwarePurge = 3,
};

// The stored number of a method, and the method a stored number names.
constexpr int32_t MethodCode(OverwriteMethod method) { return static_cast<int32_t>(method); }
constexpr std::optional<OverwriteMethod> MethodOfCode(int32_t code) {
  if (code < 0 || code > 3) return std::nullopt;
  return static_cast<OverwriteMethod>(code);
}

// The overwrite passes of a method; the last one writes zeros. The firmware
// purge has none of its own: its zero pass, when one is needed, is the
// first method's pass.
constexpr int32_t WritePassCount(OverwriteMethod method) {
  return method == OverwriteMethod::kFirmwarePurge ? 0 : MethodCode(method) + 1;
}

// Whether an interrupted erase of this method can go on from where it
// stopped. A purge cannot: the drive finishes (or restarts) its own command
// after a power loss, and the program starts the erase again.
constexpr bool MethodResumable(OverwriteMethod method) { return method != OverwriteMethod::kFirmwarePurge; }

// Where a method's name is shown: the list column (short), the
// confirmation dialog's choice and the reports (long), and the sentence of
// the re-erase question ("…で消去が完了したドライブです。").
enum class MethodTextForm { kShort, kLong, kSentence };

// The name of the method a stored number names; empty for a number that
// names none.
std::string EraseMethodText(int32_t code, MethodTextForm form = MethodTextForm::kShort,
                            Language language = Language::kJapanese);

}  // namespace plexi
