// SHA-256 (FIPS 180-4): the digest an update page gives for its archive,
// checked while the archive is written.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plexi {

using Sha256Digest = std::array<uint8_t, 32>;

// Fed in pieces of any size; Final ends it.
class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t length);
  Sha256Digest Final();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  size_t pending_length_ = 0;
  uint64_t total_length_ = 0;
};

Sha256Digest Sha256Of(std::string_view data);

// Lower-case hex, 64 characters.
std::string Sha256Hex(const Sha256Digest& digest);
// Exactly 64 hex digits of either case; nullopt otherwise.
std::optional<Sha256Digest> ParseSha256Hex(std::string_view hex);

}  // namespace plexi
