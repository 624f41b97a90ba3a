// Move-only owner of one handle-like value. The traits name the invalid value
// and how to release a valid one, so each resource type is one line.
#pragma once
#include <utility>

namespace plexi {

template <class Traits>
class Unique {
 public:
  using Value = typename Traits::Value;

  Unique() = default;
  explicit Unique(Value v) : value_(v) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Unique() { reset(); }

  Value get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }

  // Hands ownership to the caller.
  Value release() { return std::exchange(value_, Traits::Invalid()); }

  void reset(Value v = Traits::Invalid()) {
    Value old = std::exchange(value_, v);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

  // Releases what is held and gives the address of the empty slot to an
  // API that returns a new value through a pointer.
  Value* put() {
    reset();
    return &value_;
  }

 private:
  Value value_ = Traits::Invalid();
};

}  // namespace plexi
