// The program's name and its maker's, as the user and the registry see
// them: the title of every message box and the settings key
// HKEY_CURRENT_USER\Software\<maker>\<title>.
#pragma once

namespace plexi {

inline constexpr char kAppTitle[] = "プレキシスクラブ";
inline constexpr wchar_t kAppTitleWide[] = L"プレキシスクラブ";
inline constexpr wchar_t kSettingsKeyWide[] = L"Software\\Ｑ＆Ｚ\\プレキシスクラブ";

}  // namespace plexi
