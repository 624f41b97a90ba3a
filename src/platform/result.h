// What a system call answers: its value, or the Windows error code of the
// failure. Every backend answers with Windows codes, so the logic and its
// messages are the same everywhere.
#pragma once
#include <cstdint>
#include <utility>

namespace plexi::platform {

template <class T = void>
class [[nodiscard]] Result {
 public:
  // Success with its value.
  Result(T value) : value_(std::move(value)), ok_(true) {}
  static Result Failure(uint32_t code) { return Result(FailureTag{}, code); }

  bool ok() const { return ok_; }
  // The Windows error code of a failure; 0 on success.
  uint32_t error() const { return error_; }
  // A failure holds a default value (0 bytes, no device).
  T& value() & { return value_; }
  const T& value() const& { return value_; }
  T&& value() && { return std::move(value_); }
  T& operator*() & { return value_; }
  const T& operator*() const& { return value_; }
  T* operator->() { return &value_; }
  const T* operator->() const { return &value_; }

 private:
  struct FailureTag {};
  Result(FailureTag, uint32_t code) : error_(code) {}

  T value_{};
  uint32_t error_ = 0;
  bool ok_ = false;
};

// A call with nothing to hand back.
template <>
class [[nodiscard]] Result<void> {
 public:
  static Result Success() { return Result(true, 0); }
  static Result Failure(uint32_t code) { return Result(false, code); }
  // For calls that answer with an error code where 0 means success.
  static Result FromCode(uint32_t code) { return Result(code == 0, code); }

  bool ok() const { return ok_; }
  uint32_t error() const { return error_; }

 private:
  Result(bool ok, uint32_t code) : error_(code), ok_(ok) {}

  uint32_t error_ = 0;
  bool ok_ = false;
};

}  // namespace plexi::platform
