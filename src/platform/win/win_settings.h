// The program's settings in the registry under HKEY_CURRENT_USER.
#pragma once
#include <string>

#include "platform/platform.h"
#include "platform/win/win_handles.h"

namespace plexi::win {

// "Software\Ｑ＆Ｚ\プレキシスクラブ"
extern const wchar_t* const kSettingsKeyPath;

class WinSettings : public platform::Settings {
 public:
  // Opens the key, creating it when it is missing. When that fails every
  // read is absent and every write returns the error of the open.
  explicit WinSettings(const wchar_t* key_path = kSettingsKeyPath);

  bool Exists(const std::string& name) override;
  std::optional<int32_t> ReadInt(const std::string& name) override;
  platform::Result<> WriteInt(const std::string& name, int32_t value) override;
  std::optional<std::string> ReadText(const std::string& name) override;
  platform::Result<> WriteText(const std::string& name, const std::string& value) override;

 private:
  UniqueRegKey key_;
  LSTATUS open_error_ = ERROR_SUCCESS;
};

}  // namespace plexi::win
