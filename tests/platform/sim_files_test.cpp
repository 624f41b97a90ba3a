#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/directory_file_store.h"
#include "platform/sim/file_settings.h"
#include "platform/winconst.h"

namespace plexi::sim {
namespace {

namespace fs = std::filesystem;

class SimFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plexi_sim_files_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  fs::path dir_;
};

TEST_F(SimFilesTest, SettingsRoundTrip) {
  FileSettings settings(Path("settings.txt"));
  EXPECT_FALSE(settings.Exists("Version"));  // no file: an empty key
  ASSERT_TRUE(settings.WriteInt("Version", -42).ok());
  const std::string tricky = "a=b\\c\r\nline two\t消去\x01";
  ASSERT_TRUE(settings.WriteText("Key=With\\Odd\nName", tricky).ok());
  ASSERT_TRUE(settings.WriteText("Empty", "").ok());

  FileSettings again(Path("settings.txt"));  // what another copy reads
  EXPECT_EQ(again.ReadInt("Version"), -42);
  EXPECT_EQ(again.ReadInt("VERSION"), -42);  // names ignore case, as in the registry
  EXPECT_EQ(again.ReadText("Key=With\\Odd\nName"), tricky);
  EXPECT_EQ(again.ReadText("Empty"), "");
  EXPECT_EQ(again.ReadText("Version"), std::nullopt);  // wrong type reads as absent
  EXPECT_EQ(again.ReadInt("Empty"), std::nullopt);
  EXPECT_TRUE(again.Exists("empty"));
  ASSERT_TRUE(again.WriteInt("version", 7).ok());
  EXPECT_EQ(settings.ReadInt("Version"), 7);
  // One line per value; nothing left behind.
  std::string text = Slurp(Path("settings.txt"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SimFilesTest, SettingsSkipMalformedLines) {
  Put(Path("settings.txt"),
      "Good=int:5\r\nno separator\nBad=int:12x\nHuge=int:99999999999\nOdd=float:1\n"
      "Esc=text:bad\\q\n=int:3\nText=text:caf\xC3\xA9\\x3Dx\n");
  FileSettings settings(Path("settings.txt"));
  EXPECT_EQ(settings.ReadInt("Good"), 5);
  EXPECT_EQ(settings.ReadText("Text"), "caf\xC3\xA9=x");
  for (const char* name : {"Bad", "Huge", "Odd", "Esc", ""}) EXPECT_FALSE(settings.Exists(name)) << name;
  ASSERT_TRUE(settings.WriteInt("New", 1).ok());
  EXPECT_EQ(settings.ReadInt("Good"), 5);  // the good lines survive a write
  EXPECT_EQ(settings.ReadText("Text"), "caf\xC3\xA9=x");
}

TEST_F(SimFilesTest, SettingsWriteFailsWithoutFolder) {
  FileSettings settings(Path("missing/settings.txt"));
  platform::Result<> s = settings.WriteInt("A", 1);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.error(), winconst::kErrorPathNotFound);
  EXPECT_FALSE(settings.Exists("A"));
}

TEST_F(SimFilesTest, StoreReadsAndReplaces) {
  DirectoryFileStore store(dir_.string());
  std::string folder = store.ProgramDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), char(fs::path::preferred_separator));

  EXPECT_FALSE(store.Exists("errlog.log"));
  platform::FileContent none = store.Read("errlog.log");
  EXPECT_FALSE(none.exists);
  EXPECT_EQ(none.error, 0u);

  ASSERT_TRUE(store.Replace("errlog.log", std::string("one\0two", 7)).ok());
  EXPECT_TRUE(store.Exists(folder + "errlog.log"));  // absolute paths work too
  platform::FileContent content = store.Read(folder + "errlog.log");
  EXPECT_TRUE(content.exists);
  EXPECT_EQ(content.bytes, std::string("one\0two", 7));
  ASSERT_TRUE(store.Replace("errlog.log", "three").ok());
  EXPECT_EQ(store.Read("errlog.log").bytes, "three");
  EXPECT_FALSE(fs::exists(dir_ / "errlog.log.tmp"));

  fs::create_directory(dir_ / "folder");
  platform::FileContent folder_read = store.Read("folder");
  EXPECT_TRUE(folder_read.exists);
  EXPECT_EQ(folder_read.error, winconst::kErrorAccessDenied);
}

TEST_F(SimFilesTest, FailedReplaceKeepsTheOldFile) {
  DirectoryFileStore store(dir_.string());
  ASSERT_TRUE(store.Replace("drvnotlist.txt", "old").ok());
  // A folder where the temporary file should go: the write cannot happen.
  fs::create_directory(dir_ / "drvnotlist.txt.tmp");
  EXPECT_FALSE(store.Replace("drvnotlist.txt", "new").ok());
  EXPECT_EQ(Slurp(Path("drvnotlist.txt")), "old");
  fs::remove(dir_ / "drvnotlist.txt.tmp");

  // A folder in the way of the file itself: the rename fails, the temporary goes.
  fs::create_directory(dir_ / "help");
  EXPECT_FALSE(store.Replace("help", "x").ok());
  EXPECT_TRUE(fs::is_directory(dir_ / "help"));
  EXPECT_FALSE(fs::exists(dir_ / "help.tmp"));

  DirectoryFileStore nowhere((dir_ / "no" / "such").string());
  platform::Result<> s = nowhere.Replace("errlog.log", "x");
  EXPECT_EQ(s.error(), winconst::kErrorPathNotFound);
}

}  // namespace
}  // namespace plexi::sim
