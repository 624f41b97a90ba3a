// The hex dump lines: layout, addresses in 64 bits, the 512-byte page of
// larger sectors, and the character column.
#include "viewer/sector_dump.h"

#include <gtest/gtest.h>

#include <vector>

namespace plexi {
namespace {

std::vector<uint8_t> Counting(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i);
  return bytes;
}

TEST(ViewerDump, LinesLineUpUnderTheHeader) {
  const std::vector<uint8_t> sector = Counting(512);
  const std::vector<std::string> lines = DumpSector(sector, 512, 1);
  ASSERT_EQ(lines.size(), 32u);
  const std::string header = kDumpHeader;
  EXPECT_EQ(header.size(), 81u);
  for (const std::string& line : lines) EXPECT_EQ(line.size(), 81u) << line;

  EXPECT_EQ(lines[0],
            " 000000000200  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F   ................");
  EXPECT_EQ(lines[2],
            " 000000000220  20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F    !\"#$%&'()*+,-./");
  EXPECT_EQ(lines[31].substr(0, 15), " 0000000003F0  ");
  // Byte 0x0F of a line sits under the header's "0F", its character under "F".
  EXPECT_EQ(lines[2].substr(header.find("0F"), 2), "2F");
  EXPECT_EQ(lines[2][header.rfind('F')], '/');
}

TEST(ViewerDump, OnlyPrintableAsciiStandsForItself) {
  std::vector<uint8_t> sector(512, 0);
  const uint8_t edges[] = {0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0xA0, 0xFF};
  std::copy(std::begin(edges), std::end(edges), sector.begin());
  EXPECT_EQ(DumpSector(sector, 512, 0)[0].substr(65), ". A~............");
}

TEST(ViewerDump, LargeSectorsShowTheirFirst512BytesAtTheirTrueAddress) {
  std::vector<uint8_t> sector = Counting(4096);
  const std::vector<std::string> lines = DumpSector(sector, 4096, 3);
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0].substr(0, 15), " 000000003000  ");
  EXPECT_EQ(lines[31].substr(0, 15), " 0000000031F0  ");
}

TEST(ViewerDump, AddressesAreSixtyFourBit) {
  const std::vector<uint8_t> sector(512, 0);
  // Sector 2^32 + 5 of a 512-byte drive lies beyond any 32-bit offset.
  EXPECT_EQ(DumpSector(sector, 512, (uint64_t(1) << 32) + 5)[1].substr(0, 15), " 020000000A10  ");
  // An address that needs more than 12 digits gets them.
  const std::string wide = DumpSector(sector, 4096, uint64_t(1) << 40)[0];
  EXPECT_EQ(wide.substr(0, 17), " 10000000000000  ");
  EXPECT_EQ(wide.size(), 83u);
}

TEST(ViewerDump, MissingBytesReadAsZerosAndNoBufferGivesNothing) {
  const std::vector<uint8_t> small = {0x41, 0x42};
  const std::vector<std::string> lines = DumpSector(small, 256, 0);
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0].substr(15, 8), "41 42 00");
  EXPECT_EQ(lines[20].substr(0, 15), " 000000000140  ");
  EXPECT_TRUE(DumpSector({}, 512, 0).empty());
}

TEST(ViewerDump, MemoTextEndsWithAnEmptyLine) {
  const std::string text = MemoText(DumpSector(std::vector<uint8_t>(512, 0), 512, 0));
  EXPECT_EQ(text.size(), 32u * 83u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.substr(81, 2), "\r\n");
}

}  // namespace
}  // namespace plexi
