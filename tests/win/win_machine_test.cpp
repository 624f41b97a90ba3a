// The Win32 machine, as far as it can be used without touching a real
// drive: system facts, error texts, and the device calls on a plain file
// that the test makes.
#include "platform/win/win_machine.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/aligned_buffer.h"

#include <vector>

#include "platform/win/win_handles.h"
#include "platform/winconst.h"
#include "temp_folder.h"

namespace plexi::win {
namespace {

using platform::Access;

TEST(WinMachine, ErrorTextIsTheSystemsMessageWithItsLineBreak) {
  WinMachine machine;
  const std::string text = machine.ErrorText(win32::kErrorAccessDenied);
  ASSERT_GT(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  // A code the system has no message for gives no text at all.
  EXPECT_EQ(machine.ErrorText(0x2000ABCD), "");
}

TEST(WinMachine, SystemFacts) {
  WinMachine machine;
  EXPECT_EQ(machine.SystemDirectory().substr(0, 3), "C:\\");
  EXPECT_TRUE(machine.LogicalDriveMask() & (1u << 2));  // C:

  const std::string drives = machine.LogicalDriveStrings();
  ASSERT_GE(drives.size(), 5u);
  EXPECT_EQ(drives.substr(drives.size() - 2), std::string(2, '\0'));
  EXPECT_NE(drives.find(std::string("C:\\") + '\0'), std::string::npos);
  EXPECT_EQ(machine.DriveType("C:\\"), win32::kDriveFixed);

  const platform::LocalTime t{2026, 3, 4, 5, 6, 7};
  EXPECT_NE(machine.DateText(t).find("2026"), std::string::npos);
  EXPECT_NE(machine.TimeText(t).find("06"), std::string::npos);
  EXPECT_GE(machine.Now().year, 2020);
}

TEST(WinMachine, IdentifyWithoutTheLibraryAnswersNo) {
  WinMachine machine;
  std::vector<uint8_t> reply(512, 0xAA);
  EXPECT_FALSE(machine.IdentifyDevice(0, reply.data()));
}

TEST(WinMachine, VolumePathsAreOnlyLetterDevices) {
  EXPECT_TRUE(IsVolumePath("\\\\.\\C:"));
  EXPECT_TRUE(IsVolumePath("\\\\.\\e:"));
  EXPECT_FALSE(IsVolumePath("\\\\.\\PHYSICALDRIVE1"));
  EXPECT_FALSE(IsVolumePath("\\\\.\\C:\\"));
  EXPECT_FALSE(IsVolumePath("C:"));
  EXPECT_FALSE(IsVolumePath("\\\\.\\1:"));
}

TEST(WinMachine, DeviceCallsWorkOnAPlainFile) {
  plexi::testing::TempFolder folder;
  const std::string path = folder.utf8() + "image.bin";
  WinMachine machine;

  const auto missing = machine.OpenDevice(path, Access::kReadWrite);
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(missing.error, win32::kErrorFileNotFound);

  {
    UniqueFile create(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(create);
  }
  auto opened = machine.OpenDevice(path, Access::kReadWrite);
  ASSERT_TRUE(opened.ok()) << opened.error;
  platform::Device& device = *opened.device;

  // The handle bypasses the cache: buffers are sector-aligned.
  AlignedBuffer sector(512);
  for (size_t i = 0; i < sector.size(); ++i) sector.data()[i] = uint8_t(i * 7);
  ASSERT_TRUE(device.SetPosition(1024).ok());
  const auto written = device.Write(sector.data(), 512);
  EXPECT_TRUE(written.ok);
  EXPECT_EQ(written.bytes, 512u);
  EXPECT_TRUE(device.Flush().ok());

  AlignedBuffer back(1024);
  ASSERT_TRUE(device.SetPosition(1024).ok());
  const auto read = device.Read(back.data(), 1024);  // short at the end of the file
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(read.bytes, 512u);
  EXPECT_EQ(std::memcmp(sector.data(), back.data(), 512), 0);

  // A query-only handle may not read data.
  auto query = machine.OpenDevice(path, Access::kQuery);
  ASSERT_TRUE(query.ok());
  const auto refused = query.device->Read(back.data(), 512);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, win32::kErrorAccessDenied);
}

}  // namespace
}  // namespace plexi::win
