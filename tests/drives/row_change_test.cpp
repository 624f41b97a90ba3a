// The message between running copies: its exact bytes, and that a payload
// from another process is taken only when it is one well-formed message.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "drives/row_change.h"

namespace plexi {
namespace {

TEST(RowChangeMessage, EncodesTheElevenBytesAndDecodesThemBack) {
  RowChangeMessage erase_result{.partition_view = true, .row_index = 3, .kind = 0, .value = 2,
                                .record_kind = 1};
  const std::array<uint8_t, 11> bytes = erase_result.Encode();
  const std::array<uint8_t, 11> expected = {'Q', 'a', 'n', 'd', 'Z', 0, 1, 3, 0, 2, 1};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(RowChangeMessage::Decode(bytes.data(), bytes.size()), erase_result);

  // A forbidden-state change leaves the last byte 0 whatever the field holds.
  RowChangeMessage forbidden{.partition_view = false, .row_index = 0xFF, .kind = 1, .value = 1,
                             .record_kind = 9};
  const std::array<uint8_t, 11> forbidden_bytes = {'Q', 'a', 'n', 'd', 'Z', 0, 0, 0xFF, 1, 1, 0};
  EXPECT_EQ(forbidden.Encode(), forbidden_bytes);
}

TEST(RowChangeMessage, RefusesAnythingButOneWellFormedMessage) {
  std::array<uint8_t, 12> bytes = {'Q', 'a', 'n', 'd', 'Z', 0, 0, 1, 1, 1, 0, 0};
  EXPECT_TRUE(RowChangeMessage::Decode(bytes.data(), 11));
  EXPECT_FALSE(RowChangeMessage::Decode(bytes.data(), 12));
  EXPECT_FALSE(RowChangeMessage::Decode(bytes.data(), 10));
  EXPECT_FALSE(RowChangeMessage::Decode(nullptr, 11));

  std::array<uint8_t, 12> no_terminator = bytes;
  no_terminator[5] = 'X';  // "QandZX": the five letters alone are not enough
  EXPECT_FALSE(RowChangeMessage::Decode(no_terminator.data(), 11));

  std::array<uint8_t, 12> odd_view = bytes;
  odd_view[6] = 2;  // neither view: must not be taken for the partition view
  EXPECT_FALSE(RowChangeMessage::Decode(odd_view.data(), 11));

  // A change or a record kind that no copy of the program sends.
  std::array<uint8_t, 12> odd_kind = bytes;
  odd_kind[8] = 2;
  EXPECT_FALSE(RowChangeMessage::Decode(odd_kind.data(), 11));
  std::array<uint8_t, 12> odd_record = {'Q', 'a', 'n', 'd', 'Z', 0, 0, 1, 0, 1, 3, 0};
  EXPECT_FALSE(RowChangeMessage::Decode(odd_record.data(), 11));
  odd_record[10] = 2;  // a completed erase
  EXPECT_TRUE(RowChangeMessage::Decode(odd_record.data(), 11));
}

}  // namespace
}  // namespace plexi
