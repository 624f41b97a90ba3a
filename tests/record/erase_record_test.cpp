// The first-sector records: byte layouts, and how the list and the erase
// workflow each recognise them.
#include <gtest/gtest.h>

#include <cstring>

#include "record/erase_record.h"
#include "platform/ioctl_layout.h"

namespace plexi {
namespace {

TEST(EraseRecordLayout, CompletionRecordBytes) {
  for (uint32_t size : {512u, 4096u}) {
    std::vector<uint8_t> s = BuildCompletionRecord(size, 2);
    ASSERT_EQ(s.size(), size);
    EXPECT_EQ(std::memcmp(s.data(), "plexi scrub ok", 14), 0);
    EXPECT_EQ(s[14], 0);
    EXPECT_EQ(layout::Load32(&s[15]), 2u);
    for (size_t i = 19; i < size; ++i) ASSERT_EQ(s[i], 0) << i;
  }
}

TEST(EraseRecordLayout, ResumeRecordBytes) {
  std::vector<uint8_t> s = BuildResumeRecord(4096, {2, 0xFFFFFFF0u, 1});
  ASSERT_EQ(s.size(), 4096u);
  EXPECT_EQ(std::memcmp(s.data(), "plexi scrub", 11), 0);
  for (size_t i = 11; i < 16; ++i) EXPECT_EQ(s[i], 0);
  EXPECT_EQ(layout::Load32(&s[16]), 0xFFFFFFF0u);
  EXPECT_EQ(layout::Load32(&s[20]), 2u);
  EXPECT_EQ(layout::Load32(&s[24]), 1u);
  for (size_t i = 28; i < s.size(); ++i) ASSERT_EQ(s[i], 0) << i;

  // The chunk layout the index counts in: sectors (64-bit) and sectors per chunk.
  s = BuildResumeRecord(512, {1, 7, 0, 0x123456789ull, 8192});
  EXPECT_EQ(layout::Load64(&s[28]), 0x123456789ull);
  EXPECT_EQ(layout::Load32(&s[36]), 8192u);
  for (size_t i = 40; i < s.size(); ++i) ASSERT_EQ(s[i], 0) << i;
  EraseRecordFields read;
  ASSERT_EQ(RecogniseForErase(s.data(), s.size(), read), RecordKind::kResume);
  EXPECT_TRUE(read.LayoutMatches(0x123456789ull, 8192));
  EXPECT_FALSE(read.LayoutMatches(0x123456789ull, 4096));
  EXPECT_TRUE(EraseRecordFields{}.LayoutMatches(1, 1));  // an older record names none
}

TEST(EraseRecordRecognition, CompletionRecordIsKindTwoForBothReaders) {
  for (int32_t method : {0, 1, 2}) {
    std::vector<uint8_t> s = BuildCompletionRecord(512, method);
    ListRecord list = RecogniseForList(s.data(), s.size());
    EXPECT_EQ(list.kind, RecordKind::kComplete);
    EXPECT_EQ(list.method, method);
    EraseRecordFields f;
    EXPECT_EQ(RecogniseForErase(s.data(), s.size(), f), RecordKind::kComplete);
    EXPECT_EQ(f.EraseMethod, method);
  }
}

TEST(EraseRecordRecognition, ResumeRecordWithoutProgressIsNoResumePoint) {
  std::vector<uint8_t> s = BuildResumeRecord(512, {1, 0, 0});
  EXPECT_EQ(RecogniseForList(s.data(), s.size()).kind, RecordKind::kResume);
  EXPECT_EQ(RecogniseForList(s.data(), s.size()).method, 1);
  EraseRecordFields f;
  EXPECT_EQ(RecogniseForErase(s.data(), s.size(), f), RecordKind::kNone);

  s = BuildResumeRecord(512, {2, 0, 2});  // pass 2, chunk 0: a real resume point
  EXPECT_EQ(RecogniseForErase(s.data(), s.size(), f), RecordKind::kResume);
  EXPECT_EQ(f.ResumePass, 2);
  EXPECT_EQ(f.EraseMethod, 2);

  s = BuildResumeRecord(512, {0, 7, -1});
  EXPECT_EQ(RecogniseForErase(s.data(), s.size(), f), RecordKind::kResume);
  EXPECT_EQ(f.ResumeChunk, 7u);
}

TEST(EraseRecordRecognition, CompletionMarkerWithNonZeroByte14) {
  std::vector<uint8_t> s = BuildCompletionRecord(512, 1);
  s[14] = 'X';
  layout::Store32(&s[16], 5);
  layout::Store32(&s[20], 2);
  layout::Store32(&s[24], 1);
  EXPECT_EQ(RecogniseForList(s.data(), s.size()).kind, RecordKind::kComplete);
  EraseRecordFields f;
  EXPECT_EQ(RecogniseForErase(s.data(), s.size(), f), RecordKind::kResume);
  EXPECT_EQ(f.ResumeChunk, 5u);
  EXPECT_EQ(f.EraseMethod, 2);
  EXPECT_EQ(f.ResumePass, 1);
}

TEST(EraseRecordRecognition, OtherContentIsNoRecordAndChangesNothing) {
  std::vector<uint8_t> zeros(512, 0);
  std::vector<uint8_t> mbr(512, 0);
  mbr[510] = 0x55;
  mbr[511] = 0xAA;
  std::vector<uint8_t> near(512, 0);
  std::memcpy(near.data(), "plexi scru", 10);
  for (const auto& s : {zeros, mbr, near}) {
    ListRecord list = RecogniseForList(s.data(), s.size());
    EXPECT_EQ(list.kind, RecordKind::kNone);
    EXPECT_FALSE(list.method.has_value());
    EraseRecordFields f{9, 9, 9};
    EXPECT_EQ(RecogniseForErase(s.data(), s.size(), f), RecordKind::kNone);
    EXPECT_EQ(f.EraseMethod, 9);
    EXPECT_EQ(f.ResumeChunk, 9u);
  }
}

}  // namespace
}  // namespace plexi
