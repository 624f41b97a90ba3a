// A zero-filled byte buffer aligned for unbuffered device I/O (the handle an
// erase uses bypasses the system cache, which wants sector-aligned memory).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace plexi {

class AlignedBuffer {
 public:
  static constexpr std::align_val_t kAlignment{4096};

  explicit AlignedBuffer(size_t size)
      : data_(static_cast<uint8_t*>(::operator new(size == 0 ? 1 : size, kAlignment))), size_(size) {
    std::memset(data_, 0, size_);
  }
  ~AlignedBuffer() { ::operator delete(data_, kAlignment); }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  void Fill(uint8_t value) { std::memset(data_, value, size_); }

 private:
  uint8_t* data_;
  size_t size_;
};

}  // namespace plexi
