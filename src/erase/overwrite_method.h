// The overwrite methods of an erase. They are stored as their numbers (0, 1,
// 2) in the first-sector record and passed so to the other running copies;
// those numbers are converted here, where they are read or written.
#pragma once
#include <cstdint>
#include <optional>

namespace plexi {

enum class OverwriteMethod : int32_t {
  kZeros = 0,              // one pass of zeros
  kFfThenZeros = 1,        // 0xFF, then zeros
  kRandomFfThenZeros = 2,  // random bytes, 0xFF, then zeros (the US Army method)
};

// The stored number of a method, and the method a stored number names.
constexpr int32_t MethodCode(OverwriteMethod method) { return static_cast<int32_t>(method); }
constexpr std::optional<OverwriteMethod> MethodOfCode(int32_t code) {
  if (code < 0 || code > 2) return std::nullopt;
  return static_cast<OverwriteMethod>(code);
}

// The write passes of a method; the last one writes zeros.
constexpr int32_t WritePassCount(OverwriteMethod method) { return MethodCode(method) + 1; }

}  // namespace plexi
