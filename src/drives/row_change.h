// The 11-byte message that tells the other running copies of the program that
// a row changed: an erase result or a drive's forbidden state.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace plexi {

struct RowChangeMessage {
  static constexpr size_t kSize = 11;
  // Change kinds.
  static constexpr uint8_t kEraseResult = 0;
  static constexpr uint8_t kForbiddenState = 1;

  bool partition_view = false;  // the sender's view
  uint8_t row_index = 0;        // row in the sender's list, low 8 bits
  uint8_t kind = kEraseResult;
  uint8_t value = 0;        // erase result: method code; forbidden state: 1 forbidden, 0 allowed
  uint8_t record_kind = 0;  // erase result only: record kind after the erase

  // "QandZ" NUL, view (1 partition, 0 physical), row, kind, value, record kind.
  std::array<uint8_t, kSize> Encode() const;
  // The bytes come from another process: anything that is not exactly one
  // well-formed message is refused.
  static std::optional<RowChangeMessage> Decode(const void* bytes, size_t length);

  bool operator==(const RowChangeMessage&) const = default;
};

}  // namespace plexi
