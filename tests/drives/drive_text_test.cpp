// The texts a drive row is made of; they also form the protection-list key,
// so any drift here would orphan stored entries.
#include <gtest/gtest.h>

#include "record/erase_method.h"
#include "drives/drive_types.h"

namespace plexi {
namespace {

TEST(FormatSize, UsesBinaryUnitsAndAtMostTwoDecimals) {
  EXPECT_EQ(FormatSize(500107862016ull), "465.76GB");
  EXPECT_EQ(FormatSize(1ull << 40), "1TB");
  EXPECT_EQ(FormatSize(512), "512B");
  EXPECT_EQ(FormatSize(0), "0B");
  EXPECT_EQ(FormatSize(1023), "1023B");
  EXPECT_EQ(FormatSize(1024), "1KB");
  EXPECT_EQ(FormatSize(1536), "1.5KB");
  EXPECT_EQ(FormatSize(3ull << 40), "3TB");
  EXPECT_EQ(FormatSize(16008609792ull), "14.91GB");
  EXPECT_EQ(FormatSize((1ull << 30) - 1), "1024MB");  // rounds up, unit stays
}

TEST(EraseMethodText, ShortAndLongFormsAndUnknownCodes) {
  EXPECT_EQ(EraseMethodText(0), "ゼロ");
  EXPECT_EQ(EraseMethodText(1), "255,ゼロ");
  EXPECT_EQ(EraseMethodText(2), "米国陸軍");
  EXPECT_EQ(EraseMethodText(2, MethodTextForm::kLong), "米国陸軍方式");
  EXPECT_EQ(EraseMethodText(0, MethodTextForm::kLong), "ゼロ(0x00)");
  // The firmware purge: the list row and the record name it the same way.
  EXPECT_EQ(EraseMethodText(3), "ファームウェア消去");
  EXPECT_EQ(EraseMethodText(3, MethodTextForm::kLong), "ファームウェア消去");
  EXPECT_EQ(EraseMethodText(1, MethodTextForm::kSentence), "255とゼロ");
  EXPECT_EQ(EraseMethodText(3, MethodTextForm::kSentence), "ファームウェア消去");
  EXPECT_EQ(EraseMethodText(4), "");
  EXPECT_EQ(EraseMethodText(-1), "");
}

TEST(BusTypeName, NamesClassicAndModernBuses) {
  EXPECT_EQ(BusTypeName(0), "");
  EXPECT_EQ(BusTypeName(3), "ATA");
  EXPECT_EQ(BusTypeName(7), "USB");
  EXPECT_EQ(BusTypeName(8), "RAID");
  EXPECT_EQ(BusTypeName(11), "SATA");
  EXPECT_EQ(BusTypeName(17), "NVMe");
  EXPECT_EQ(BusTypeName(19), "UFS");
  EXPECT_EQ(BusTypeName(20), "");
  EXPECT_EQ(BusTypeName(0xFFFFFFFF), "");
}

TEST(HexOfBytes, TwoUpperCaseDigitsPerByte) {
  const uint8_t bytes[] = {0x00, 0x0A, 0xFF, 0x5C};
  EXPECT_EQ(HexOfBytes(bytes, 4), "000AFF5C");
  EXPECT_EQ(HexOfBytes(bytes, 0), "");
}

TEST(DriveDesignator, KindDecidesThePathNotTheValue) {
  EXPECT_EQ(DriveDesignator::Physical(0).DevicePath(), "\\\\.\\PHYSICALDRIVE0");
  EXPECT_EQ(DriveDesignator::Physical(12).DevicePath(), "\\\\.\\PHYSICALDRIVE12");
  EXPECT_EQ(DriveDesignator::Letter('e').DevicePath(), "\\\\.\\E:");
  // Drive 67 is a physical drive, never the volume C:.
  DriveDesignator drive67 = DriveDesignator::Physical(67);
  EXPECT_EQ(drive67.DevicePath(), "\\\\.\\PHYSICALDRIVE67");
  EXPECT_NE(drive67, DriveDesignator::Letter('C'));
  EXPECT_EQ(drive67.Code(), DriveDesignator::Letter('C').Code());
}

TEST(DriveRow, SubItemsAndIdentityKey) {
  DriveRow row;
  row.bus_type = "SATA";
  row.letters = "C: D:";
  row.size_text = "465.76GB";
  row.method_text = "ゼロ";
  row.designator = DriveDesignator::Letter('G');
  row.record_kind = 2;
  row.not_erasable = true;
  row.identity = "4142";
  EXPECT_EQ(row.SubItem(4), "71");
  EXPECT_EQ(row.SubItem(5), "2");
  EXPECT_EQ(row.SubItem(6), "not");
  EXPECT_EQ(row.IdentityKey(), "4142C: D:465.76GB");
}

}  // namespace
}  // namespace plexi
