#include "platform/win/win_settings.h"

#include <vector>

#include "platform/app_identity.h"
#include "platform/win/utf.h"

namespace plexi::win {

const wchar_t* const kSettingsKeyPath = kSettingsKeyWide;

WinSettings::WinSettings(const wchar_t* key_path) {
  open_error_ = RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key_.put(), nullptr);
}

bool WinSettings::Exists(const std::string& name) {
  if (!key_) return false;
  return RegQueryValueExW(key_.get(), Utf8ToWide(name).c_str(), nullptr, nullptr, nullptr,
                          nullptr) == ERROR_SUCCESS;
}

std::optional<int32_t> WinSettings::ReadInt(const std::string& name) {
  if (!key_) return std::nullopt;
  DWORD type = 0, value = 0, size = sizeof(value);
  const LSTATUS status = RegQueryValueExW(key_.get(), Utf8ToWide(name).c_str(), nullptr, &type,
                                          reinterpret_cast<BYTE*>(&value), &size);
  if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return std::nullopt;
  return static_cast<int32_t>(value);
}

platform::Result<> WinSettings::WriteInt(const std::string& name, int32_t value) {
  if (!key_) return platform::Result<>::Failure(uint32_t(open_error_));
  const DWORD data = static_cast<DWORD>(value);
  const LSTATUS status = RegSetValueExW(key_.get(), Utf8ToWide(name).c_str(), 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&data), sizeof(data));
  return platform::Result<>::FromCode(uint32_t(status));
}

std::optional<std::string> WinSettings::ReadText(const std::string& name) {
  if (!key_) return std::nullopt;
  const std::wstring wide_name = Utf8ToWide(name);
  // The value may change between asking its size and reading it: retry then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, size = 0;
    LSTATUS status = RegQueryValueExW(key_.get(), wide_name.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    status = RegQueryValueExW(key_.get(), wide_name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    // The stored text need not end with a NUL; stop at the first one if it does.
    std::wstring text(data.data(), size / sizeof(wchar_t));
    const size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return WideToUtf8(text);
  }
  return std::nullopt;
}

platform::Result<> WinSettings::WriteText(const std::string& name, const std::string& value) {
  if (!key_) return platform::Result<>::Failure(uint32_t(open_error_));
  const std::wstring text = Utf8ToWide(value);
  const DWORD bytes = DWORD((text.size() + 1) * sizeof(wchar_t));
  const LSTATUS status = RegSetValueExW(key_.get(), Utf8ToWide(name).c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(text.c_str()), bytes);
  return platform::Result<>::FromCode(uint32_t(status));
}

}  // namespace plexi::win
