// What the probe writer and the replay share: the format's version and
// the hexadecimal form of raw bytes.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plexi::probe {

// The "probe" member of a probe file; a reader refuses other versions.
inline constexpr int kProbeFormat = 1;

// Lower-case hexadecimal, two digits a byte, nothing between.
std::string Hex(const uint8_t* bytes, size_t count);
inline std::string Hex(const std::vector<uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }
// The bytes of such text (either case; blanks between bytes are allowed so
// that a probe written by hand can group them); nothing when it is not hex.
std::optional<std::vector<uint8_t>> BytesOfHex(const std::string& text);

// "0x002D1400", as a control code is written.
std::string CodeText(uint32_t code);
std::optional<uint32_t> CodeOfText(const std::string& text);

}  // namespace plexi::probe
