// The Win32 machine, as far as it can be used without touching a real
// drive: system facts, error texts, and the device calls on a plain file
// that the test makes.
#include "platform/win/win_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/aligned_buffer.h"

#include <vector>

#include "platform/win/dev_log.h"
#include "platform/win/win_handles.h"
#include "platform/winconst.h"
#include "temp_folder.h"

namespace plexi::win {
namespace {

using platform::Access;

TEST(WinMachine, ErrorTextIsTheSystemsMessageWithItsLineBreak) {
  WinMachine machine;
  const std::string text = machine.ErrorText(winconst::kErrorAccessDenied);
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
  EXPECT_EQ(machine.DriveType("C:\\"), winconst::kDriveFixed);

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

TEST(WinMachine, VolumePathsAreLetterDevicesAndGuidNames) {
  EXPECT_TRUE(IsVolumePath("\\\\.\\C:"));
  EXPECT_TRUE(IsVolumePath("\\\\.\\e:"));
  EXPECT_FALSE(IsVolumePath("\\\\.\\PHYSICALDRIVE1"));
  EXPECT_FALSE(IsVolumePath("\\\\.\\C:\\"));
  EXPECT_FALSE(IsVolumePath("C:"));
  EXPECT_FALSE(IsVolumePath("\\\\.\\1:"));

  const std::string guid = "{1b3c5d7e-0000-11aa-8c2f-806e6f6e6963}";
  EXPECT_TRUE(IsVolumePath("\\\\?\\Volume" + guid));
  EXPECT_TRUE(IsVolumePath("\\\\.\\Volume" + guid));
  // With its backslash the name is the volume's root folder, not the volume.
  EXPECT_FALSE(IsVolumePath("\\\\?\\Volume" + guid + "\\"));
  EXPECT_FALSE(IsVolumePath("\\\\?\\Volume{1b3c5d7e-0000-11aa-8c2f-806e6f6e696}"));
  EXPECT_FALSE(IsVolumePath("\\\\?\\Volume{1b3c5d7e_0000-11aa-8c2f-806e6f6e6963}"));
  EXPECT_FALSE(IsVolumePath("\\\\?\\Harddisk0" + guid));
}

// Wine lists the volumes it maps to drive letters (or none at all); each one
// must be named the way OpenDevice opens a volume, and the volume holding
// the system directory must be the one mounted at its root.
TEST(WinMachine, VolumesAreGuidNamesWithTheSystemVolumeMarked) {
  WinMachine machine;
  const platform::VolumeList list = machine.Volumes();
  std::printf("Volumes(): %zu volume(s), complete=%d\n", list.volumes.size(), int(list.complete));
  const std::string system_root = machine.SystemDirectory().substr(0, 3);
  int system_volumes = 0;
  for (const platform::VolumeEntry& volume : list.volumes) {
    std::string mounts;
    for (const std::string& m : volume.mount_points) mounts += " " + m;
    std::printf("  %s system=%d boot=%d mounted at:%s\n", volume.path.c_str(),
                int(volume.holds_system), int(volume.boot), mounts.c_str());
    EXPECT_EQ(volume.path.rfind("\\\\?\\Volume{", 0), 0u) << volume.path;
    EXPECT_NE(volume.path.back(), '\\') << volume.path;
    EXPECT_TRUE(IsVolumePath(volume.path)) << volume.path;
    for (const std::string& m : volume.mount_points) EXPECT_EQ(m.back(), '\\') << m;
    if (volume.holds_system) {
      ++system_volumes;
      EXPECT_NE(std::find(volume.mount_points.begin(), volume.mount_points.end(), system_root),
                volume.mount_points.end());
    }
  }
  EXPECT_LE(system_volumes, 1);
  // Complete means the system volume was found among them.
  if (list.complete) {
    EXPECT_EQ(system_volumes, 1);
  }
}

// One erase at a time per disk, in any process: disk numbers no machine
// has, and no disk is opened.
TEST(WinMachine, AWholeDiskIsClaimedByOneEraseAtATime) {
  platform::Result<std::unique_ptr<platform::DriveClaim>> first = ClaimWholeDisk(4000);
  ASSERT_TRUE(first.ok()) << first.error();
  EXPECT_EQ(ClaimWholeDisk(4000).error(), winconst::kErrorLockViolation);
  EXPECT_TRUE(ClaimWholeDisk(4001).ok());
  first.value().reset();
  EXPECT_TRUE(ClaimWholeDisk(4000).ok());
}

TEST(WinMachine, DeviceCallsWorkOnAPlainFile) {
  plexi::testing::TempFolder folder;
  const std::string path = folder.utf8() + "image.bin";
  WinMachine machine;

  const auto missing = machine.OpenDevice(path, Access::kReadWrite);
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), winconst::kErrorFileNotFound);

  {
    UniqueFile create(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(create);
  }
  auto opened = machine.OpenDevice(path, Access::kReadWrite);
  ASSERT_TRUE(opened.ok()) << opened.error();
  platform::Device& device = *opened.value();
  // A file answers no device number, and is held by nothing here.
  EXPECT_TRUE(device.ClaimForErase().ok());

  // The handle bypasses the cache: buffers are sector-aligned.
  AlignedBuffer sector(512);
  for (size_t i = 0; i < sector.size(); ++i) sector.data()[i] = uint8_t(i * 7);
  ASSERT_TRUE(device.SetPosition(1024).ok());
  const auto written = device.Write(sector.data(), 512);
  EXPECT_TRUE(written.ok());
  EXPECT_EQ(written.value(), 512u);
  EXPECT_TRUE(device.Flush().ok());

  AlignedBuffer back(1024);
  ASSERT_TRUE(device.SetPosition(1024).ok());
  const auto read = device.Read(back.data(), 1024);  // short at the end of the file
  EXPECT_TRUE(read.ok());
  EXPECT_EQ(read.value(), 512u);
  EXPECT_EQ(std::memcmp(sector.data(), back.data(), 512), 0);

  // A query-only handle may not read data.
  auto query = machine.OpenDevice(path, Access::kQuery);
  ASSERT_TRUE(query.ok());
  const auto refused = query.value()->Read(back.data(), 512);
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), winconst::kErrorAccessDenied);
}

// A plain file the test makes, and what a log beside it holds.
class LoggedFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    UniqueFile create(CreateFileW(Utf8ToWide(image_).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(create);
    DWORD written = 0;
    const std::string bytes(4096, 'x');
    ASSERT_TRUE(WriteFile(create.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr));
  }

  std::string LogText() const {
    std::ifstream in(std::filesystem::path(folder_.wide() + L"devlog.log"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Fails an open, a control and a read, none of them on a real drive.
  // Returns the errors the machine reported, in that order.
  std::vector<uint32_t> FailThreeCalls(WinMachine& machine) {
    std::vector<uint32_t> errors;
    errors.push_back(machine.OpenDevice(kMissingDrive, Access::kQuery).error());
    auto query = machine.OpenDevice(image_, Access::kQuery);
    EXPECT_TRUE(query.ok());
    if (!query.ok()) return errors;
    uint8_t reply[64] = {};
    const auto control = query.value()->Control(kBogusControl, nullptr, 0, reply, sizeof reply);
    EXPECT_FALSE(control.ok());
    errors.push_back(control.error());
    // A query-only handle may not read: the read at 2048 fails.
    EXPECT_TRUE(query.value()->SetPosition(2048).ok());
    const auto read = query.value()->Read(reply, sizeof reply);
    EXPECT_FALSE(read.ok());
    errors.push_back(read.error());
    return errors;
  }

  static constexpr const char* kMissingDrive = "\\\\.\\PHYSICALDRIVE9999";
  static constexpr uint32_t kBogusControl = 0x00DEAD04;
  plexi::testing::TempFolder folder_;
  const std::string image_ = folder_.utf8() + "image.bin";
};

TEST_F(LoggedFailures, EachFailedCallIsOneLineWithItsErrorAndText) {
  WinMachine machine(std::make_shared<DevLog>(folder_.utf8() + kDevLogFileName));
  const std::vector<uint32_t> errors = FailThreeCalls(machine);
  ASSERT_EQ(errors.size(), 3u);
  const std::string text = LogText();
  std::printf("%s", text.c_str());

  const auto line_with = [&text](const std::string& part) {
    const size_t at = text.find(part);
    if (at == std::string::npos) return std::string();
    const size_t start = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    return text.substr(start, text.find("\r\n", at) - start);
  };
  const auto expect_error = [](const std::string& line, uint32_t error) {
    const std::string text = SystemErrorText(error);
    EXPECT_NE(line.find(" error=" + std::to_string(error) + " " +
                        text.substr(0, text.find_first_of("\r\n"))),
              std::string::npos)
        << line;
  };
  const std::string open = line_with("CreateFileW \\\\.\\PHYSICALDRIVE9999 access=query");
  ASSERT_FALSE(open.empty()) << text;
  expect_error(open, errors[0]);
  const std::string control = line_with("DeviceIoControl(0x00DEAD04) " + image_);
  ASSERT_FALSE(control.empty()) << text;
  expect_error(control, errors[1]);
  const std::string read = line_with("ReadFile " + image_ + " at=2048 bytes=64");
  ASSERT_FALSE(read.empty()) << text;
  expect_error(read, errors[2]);
  EXPECT_EQ(errors[2], winconst::kErrorAccessDenied);
  // Nothing but the three failures: the successful calls leave no line.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST_F(LoggedFailures, ControlNamesAreTheSdkNames) {
  WinMachine machine(std::make_shared<DevLog>(folder_.utf8() + kDevLogFileName));
  auto query = machine.OpenDevice(image_, Access::kQuery);
  ASSERT_TRUE(query.ok());
  uint8_t reply[64] = {};
  // A plain file is no disk: the request fails (Wine and Windows alike).
  if (!query.value()->Control(winconst::kIoctlDiskGetDriveGeometry, nullptr, 0, reply, sizeof reply)
           .ok()) {
    EXPECT_NE(LogText().find("DeviceIoControl(IOCTL_DISK_GET_DRIVE_GEOMETRY) " + image_),
              std::string::npos)
        << LogText();
  }
}

TEST_F(LoggedFailures, WithoutALogNothingIsWritten) {
  const std::string beside_program = ExecutableDirectory() + kDevLogFileName;
  const bool existed = std::filesystem::exists(std::filesystem::path(Utf8ToWide(beside_program)));
  WinMachine machine;
  const std::vector<uint32_t> errors = FailThreeCalls(machine);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_NE(errors[0], 0u);
  // The folder holds only the test's own file.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.wide())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
  if (!existed) {
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(Utf8ToWide(beside_program))));
  }
}

// The system queries under Wine: whatever fails is logged as well-formed
// lines, and the answers are those of a machine without a log.
TEST_F(LoggedFailures, SystemQueriesWithALogAnswerAsWithout) {
  WinMachine logged(std::make_shared<DevLog>(folder_.utf8() + kDevLogFileName));
  WinMachine plain;
  EXPECT_EQ(logged.Volumes().volumes.size(), plain.Volumes().volumes.size());
  EXPECT_EQ(logged.LogicalDriveStrings(), plain.LogicalDriveStrings());
  EXPECT_EQ(logged.VolumeLabel("Q:\\"), std::nullopt);  // no such drive
  std::vector<uint8_t> reply(512);
  EXPECT_FALSE(logged.IdentifyDevice(0, reply.data()));

  const std::string text = LogText();
  std::printf("%s", text.c_str());
  EXPECT_NE(text.find("GetVolumeInformationW Q:\\ error="), std::string::npos) << text;
  EXPECT_NE(text.find("Mediagauge.dll error="), std::string::npos) << text;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_NE(text.substr(start, end - start).find(" error="), std::string::npos);
    start = end + 2;
  }
}

}  // namespace
}  // namespace plexi::win
