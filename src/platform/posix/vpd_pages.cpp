#include "platform/posix/vpd_pages.h"

#include <cstdint>

#include "util/ascii_text.h"

namespace plexi::posix {

namespace {

constexpr uint8_t kUnitSerialPage = 0x80;
constexpr uint8_t kAtaInformationPage = 0x89;
// SAT's ATA Information page: a 4-byte header, the translation's own
// names and the device signature, then the 512 bytes of IDENTIFY data.
constexpr size_t kIdentifyAt = 60;
constexpr size_t kIdentifyBytes = 512;
constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kIdentifyPacketDevice = 0xA1;

uint8_t Byte(std::string_view page, size_t at) { return static_cast<uint8_t>(page[at]); }

// The page's length field, bytes 2-3 big-endian, counts what follows the header.
size_t PageLength(std::string_view page) { return size_t(Byte(page, 2)) << 8 | Byte(page, 3); }

// Text as a drive pads it: trimmed, and cut where a zero byte would end it.
std::string CleanText(std::string_view text) {
  std::string trimmed = TrimBlanks(text);
  return TrimBlanks(trimmed.substr(0, trimmed.find('\0')));
}

// An IDENTIFY string: two characters a word, the first in the word's high byte.
std::string AtaString(std::string_view identify, size_t first_word, size_t words) {
  std::string text;
  for (size_t w = first_word; w < first_word + words; ++w) {
    text.push_back(identify[2 * w + 1]);
    text.push_back(identify[2 * w]);
  }
  return CleanText(text);
}

}  // namespace

std::string SerialOfVpd80(std::string_view page) {
  if (page.size() < 4 || Byte(page, 1) != kUnitSerialPage) return {};
  return CleanText(page.substr(4, PageLength(page)));
}

std::optional<AtaStrings> AtaStringsOfVpd89(std::string_view page) {
  if (page.size() < kIdentifyAt + kIdentifyBytes || Byte(page, 1) != kAtaInformationPage ||
      PageLength(page) + 4 < kIdentifyAt + kIdentifyBytes)
    return std::nullopt;
  const uint8_t command = Byte(page, 56);
  if (command != kIdentifyDevice && command != kIdentifyPacketDevice) return std::nullopt;
  const std::string_view identify = page.substr(kIdentifyAt, kIdentifyBytes);
  return AtaStrings{AtaString(identify, 10, 10), AtaString(identify, 23, 4), AtaString(identify, 27, 20)};
}

}  // namespace plexi::posix
