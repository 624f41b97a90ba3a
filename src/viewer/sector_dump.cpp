#include "viewer/sector_dump.h"

namespace plexi {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Upper-case hexadecimal, zero-padded to `digits`, longer when needed.
std::string Hex(uint64_t value, int digits) {
  std::string text;
  do {
    text.insert(text.begin(), kHexDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (int(text.size()) < digits) text.insert(0, size_t(digits) - text.size(), '0');
  return text;
}

char Printable(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E ? char(byte) : '.'; }

}  // namespace

std::vector<std::string> DumpSector(std::span<const uint8_t> buffer, uint32_t sector_size, uint64_t sector) {
  std::vector<std::string> lines;
  if (buffer.data() == nullptr) return lines;
  auto byte_at = [&](size_t i) -> uint8_t { return i < buffer.size() ? buffer[i] : 0; };
  const uint64_t base = sector * sector_size;
  lines.reserve(kLinesPerPage);
  for (uint32_t line = 0; line < kLinesPerPage; ++line) {
    const size_t first = size_t(line) * kBytesPerLine;
    std::string text = " " + Hex(base + first, kAddressDigits) + "  ";
    std::string chars;
    for (uint32_t i = 0; i < kBytesPerLine; ++i) {
      const uint8_t b = byte_at(first + i);
      if (i > 0) text += ' ';
      text += kHexDigits[b >> 4];
      text += kHexDigits[b & 0xF];
      chars += Printable(b);
    }
    lines.push_back(text + "   " + chars);
  }
  return lines;
}

std::string MemoText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace plexi
