#include "viewer/sector_text.h"

#include <algorithm>

#include "platform/platform.h"

namespace plexi {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Length of the well-formed UTF-8 sequence at `at`, or 0 when it is not one.
size_t SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  char32_t c = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, c = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, c = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, c = lead & 0x07;
  else return 0;
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    c = c << 6 | (byte(at + i) & 0x3F);
  }
  const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
  const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
  return overlong || surrogate || c > 0x10FFFF ? 0 : length;
}

// Line breaks as CR LF; other control characters as ".".
std::string ForEditControl(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c == '\t') {
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      out += '.';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

uint32_t TextStartOffset(std::span<const uint8_t> sector) {
  const size_t size = sector.size();
  if (size == 0) return 1;  // first and last byte are the same (missing) zero
  auto byte_at = [&](size_t i) -> uint8_t { return i < size ? sector[i] : 0; };
  for (size_t p = 0; p < size; ++p)
    if (byte_at(p) != 0 && byte_at(p + 1) != 0) return p % 2 == 1 ? 1 : 0;
  return (sector[0] != 0) == (sector[size - 1] != 0) ? 1 : 0;
}

SectorTextChoice DecideSectorText(std::span<const uint8_t> sector, TextUnicodeTest is_text_unicode) {
  const uint8_t b0 = sector.size() > 0 ? sector[0] : 0;
  const uint8_t b1 = sector.size() > 1 ? sector[1] : 0;
  const bool one_zero = (b0 == 0) != (b1 == 0);
  const bool unicode = is_text_unicode != nullptr && is_text_unicode(sector.data(), sector.size());
  if (!unicode && !one_zero) return {TextEncoding::kAnsi, 0};
  const bool byte_order_mark = (b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF);
  if (byte_order_mark) return {TextEncoding::kUtf16, 2};
  return {TextEncoding::kUtf16, one_zero ? TextStartOffset(sector) : 0};
}

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) {
  auto unit_at = [&](size_t i) -> uint32_t {
    const uint8_t low = i < bytes.size() ? bytes[i] : 0;
    const uint8_t high = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    return uint32_t(low | high << 8);
  };
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const uint32_t unit = unit_at(i);
    if (unit == 0) break;
    if (IsHighSurrogate(unit) && i + 2 < bytes.size() && IsLowSurrogate(unit_at(i + 2))) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unit_at(i + 2) - 0xDC00));
      i += 2;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(text, i);
    if (length == 0) {
      AppendUtf8(out, kReplacement);
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string SectorTextForView(std::span<const uint8_t> sector, const SectorTextChoice& choice) {
  const std::span<const uint8_t> text = sector.subspan(std::min<size_t>(choice.offset, sector.size()));
  if (choice.encoding == TextEncoding::kUtf16) return ForEditControl(Utf16LeToUtf8(text));
  size_t end = 0;
  while (end < text.size() && text[end] != 0) ++end;
  const std::string ansi(reinterpret_cast<const char*>(text.data()), end);
  // The system's conversion gives UTF-8 on Windows; elsewhere the bytes pass
  // through as they are and may not be UTF-8 at all.
  return ForEditControl(ValidUtf8(platform::AnsiToUtf8(ansi)));
}

}  // namespace plexi
