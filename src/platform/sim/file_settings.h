// Program settings kept in a small text file instead of the registry: one
// value a line, "name=int:123" or "name=text:...", with backslash escapes.
// A missing file is an empty key; a malformed line is skipped and the others
// are kept. Each write reads the file afresh (another running copy may have
// changed it) and replaces it through a temporary file.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <variant>

#include "platform/platform.h"

namespace plexi::sim {

class FileSettings : public platform::Settings {
 public:
  explicit FileSettings(std::string path);

  bool Exists(const std::string& name) override;
  std::optional<int32_t> ReadInt(const std::string& name) override;
  platform::Result<> WriteInt(const std::string& name, int32_t value) override;
  std::optional<std::string> ReadText(const std::string& name) override;
  platform::Result<> WriteText(const std::string& name, const std::string& value) override;

  // Escaping of names and texts: "\\" for a backslash, "\xHH" for control
  // characters and '='.
  static std::string Escape(const std::string& raw);
  static std::optional<std::string> Unescape(const std::string& escaped);

 private:
  using Value = std::variant<int32_t, std::string>;
  // Registry value names ignore letter case; the key is the upper-cased name.
  struct Entry {
    std::string name;
    Value value;
  };
  using Values = std::map<std::string, Entry>;

  Values Load() const;
  platform::Result<> Store(const std::string& name, Value value);
  std::optional<Value> Find(const std::string& name) const;

  std::string path_;
};

}  // namespace plexi::sim
