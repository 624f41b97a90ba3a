#include "util/base64.h"

#include <cstdint>

namespace plexi {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t k = 0; k < bytes.size(); k += 3) {
    const size_t left = bytes.size() - k;
    uint32_t group = uint32_t(uint8_t(bytes[k])) << 16;
    if (left > 1) group |= uint32_t(uint8_t(bytes[k + 1])) << 8;
    if (left > 2) group |= uint8_t(bytes[k + 2]);
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    text += left > 2 ? kAlphabet[group & 63] : '=';
  }
  return text;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  for (size_t k = 0; k < text.size(); k += 4) {
    const bool last = k + 4 == text.size();
    const int padding = last ? (text[k + 3] == '=') + (text[k + 2] == '=' && text[k + 3] == '=') : 0;
    uint32_t group = 0;
    for (int j = 0; j < 4; ++j) {
      const int sextet = j >= 4 - padding ? 0 : SextetOf(text[k + j]);
      if (sextet < 0) return std::nullopt;
      group = (group << 6) | uint32_t(sextet);
    }
    bytes += char(group >> 16);
    if (padding < 2) bytes += char((group >> 8) & 0xFF);
    if (padding < 1) bytes += char(group & 0xFF);
  }
  // The bits past the last byte must be zero, so one text means one value.
  if (Base64Encode(bytes) != text) return std::nullopt;
  return bytes;
}

std::string PemText(std::string_view label, std::string_view bytes) {
  const std::string body = Base64Encode(bytes);
  std::string text = "-----BEGIN " + std::string(label) + "-----\n";
  for (size_t k = 0; k < body.size(); k += 64) text += body.substr(k, 64) + "\n";
  return text + "-----END " + std::string(label) + "-----\n";
}

std::optional<std::string> PemBytes(std::string_view text, std::string_view label) {
  const std::string begin = "-----BEGIN " + std::string(label) + "-----";
  const std::string end = "-----END " + std::string(label) + "-----";
  const size_t from = text.find(begin);
  if (from == std::string_view::npos) return std::nullopt;
  const size_t to = text.find(end, from + begin.size());
  if (to == std::string_view::npos) return std::nullopt;
  std::string body;
  for (char c : text.substr(from + begin.size(), to - from - begin.size()))
    if (c != '\n' && c != '\r' && c != ' ' && c != '\t') body += c;
  return Base64Decode(body);
}

}  // namespace plexi
