#include "probe/serial_mask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace plexi::probe {
namespace {

// Where each field a probe masks lies, and how its text is laid out.
struct MaskCase {
  const char* name;
  size_t size;
  size_t at;
  size_t length;
  bool swapped;  // ATA: two characters a word, the second first
  size_t id_at, id_length;  // a unique id masked too (none: 0)
  void (SerialMask::*mask)(std::vector<uint8_t>&) const;
};

std::string TextAt(const std::vector<uint8_t>& bytes, const MaskCase& c) {
  std::string text;
  for (size_t i = 0; i < c.length; ++i) text.push_back(char(bytes[c.at + (c.swapped ? i ^ 1 : i)]));
  return text;
}

void PutText(std::vector<uint8_t>& bytes, const MaskCase& c, const std::string& text) {
  for (size_t i = 0; i < c.length; ++i) bytes[c.at + (c.swapped ? i ^ 1 : i)] = uint8_t(text[i]);
}

TEST(SerialMask, ReplacesTheSerialAndNothingElseKeepingEqualSerialsEqual) {
  const MaskCase cases[] = {
      {"ATA identify words 10-19, WWN 108-111", 512, 20, 20, true, 216, 8, &SerialMask::InAtaIdentify},
      {"NVMe identify controller bytes 4-23", 4096, 4, 20, false, 0, 0, &SerialMask::InNvmeController},
  };
  const SerialMask mask("salt");
  for (const MaskCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes(c.size);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + 1);
    PutText(bytes, c, "  S3Z9NB0K123456A   ");
    std::vector<uint8_t> masked = bytes;
    (mask.*c.mask)(masked);
    const std::string text = TextAt(masked, c);
    EXPECT_EQ(text.find("S3Z9"), std::string::npos) << text;
    EXPECT_EQ(text.substr(0, 2), "  ");  // the padding stays
    EXPECT_EQ(text.substr(17), "   ");
    EXPECT_EQ(mask.Text("S3Z9NB0K123456A"), text.substr(2, 15));  // as the descriptor's copy masks
    for (size_t i = 0; i < bytes.size(); ++i) {
      const bool in_id = i >= c.id_at && i < c.id_at + c.id_length;
      if (i < c.at || i >= c.at + c.length) {
        ASSERT_EQ(masked[i] == bytes[i], !in_id) << "byte " << i;
      }
    }
  }
  EXPECT_NE(mask.Text("S3Z9NB0K123456A"), mask.Text("S3Z9NB0K123456B"));
  EXPECT_NE(SerialMask("other").Text("S3Z9NB0K123456A"), mask.Text("S3Z9NB0K123456A"));
}

TEST(SerialMask, DescriptorSerialAtItsOffsetOnly) {
  const std::string strings = std::string("Samsung SSD\0", 12) + std::string("S3Z9NB0K\0", 9);
  std::vector<uint8_t> reply(40, 0);
  reply[16] = 40;       // ProductIdOffset
  reply[24] = 40 + 12;  // SerialNumberOffset
  reply.insert(reply.end(), strings.begin(), strings.end());
  std::vector<uint8_t> masked = reply;
  SerialMask("salt").InDescriptor(masked);
  EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + 52, masked.begin()));
  EXPECT_EQ(std::string(masked.begin() + 52, masked.begin() + 60), SerialMask("salt").Text("S3Z9NB0K"));
  EXPECT_EQ(masked.back(), 0);
  // An offset past the reply touches nothing.
  reply[24] = 200;
  masked = reply;
  SerialMask("salt").InDescriptor(masked);
  EXPECT_EQ(masked, reply);
}

}  // namespace
}  // namespace plexi::probe
