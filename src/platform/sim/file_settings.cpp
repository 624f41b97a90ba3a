#include "platform/sim/file_settings.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <random>

#include "platform/sim/file_util.h"
#include "platform/winconst.h"
#include "util/text_lines.h"

namespace plexi::sim {
namespace {

std::string FoldCase(const std::string& name) {
  std::string folded;
  for (char c : name) folded.push_back(char(std::toupper(static_cast<unsigned char>(c))));
  return folded;
}

std::optional<int32_t> ParseInt(const std::string& text) {
  if (text.empty() || text.size() > 11) return std::nullopt;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    v = v * 10 + (text[i] - '0');
  }
  if (text[0] == '-') v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return int32_t(v);
}

}  // namespace

FileSettings::FileSettings(std::string path) : path_(std::move(path)) {}

std::string FileSettings::Escape(const std::string& raw) {
  std::string out;
  for (char c : raw) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (u < 0x20 || u == 0x7F || c == '=') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::optional<std::string> FileSettings::Unescape(const std::string& escaped) {
  std::string out;
  for (size_t i = 0; i < escaped.size(); ++i) {
    char c = escaped[i];
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return std::nullopt;  // raw control characters never appear
    if (c != '\\') {
      out.push_back(c);
    } else if (i + 1 < escaped.size() && escaped[i + 1] == '\\') {
      out.push_back('\\');
      ++i;
    } else if (i + 3 < escaped.size() && escaped[i + 1] == 'x' &&
               std::isxdigit(static_cast<unsigned char>(escaped[i + 2])) &&
               std::isxdigit(static_cast<unsigned char>(escaped[i + 3]))) {
      out.push_back(char(std::stoi(escaped.substr(i + 2, 2), nullptr, 16)));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

FileSettings::Values FileSettings::Load() const {
  Values values;
  std::string text;
  if (ReadWholeFile(PathFromUtf8(path_), &text) != 0) return values;
  for (const std::string& line : SplitTextLines(text)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    std::optional<std::string> name = Unescape(line.substr(0, eq));
    std::string rest = line.substr(eq + 1);
    if (!name) continue;
    if (rest.rfind("int:", 0) == 0) {
      if (auto v = ParseInt(rest.substr(4))) values[FoldCase(*name)] = {*name, *v};
    } else if (rest.rfind("text:", 0) == 0) {
      if (auto v = Unescape(rest.substr(5))) values[FoldCase(*name)] = {*name, *v};
    }
  }
  return values;
}

std::optional<FileSettings::Value> FileSettings::Find(const std::string& name) const {
  Values values = Load();
  auto it = values.find(FoldCase(name));
  if (it == values.end()) return std::nullopt;
  return it->second.value;
}

platform::Result<> FileSettings::Store(const std::string& name, Value value) {
  if (name.empty()) return platform::Result<>::Failure(winconst::kErrorInvalidParameter);
  Values values = Load();
  values[FoldCase(name)] = {name, std::move(value)};
  std::string text;
  for (const auto& [key, entry] : values) {
    text += Escape(entry.name) + "=";
    if (const int32_t* i = std::get_if<int32_t>(&entry.value)) text += "int:" + std::to_string(*i);
    else text += "text:" + Escape(std::get<std::string>(entry.value));
    text += "\n";
  }
  // A temporary name of its own, so two copies writing at once do not share one.
  std::random_device random;
  std::string temporary = path_ + ".tmp" + std::to_string(random() % 1000000);
  return platform::Result<>::FromCode(ReplaceFile(PathFromUtf8(path_), PathFromUtf8(temporary), text));
}

bool FileSettings::Exists(const std::string& name) { return Find(name).has_value(); }

std::optional<int32_t> FileSettings::ReadInt(const std::string& name) {
  std::optional<Value> v = Find(name);
  if (!v || !std::holds_alternative<int32_t>(*v)) return std::nullopt;
  return std::get<int32_t>(*v);
}

std::optional<std::string> FileSettings::ReadText(const std::string& name) {
  std::optional<Value> v = Find(name);
  if (!v || !std::holds_alternative<std::string>(*v)) return std::nullopt;
  return std::get<std::string>(*v);
}

platform::Result<> FileSettings::WriteInt(const std::string& name, int32_t value) {
  return Store(name, value);
}

platform::Result<> FileSettings::WriteText(const std::string& name, const std::string& value) {
  return Store(name, value);
}

}  // namespace plexi::sim
