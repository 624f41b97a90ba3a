// A small JSON value with a writer and a reader, enough for the erase
// reports: integers only (no fractions), objects whose keys are kept
// sorted, so that one value has exactly one compact text (the text the
// report's digest is taken over).
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plexi::json {

class Value;
using Array = std::vector<Value>;
using Object = std::map<std::string, Value>;  // sorted by the keys' bytes

class Value {
 public:
  enum class Kind { kNull, kBool, kInt, kUnsigned, kString, kArray, kObject };

  Value() = default;  // null
  Value(std::nullptr_t) {}
  Value(bool b) : kind_(Kind::kBool), bool_(b) {}
  Value(int v) : kind_(Kind::kInt), int_(v) {}
  Value(int64_t v) : kind_(Kind::kInt), int_(v) {}
  Value(uint32_t v) : kind_(Kind::kInt), int_(v) {}
  Value(uint64_t v) : kind_(Kind::kUnsigned), unsigned_(v) {}
  Value(const char* s) : kind_(Kind::kString), string_(s) {}
  Value(std::string s) : kind_(Kind::kString), string_(std::move(s)) {}
  Value(Array a);
  Value(Object o);

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  const bool* AsBool() const { return kind_ == Kind::kBool ? &bool_ : nullptr; }
  std::optional<int64_t> AsInt() const;
  std::optional<uint64_t> AsUnsigned() const;
  const std::string* AsString() const { return kind_ == Kind::kString ? &string_ : nullptr; }
  const Array* AsArray() const { return kind_ == Kind::kArray ? &array_ : nullptr; }
  const Object* AsObject() const { return kind_ == Kind::kObject ? &object_ : nullptr; }

  // The member `key` of an object; null for anything else.
  const Value& operator[](const std::string& key) const;
  // The text of a string member, empty when it is not one.
  std::string Text(const std::string& key) const;

 private:
  Kind kind_ = Kind::kNull;
  bool bool_ = false;
  int64_t int_ = 0;
  uint64_t unsigned_ = 0;
  std::string string_;
  Array array_;
  Object object_;
};

// The text of a value: compact with indent < 0 (the canonical form),
// else one member a line indented by that many blanks a level. Invalid
// UTF-8 in strings is written as U+FFFD, so the text is always valid.
std::string Write(const Value& value, int indent = -1);

// Reads a whole text; nothing, with a message naming the byte, when it is
// not JSON or holds what this reader does not take (fractions, exponents,
// numbers beyond 64 bits, duplicate keys, nesting deeper than 64).
std::optional<Value> Read(std::string_view text, std::string* error = nullptr);

}  // namespace plexi::json
