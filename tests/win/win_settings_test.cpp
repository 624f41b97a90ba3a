// The settings in the registry of the machine the tests run on (the Wine
// prefix), under the program's own key, with value names of their own that
// are removed again.
#include "platform/win/win_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace plexi::win {
namespace {

class WinSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_ALL_ACCESS, key_.put()),
              ERROR_SUCCESS)
        << "WinSettings creates its key";
  }
  void TearDown() override {
    for (const wchar_t* name : {L"plexiscrub-test-int", L"plexiscrub-test-text"})
      RegDeleteValueW(key_.get(), name);
  }
  void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }

  WinSettings settings_;  // made first: it creates the key
  UniqueRegKey key_;
};

TEST_F(WinSettingsTest, IntegersAndTextsRoundTrip) {
  EXPECT_FALSE(settings_.Exists("plexiscrub-test-int"));
  EXPECT_FALSE(settings_.ReadInt("plexiscrub-test-int").has_value());

  ASSERT_TRUE(settings_.WriteInt("plexiscrub-test-int", -2).ok());
  EXPECT_TRUE(settings_.Exists("plexiscrub-test-int"));
  EXPECT_EQ(settings_.ReadInt("plexiscrub-test-int"), -2);

  const std::string folder = "C:\\プログラム\\Ｑ＆Ｚ\\";
  ASSERT_TRUE(settings_.WriteText("plexiscrub-test-text", folder).ok());
  EXPECT_EQ(settings_.ReadText("plexiscrub-test-text"), folder);
  ASSERT_TRUE(settings_.WriteText("plexiscrub-test-text", "").ok());
  EXPECT_EQ(settings_.ReadText("plexiscrub-test-text"), "");
}

TEST_F(WinSettingsTest, ValueOfTheWrongTypeReadsAsAbsent) {
  const wchar_t text[] = L"12";
  WriteRaw(L"plexiscrub-test-int", REG_SZ, text, sizeof(text));
  EXPECT_TRUE(settings_.Exists("plexiscrub-test-int"));
  EXPECT_FALSE(settings_.ReadInt("plexiscrub-test-int").has_value());

  const BYTE four_bytes[4] = {1, 0, 0, 0};
  WriteRaw(L"plexiscrub-test-int", REG_BINARY, four_bytes, 4);
  EXPECT_FALSE(settings_.ReadInt("plexiscrub-test-int").has_value());

  const DWORD number = 3;
  WriteRaw(L"plexiscrub-test-text", REG_DWORD, &number, sizeof(number));
  EXPECT_FALSE(settings_.ReadText("plexiscrub-test-text").has_value());
}

TEST_F(WinSettingsTest, TextStoredWithoutTerminatorIsReadWhole) {
  // Other tools may store a REG_SZ without its final NUL.
  const wchar_t text[] = {L'C', L':', L'\\'};
  WriteRaw(L"plexiscrub-test-text", REG_SZ, text, sizeof(text));
  EXPECT_EQ(settings_.ReadText("plexiscrub-test-text"), "C:\\");
}

}  // namespace
}  // namespace plexi::win
