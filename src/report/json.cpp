#include "report/json.h"

#include <cstdio>
#include <limits>

namespace plexi::json {

namespace {

const Value kNull;

// Length of the valid UTF-8 sequence at `p`, or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return uint8_t(s[k]); };
  const uint8_t c = b(i);
  if (c < 0x80) return 1;
  size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((b(i + k) & 0xC0) != 0x80) return 0;
  // Overlong forms, surrogates and code points above U+10FFFF.
  if (c == 0xE0 && b(i + 1) < 0xA0) return 0;
  if (c == 0xED && b(i + 1) > 0x9F) return 0;
  if (c == 0xF0 && b(i + 1) < 0x90) return 0;
  if (c == 0xF4 && b(i + 1) > 0x8F) return 0;
  return n;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | cp >> 6);
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | cp >> 12);
    out += char(0x80 | (cp >> 6 & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | cp >> 18);
    out += char(0x80 | (cp >> 12 & 0x3F));
    out += char(0x80 | (cp >> 6 & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

void WriteString(std::string& out, std::string_view s) {
  out += '"';
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = s[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\b') {
      out += "\\b";
    } else if (c == '\f') {
      out += "\\f";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (c >= 0x80) {
      const size_t n = Utf8Length(s, i);
      if (n == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
        ++i;
        continue;
      }
      out.append(s.substr(i, n));
      i += n;
      continue;
    } else {
      out += char(c);
    }
    ++i;
  }
  out += '"';
}

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  std::optional<Value> Whole(std::string* error) {
    std::optional<Value> v = Parse(0);
    SkipBlanks();
    if (v && i_ != s_.size()) v = Fail("text after the value");
    if (!v && error) *error = error_ + " at byte " + std::to_string(i_);
    return v;
  }

 private:
  std::optional<Value> Fail(const char* why) {
    if (error_.empty()) error_ = why;
    return std::nullopt;
  }
  void SkipBlanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
  }
  bool Literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }

  std::optional<Value> Parse(int depth) {
    if (depth > 64) return Fail("nesting too deep");
    SkipBlanks();
    if (i_ >= s_.size()) return Fail("unexpected end");
    const char c = s_[i_];
    if (c == '{') return ParseObject(depth);
    if (c == '[') return ParseArray(depth);
    if (c == '"') {
      std::optional<std::string> text = ParseString();
      if (!text) return std::nullopt;
      return Value(std::move(*text));
    }
    if (Literal("true")) return Value(true);
    if (Literal("false")) return Value(false);
    if (Literal("null")) return Value();
    if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber();
    return Fail("unexpected character");
  }

  std::optional<Value> ParseNumber() {
    const bool negative = s_[i_] == '-';
    if (negative) ++i_;
    const size_t start = i_;
    uint64_t magnitude = 0;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
      const uint64_t digit = uint64_t(s_[i_] - '0');
      if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) return Fail("number too large");
      magnitude = magnitude * 10 + digit;
      ++i_;
    }
    if (i_ == start) return Fail("digit expected");
    if (s_[start] == '0' && i_ - start > 1) return Fail("leading zero");
    if (i_ < s_.size() && (s_[i_] == '.' || s_[i_] == 'e' || s_[i_] == 'E')) return Fail("fractions are not taken");
    if (!negative) {
      if (magnitude <= uint64_t(std::numeric_limits<int64_t>::max())) return Value(int64_t(magnitude));
      return Value(magnitude);
    }
    if (magnitude > uint64_t(std::numeric_limits<int64_t>::max()) + 1) return Fail("number too small");
    return Value(magnitude == 0 ? int64_t(0) : int64_t(0 - magnitude));
  }

  std::optional<uint32_t> Hex4() {
    if (i_ + 4 > s_.size()) return std::nullopt;
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = s_[i_++];
      v <<= 4;
      if (h >= '0' && h <= '9') v |= uint32_t(h - '0');
      else if (h >= 'a' && h <= 'f') v |= uint32_t(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') v |= uint32_t(h - 'A' + 10);
      else return std::nullopt;
    }
    return v;
  }

  std::optional<std::string> ParseString() {
    ++i_;  // the opening quote
    std::string out;
    while (true) {
      if (i_ >= s_.size()) {
        Fail("unterminated string");
        return std::nullopt;
      }
      const unsigned char c = s_[i_];
      if (c == '"') {
        ++i_;
        return out;
      }
      if (c < 0x20) {
        Fail("control character in a string");
        return std::nullopt;
      }
      if (c >= 0x80) {
        const size_t n = Utf8Length(s_, i_);
        if (n == 0) {
          Fail("invalid UTF-8");
          return std::nullopt;
        }
        out.append(s_.substr(i_, n));
        i_ += n;
        continue;
      }
      ++i_;
      if (c != '\\') {
        out += char(c);
        continue;
      }
      if (i_ >= s_.size()) break;
      const char e = s_[i_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::optional<uint32_t> cp = Hex4();
          if (cp && *cp >= 0xD800 && *cp <= 0xDBFF) {
            std::optional<uint32_t> low = Literal("\\u") ? Hex4() : std::nullopt;
            if (!low || *low < 0xDC00 || *low > 0xDFFF) cp.reset();
            else cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
          } else if (cp && *cp >= 0xDC00 && *cp <= 0xDFFF) {
            cp.reset();
          }
          if (!cp) {
            Fail("bad \\u escape");
            return std::nullopt;
          }
          AppendUtf8(out, *cp);
          break;
        }
        default:
          Fail("bad escape");
          return std::nullopt;
      }
    }
    Fail("unterminated string");
    return std::nullopt;
  }

  std::optional<Value> ParseArray(int depth) {
    ++i_;
    Array items;
    SkipBlanks();
    if (i_ < s_.size() && s_[i_] == ']') {
      ++i_;
      return Value(std::move(items));
    }
    while (true) {
      std::optional<Value> item = Parse(depth + 1);
      if (!item) return std::nullopt;
      items.push_back(std::move(*item));
      SkipBlanks();
      if (i_ < s_.size() && s_[i_] == ',') {
        ++i_;
        continue;
      }
      if (i_ < s_.size() && s_[i_] == ']') {
        ++i_;
        return Value(std::move(items));
      }
      return Fail("',' or ']' expected");
    }
  }

  std::optional<Value> ParseObject(int depth) {
    ++i_;
    Object members;
    SkipBlanks();
    if (i_ < s_.size() && s_[i_] == '}') {
      ++i_;
      return Value(std::move(members));
    }
    while (true) {
      SkipBlanks();
      if (i_ >= s_.size() || s_[i_] != '"') return Fail("key expected");
      std::optional<std::string> key = ParseString();
      if (!key) return std::nullopt;
      SkipBlanks();
      if (i_ >= s_.size() || s_[i_] != ':') return Fail("':' expected");
      ++i_;
      std::optional<Value> item = Parse(depth + 1);
      if (!item) return std::nullopt;
      if (!members.emplace(std::move(*key), std::move(*item)).second) return Fail("duplicate key");
      SkipBlanks();
      if (i_ < s_.size() && s_[i_] == ',') {
        ++i_;
        continue;
      }
      if (i_ < s_.size() && s_[i_] == '}') {
        ++i_;
        return Value(std::move(members));
      }
      return Fail("',' or '}' expected");
    }
  }

  std::string_view s_;
  size_t i_ = 0;
  std::string error_;
};

void WriteValue(std::string& out, const Value& v, int indent, int level);

void NewLine(std::string& out, int indent, int level) {
  if (indent < 0) return;
  out += '\n';
  out.append(size_t(indent) * size_t(level), ' ');
}

}  // namespace

Value::Value(Array a) : kind_(Kind::kArray), array_(std::move(a)) {}
Value::Value(Object o) : kind_(Kind::kObject), object_(std::move(o)) {}

std::optional<int64_t> Value::AsInt() const {
  if (kind_ == Kind::kInt) return int_;
  if (kind_ == Kind::kUnsigned && unsigned_ <= uint64_t(std::numeric_limits<int64_t>::max())) return int64_t(unsigned_);
  return std::nullopt;
}

std::optional<uint64_t> Value::AsUnsigned() const {
  if (kind_ == Kind::kInt && int_ >= 0) return uint64_t(int_);
  if (kind_ == Kind::kUnsigned) return unsigned_;
  return std::nullopt;
}

const Value& Value::operator[](const std::string& key) const {
  const Object* o = AsObject();
  if (!o) return kNull;
  auto found = o->find(key);
  return found == o->end() ? kNull : found->second;
}

std::string Value::Text(const std::string& key) const {
  const std::string* s = (*this)[key].AsString();
  return s ? *s : std::string();
}

namespace {

void WriteValue(std::string& out, const Value& v, int indent, int level) {
  if (v.IsNull()) {
    out += "null";
  } else if (const bool* b = v.AsBool()) {
    out += *b ? "true" : "false";
  } else if (const std::string* s = v.AsString()) {
    WriteString(out, *s);
  } else if (const Array* a = v.AsArray()) {
    out += '[';
    for (size_t k = 0; k < a->size(); ++k) {
      if (k) out += ',';
      NewLine(out, indent, level + 1);
      WriteValue(out, (*a)[k], indent, level + 1);
    }
    if (!a->empty()) NewLine(out, indent, level);
    out += ']';
  } else if (const Object* o = v.AsObject()) {
    out += '{';
    bool first = true;
    for (const auto& [key, member] : *o) {
      if (!first) out += ',';
      first = false;
      NewLine(out, indent, level + 1);
      WriteString(out, key);
      out += indent < 0 ? ":" : ": ";
      WriteValue(out, member, indent, level + 1);
    }
    if (!o->empty()) NewLine(out, indent, level);
    out += '}';
  } else if (v.kind() == Value::Kind::kUnsigned) {
    out += std::to_string(*v.AsUnsigned());
  } else if (std::optional<int64_t> i = v.AsInt()) {
    out += std::to_string(*i);
  }
}

}  // namespace

std::string Write(const Value& value, int indent) {
  std::string out;
  WriteValue(out, value, indent, 0);
  return out;
}

std::optional<Value> Read(std::string_view text, std::string* error) { return Reader(text).Whole(error); }

}  // namespace plexi::json
