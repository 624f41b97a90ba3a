// Serial numbers and unique ids taken out of a probe before it leaves the
// machine. Each is replaced by hexadecimal digits of a salted digest of
// itself: the same serial read through two handles (a disk and its volume)
// still reads the same, two drives still differ, and without the salt,
// which is never written down, the serial cannot be recovered by trying
// candidates. Blanks and NULs stay where they were, so padded fields keep
// their shape.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plexi::probe {

class SerialMask {
 public:
  // A mask with a fresh random salt.
  SerialMask();
  explicit SerialMask(std::string salt) : salt_(std::move(salt)) {}

  // The text with each character above the space replaced.
  std::string Text(const std::string& serial) const;

  // STORAGE_DEVICE_DESCRIPTOR: the NUL-terminated string at its serial
  // number offset, when the offset lies inside the reply.
  void InDescriptor(std::vector<uint8_t>& reply) const;
  // IDENTIFY DEVICE: the serial (words 10-19, two characters a word, high
  // byte first) and the world wide name (words 108-111).
  void InAtaIdentify(std::vector<uint8_t>& identify) const;
  // NVMe Identify Controller: the serial (bytes 4-23).
  void InNvmeController(std::vector<uint8_t>& identify) const;
  // NVMe Identify Namespace: NGUID (bytes 104-119) and EUI-64 (120-127).
  void InNvmeNamespace(std::vector<uint8_t>& identify) const;

 private:
  // `count` bytes at `at` replaced by digest bytes, unless all are zero
  // (an id the drive does not report).
  void Binary(std::vector<uint8_t>& bytes, size_t at, size_t count) const;

  std::string salt_;
};

}  // namespace plexi::probe
