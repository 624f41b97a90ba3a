// Files beside the executable, exercised in a temporary folder.
#include "platform/win/win_file_store.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win/win_handles.h"
#include "platform/winconst.h"
#include "temp_folder.h"

namespace plexi::win {
namespace {

using plexi::testing::TempFolder;

TEST(WinFileStore, DefaultFolderIsTheExecutables) {
  WinFileStore files;
  const std::string folder = files.ProgramDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_TRUE(files.Exists(folder + "plexiscrub_win_tests.exe"));
}

TEST(WinFileStore, ReplaceAndReadRoundTrip) {
  TempFolder folder;
  WinFileStore files(folder.utf8());
  const std::string path = folder.utf8() + "errlog.log";

  const auto missing = files.Read(path);
  EXPECT_FALSE(missing.exists);
  EXPECT_EQ(missing.error, 0u);
  EXPECT_FALSE(files.Exists(path));

  const std::string first("line one\r\n\0binary\xFF", 19);
  ASSERT_TRUE(files.Replace(path, first).ok());
  auto content = files.Read(path);
  EXPECT_TRUE(content.exists);
  EXPECT_EQ(content.error, 0u);
  EXPECT_EQ(content.bytes, first);

  ASSERT_TRUE(files.Replace(path, "shorter").ok());
  EXPECT_EQ(files.Read(path).bytes, "shorter");
  EXPECT_FALSE(files.Exists(path + ".tmp"));

  ASSERT_TRUE(files.Replace(path, "").ok());
  content = files.Read(path);
  EXPECT_TRUE(content.exists);
  EXPECT_EQ(content.bytes, "");
}

TEST(WinFileStore, FailedReplaceKeepsTheOldFile) {
  TempFolder folder;
  WinFileStore files(folder.utf8());
  const std::string path = folder.utf8() + "drvnotlist.txt";
  ASSERT_TRUE(files.Replace(path, "old").ok());

  // Another program holds the file open without sharing: the rename fails.
  {
    UniqueFile held(CreateFileW((folder.wide() + L"drvnotlist.txt").c_str(), GENERIC_READ, 0,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(files.Replace(path, "new").ok());
    EXPECT_FALSE(files.Exists(path + ".tmp"));
  }
  EXPECT_EQ(files.Read(path).bytes, "old");

  // The temporary file cannot be made: nothing changes either.
  ASSERT_TRUE(CreateDirectoryW((folder.wide() + L"drvnotlist.txt.tmp").c_str(), nullptr));
  EXPECT_FALSE(files.Replace(path, "new").ok());
  EXPECT_EQ(files.Read(path).bytes, "old");

  EXPECT_EQ(files.Replace(folder.utf8() + "missing\\x.txt", "x").error(), winconst::kErrorPathNotFound);
}

// A new file never takes the place of one there, and leaves no temporary
// file behind either way.
TEST(WinFileStore, CreateNewNeverReplaces) {
  TempFolder folder;
  WinFileStore files(folder.utf8());
  const std::string path = folder.utf8() + "20261208-090507_S1.json";
  ASSERT_TRUE(files.CreateNew(path, "first").ok());
  EXPECT_EQ(files.CreateNew(path, "second").error(), winconst::kErrorFileExists);
  EXPECT_EQ(files.Read(path).bytes, "first");
  EXPECT_EQ(files.ListFolder(folder.utf8())->size(), 1u);
  EXPECT_EQ(files.CreateNew(folder.utf8() + "missing\\x.json", "x").error(), winconst::kErrorPathNotFound);
}

TEST(WinFileStore, UnreadableFileReportsItsError) {
  TempFolder folder;
  WinFileStore files(folder.utf8());
  // A folder where the file should be exists but cannot be read as a file.
  ASSERT_TRUE(CreateDirectoryW((folder.wide() + L"errlog.log").c_str(), nullptr));
  const auto content = files.Read(folder.utf8() + "errlog.log");
  EXPECT_TRUE(content.exists);
  EXPECT_NE(content.error, 0u);
  EXPECT_FALSE(files.Exists(folder.utf8() + "errlog.log"));
}

}  // namespace
}  // namespace plexi::win
