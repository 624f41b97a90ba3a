// The hex dump of one sector as the viewer's memo shows it: 32 lines of 16
// bytes, each with its 64-bit address, the bytes in hexadecimal and the
// printable ones as characters.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plexi {

inline constexpr uint32_t kBytesPerLine = 16;
inline constexpr uint32_t kLinesPerPage = 32;
inline constexpr int kAddressDigits = 12;
// The dump covers the first 512 bytes of a sector, whatever its size.
inline constexpr uint32_t kDumpBytes = kBytesPerLine * kLinesPerPage;

// The header line above the dump; its columns line up with the lines'.
inline constexpr char kDumpHeader[] =
    "   Address     00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F   0123456789ABCDEF";

// The 32 dump lines of `buffer` (the sector's first bytes) for sector
// `sector` of a drive with `sector_size`-byte sectors. Line i covers bytes
// 16·i to 16·i + 15 at address sector × sector_size + 16·i. Bytes the
// buffer does not hold are shown as zeros; no buffer at all gives no lines.
std::vector<std::string> DumpSector(std::span<const uint8_t> buffer, uint32_t sector_size, uint64_t sector);

// The memo's text: every line followed by a line break, so the text ends in
// an empty last line.
std::string MemoText(const std::vector<std::string>& lines);

}  // namespace plexi
