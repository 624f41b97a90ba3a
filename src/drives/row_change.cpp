#include "drives/row_change.h"

#include <cstring>

#include "drives/drive_types.h"
#include "record/erase_record.h"

namespace plexi {

namespace {

constexpr uint8_t kSignature[6] = {'Q', 'a', 'n', 'd', 'Z', 0};

enum Offset : size_t { kView = 6, kRow = 7, kKind = 8, kValue = 9, kRecordKind = 10 };

}  // namespace

std::array<uint8_t, RowChangeMessage::kSize> RowChangeMessage::Encode() const {
  std::array<uint8_t, kSize> out{};
  std::memcpy(out.data(), kSignature, sizeof kSignature);
  out[kView] = partition_view ? 1 : 0;
  out[kRow] = row_index;
  out[kKind] = kind;
  out[kValue] = value;
  out[kRecordKind] = kind == kForbiddenState ? 0 : record_kind;
  return out;
}

std::optional<RowChangeMessage> RowChangeMessage::Decode(const void* bytes, size_t length) {
  if (bytes == nullptr || length != kSize) return std::nullopt;
  const auto* in = static_cast<const uint8_t*>(bytes);
  if (std::memcmp(in, kSignature, sizeof kSignature) != 0) return std::nullopt;
  // The receiver compares the view with its own; a byte that is neither view
  // must not be taken for one of them.
  if (in[kView] > 1) return std::nullopt;
  // Only the two changes and the three record kinds this program sends; a
  // row must never take a kind no record of ours has.
  if (in[kKind] > kForbiddenState || in[kRecordKind] > uint8_t(RecordKind::kComplete)) return std::nullopt;
  RowChangeMessage message;
  message.partition_view = in[kView] == 1;
  message.row_index = in[kRow];
  message.kind = in[kKind];
  message.value = in[kValue];
  message.record_kind = in[kRecordKind];
  return message;
}

}  // namespace plexi
