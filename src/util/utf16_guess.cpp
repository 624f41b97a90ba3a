// The portable stand-in for the system's UTF-16 text test. See
// util/utf16_guess.h for the rules it follows.
#include "util/utf16_guess.h"

#include <algorithm>
#include <cstdlib>

namespace plexi {

namespace {

constexpr size_t kUnitsExamined = 256;

struct UnitFacts {
  uint32_t low_variation = 0;   // sum of the changes of the low bytes
  uint32_t high_variation = 0;  // ... and of the high bytes
  bool impossible_unit = false;
  bool null_byte = false;       // a unit with one or two zero bytes
  bool controls = false;        // UTF-16 CR, LF, tab, space, ideographic space
  bool swapped_controls = false;
};

UnitFacts Examine(const uint8_t* data, size_t units) {
  UnitFacts f;
  uint8_t last_low = 0, last_high = 0;
  for (size_t i = 0; i < units; ++i) {
    const uint8_t low = data[2 * i], high = data[2 * i + 1];
    const uint16_t unit = uint16_t(low | high << 8);
    f.low_variation += uint32_t(std::abs(int(low) - int(last_low)));
    f.high_variation += uint32_t(std::abs(int(high) - int(last_high)));
    last_low = low;
    last_high = high;
    if (unit == 0x0000 || unit == 0xFFFE || unit == 0xFFFF || unit == 0x0A0D) f.impossible_unit = true;
    if (low == 0 || high == 0) f.null_byte = true;
    if (unit == 0x000D || unit == 0x000A || unit == 0x0009 || unit == 0x0020 || unit == 0x3000)
      f.controls = true;
    if (unit == 0x0D00 || unit == 0x0A00 || unit == 0x0900 || unit == 0x2000) f.swapped_controls = true;
  }
  return f;
}

}  // namespace

bool PortableIsTextUnicode(const uint8_t* data, size_t length) {
  if (data == nullptr || length < 2) return false;
  const bool odd_length = length % 2 != 0;
  // A final zero byte is taken for a terminator, not for text.
  if (data[length - 1] == 0) --length;
  const size_t units = std::min(length / 2, kUnitsExamined);
  if (units == 0) return false;

  const uint16_t first = uint16_t(data[0] | data[1] << 8);
  if (first == 0xFEFF) return true;
  if (first == 0xFFFE || odd_length) return false;

  const UnitFacts f = Examine(data, units);
  if (f.impossible_unit) return false;
  if (f.swapped_controls || 3 * uint64_t(f.low_variation) < f.high_variation) return false;
  if (f.null_byte) return true;
  return f.controls || 3 * uint64_t(f.high_variation) < f.low_variation;
}

}  // namespace plexi
