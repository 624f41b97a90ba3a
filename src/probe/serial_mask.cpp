#include "probe/serial_mask.h"

#include <algorithm>
#include <random>

#include "util/sha256.h"

namespace plexi::probe {
namespace {

constexpr size_t kAtaSerialAt = 20, kAtaSerialBytes = 20;  // words 10-19
constexpr size_t kAtaWwnAt = 216, kAtaWwnBytes = 8;        // words 108-111
constexpr size_t kNvmeSerialAt = 4, kNvmeSerialBytes = 20;
constexpr size_t kNvmeIdsAt = 104, kNvmeNguidBytes = 16, kNvmeEuiBytes = 8;

Sha256Digest DigestOf(const std::string& salt, const std::string& kind, const void* data, size_t length) {
  Sha256 sha;
  sha.Update(salt.data(), salt.size());
  sha.Update(kind.data(), kind.size());
  sha.Update(data, length);
  return sha.Final();
}

}  // namespace

SerialMask::SerialMask() {
  std::random_device random;
  for (int i = 0; i < 16; ++i) salt_.push_back(char(random() & 0xFF));
}

std::string SerialMask::Text(const std::string& serial) const {
  // The digest of the characters alone, so that "S3Z9" and "  S3Z9  " mask alike.
  std::string visible;
  for (char c : serial)
    if (static_cast<unsigned char>(c) > ' ') visible.push_back(c);
  const Sha256Digest digest = DigestOf(salt_, "text", visible.data(), visible.size());
  static const char kHex[] = "0123456789ABCDEF";
  std::string masked = serial;
  size_t k = 0;
  for (char& c : masked) {
    if (static_cast<unsigned char>(c) <= ' ') continue;
    const uint8_t byte = digest[(k / 2) % digest.size()];
    c = kHex[k % 2 == 0 ? byte >> 4 : byte & 0x0F];
    ++k;
  }
  return masked;
}

void SerialMask::InDescriptor(std::vector<uint8_t>& reply) const {
  constexpr size_t kSerialOffsetAt = 24, kHeaderBytes = 40;
  if (reply.size() < kHeaderBytes) return;
  const uint32_t offset = uint32_t(reply[kSerialOffsetAt]) | uint32_t(reply[kSerialOffsetAt + 1]) << 8 |
                          uint32_t(reply[kSerialOffsetAt + 2]) << 16 | uint32_t(reply[kSerialOffsetAt + 3]) << 24;
  if (offset == 0 || offset >= reply.size()) return;
  const auto start = reply.begin() + offset;
  const auto end = std::find(start, reply.end(), uint8_t(0));
  const std::string masked = Text(std::string(start, end));
  std::copy(masked.begin(), masked.end(), start);
}

void SerialMask::InAtaIdentify(std::vector<uint8_t>& identify) const {
  if (identify.size() < kAtaWwnAt + kAtaWwnBytes) return;
  std::string text(kAtaSerialBytes, ' ');
  for (size_t i = 0; i < kAtaSerialBytes; ++i) text[i] = char(identify[kAtaSerialAt + (i ^ 1)]);
  const std::string masked = Text(text);
  for (size_t i = 0; i < kAtaSerialBytes; ++i) identify[kAtaSerialAt + (i ^ 1)] = uint8_t(masked[i]);
  Binary(identify, kAtaWwnAt, kAtaWwnBytes);
}

void SerialMask::InNvmeController(std::vector<uint8_t>& identify) const {
  if (identify.size() < kNvmeSerialAt + kNvmeSerialBytes) return;
  const auto start = identify.begin() + kNvmeSerialAt;
  const std::string masked = Text(std::string(start, start + kNvmeSerialBytes));
  std::copy(masked.begin(), masked.end(), start);
}

void SerialMask::InNvmeNamespace(std::vector<uint8_t>& identify) const {
  if (identify.size() < kNvmeIdsAt + kNvmeNguidBytes + kNvmeEuiBytes) return;
  Binary(identify, kNvmeIdsAt, kNvmeNguidBytes);
  Binary(identify, kNvmeIdsAt + kNvmeNguidBytes, kNvmeEuiBytes);
}

void SerialMask::Binary(std::vector<uint8_t>& bytes, size_t at, size_t count) const {
  const auto start = bytes.begin() + long(at);
  if (std::all_of(start, start + long(count), [](uint8_t b) { return b == 0; })) return;
  const Sha256Digest digest = DigestOf(salt_, "id", &*start, count);
  std::copy(digest.begin(), digest.begin() + long(count), start);
}

}  // namespace plexi::probe
