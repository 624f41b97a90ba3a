// The Linux backend on image files the tests create: what the control
// calls report, how reads and writes move, and how Linux failures read as
// Windows codes.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/ioctl_layout.h"
#include "platform/posix/posix_device.h"
#include "platform/posix/posix_errors.h"
#include "platform/posix/posix_machine.h"
#include "platform/winconst.h"
#include "posix_test_support.h"

namespace plexi::posix {
namespace {

using platform::Access;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteImage;

constexpr uint64_t kMiB = 1 << 20;

uint8_t PatternByte(uint64_t i) { return uint8_t(i * 7 + 3); }

layout::DiskGeometry GeometryOf(platform::Device& device) {
  uint8_t reply[winconst::kDiskGeometrySize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlDiskGetDriveGeometry, nullptr, 0, reply,
                                        sizeof reply);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), winconst::kDiskGeometrySize);
  return layout::DiskGeometry::Decode(reply);
}

// Memory aligned for direct I/O, with room to hand out an unaligned view.
struct AlignedBuffer {
  explicit AlignedBuffer(size_t size) {
    EXPECT_EQ(::posix_memalign(memory.put(), 4096, size + 4096), 0);
  }
  uint8_t* data() { return static_cast<uint8_t*>(memory.get()); }
  AlignedMemory memory;
};

class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  std::unique_ptr<platform::Device> Open(const std::string& path, Access access) {
    platform::Result<std::unique_ptr<platform::Device>> r = machine.OpenDevice(path, access);
    EXPECT_TRUE(r.ok()) << "open " << path << " failed with " << r.error();
    return std::move(r.value());
  }
  ScratchDir dir;
  PosixMachine machine;
};

TEST_F(ImageTest, GeometryCountsEverySectorOfTheImage) {
  std::string image = dir.file("one.img");
  WriteImage(image, kMiB);
  layout::DiskGeometry g = GeometryOf(*Open(image, Access::kQuery));
  EXPECT_EQ(g.bytes_per_sector, 512u);
  EXPECT_EQ(g.SectorCount(), 2048u);
  EXPECT_EQ(g.SectorCount() * g.bytes_per_sector, kMiB);

  ASSERT_TRUE(machine.SetImageSectorSize(4096));
  g = GeometryOf(*Open(image, Access::kRead));
  EXPECT_EQ(g.bytes_per_sector, 4096u);
  EXPECT_EQ(g.SectorCount(), 256u);

  for (uint32_t bad : {0u, 256u, 1000u, 131072u}) EXPECT_FALSE(machine.SetImageSectorSize(bad));
  EXPECT_EQ(machine.ImageSectorSize(), 4096u);
}

TEST_F(ImageTest, ControlRepliesNeedRoomAndKnownCodes) {
  std::string image = dir.file("small.img");
  WriteImage(image, 64 * 1024);
  auto device = Open(image, Access::kQuery);
  uint8_t reply[64] = {};
  platform::IoResult r = device->Control(winconst::kIoctlDiskGetDriveGeometry, nullptr, 0, reply, 23);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.error(), winconst::kErrorInsufficientBuffer);

  r = device->Control(winconst::kIoctlDiskGetPartitionInfo, nullptr, 0, reply, sizeof reply);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), winconst::kPartitionInformationSize);
  layout::PartitionInformation p = layout::PartitionInformation::Decode(reply);
  EXPECT_EQ(p.starting_offset, 0);
  EXPECT_EQ(p.partition_length, 64 * 1024);

  EXPECT_TRUE(device->Control(winconst::kFsctlLockVolume, nullptr, 0, nullptr, 0).ok());
  EXPECT_TRUE(device->Control(winconst::kFsctlUnlockVolume, nullptr, 0, nullptr, 0).ok());
  r = device->Control(winconst::kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, reply, sizeof reply);
  EXPECT_EQ(r.error(), winconst::kErrorInvalidFunction);
}

TEST_F(ImageTest, StorageDescriptorLaysOutItsStringsAfterTheHeader) {
  std::string image = dir.file("desc.img");
  WriteImage(image, 4096);
  auto device = Open(image, Access::kQuery);
  uint8_t query[winconst::kStoragePropertyQuerySize] = {};
  std::vector<uint8_t> reply(winconst::kStorageDescriptorBufferSize, 0xEE);
  platform::IoResult r = device->Control(winconst::kIoctlStorageQueryProperty, query, sizeof query,
                                         reply.data(), uint32_t(reply.size()));
  ASSERT_TRUE(r.ok());
  std::string path = std::filesystem::canonical(image).string();
  ASSERT_EQ(r.value(), 40u + sizeof "Image file" + path.size() + 1);

  auto h = layout::StorageDescriptorHeader::Decode(reply.data());
  EXPECT_EQ(h.size, r.value());
  EXPECT_EQ(h.bus_type, winconst::kBusTypeFileBackedVirtual);
  EXPECT_EQ(h.vendor_id_offset, 0u);
  EXPECT_EQ(h.product_revision_offset, 0u);
  EXPECT_EQ(h.product_id_offset, 40u);
  EXPECT_STREQ(reinterpret_cast<char*>(&reply[h.product_id_offset]), "Image file");
  ASSERT_NE(h.serial_number_offset, 0u);
  EXPECT_EQ(reinterpret_cast<char*>(&reply[h.serial_number_offset]), path);
  EXPECT_EQ(reply[r.value() - 1], 0);
  EXPECT_EQ(reply[r.value()], 0xEE) << "wrote past the bytes it reported";

  // A short buffer gets the beginning; the size field still tells the whole.
  std::vector<uint8_t> shorter(48, 0xEE);
  r = device->Control(winconst::kIoctlStorageQueryProperty, query, sizeof query, shorter.data(), 45);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 45u);
  EXPECT_EQ(layout::StorageDescriptorHeader::Decode(shorter.data()).size, h.size);
  EXPECT_EQ(shorter[45], 0xEE);

  EXPECT_EQ(device->Control(winconst::kIoctlStorageQueryProperty, nullptr, 0, reply.data(), 1024)
                .error(),
            winconst::kErrorInvalidParameter);
  query[0] = 1;  // StorageAdapterProperty
  EXPECT_EQ(device->Control(winconst::kIoctlStorageQueryProperty, query, sizeof query, reply.data(),
                            1024)
                .error(),
            winconst::kErrorNotSupported);
}

TEST_F(ImageTest, ReadsAndWritesMoveFromTheTrackedPosition) {
  std::string image = dir.file("rw.img");
  WriteImage(image, 64 * 1024, PatternByte);
  auto device = Open(image, Access::kReadWrite);
  AlignedBuffer buffer(8192);

  ASSERT_TRUE(device->SetPosition(3 * 512).ok());
  platform::IoResult r = device->Read(buffer.data(), 1024);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 1024u);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(buffer.data()[i], PatternByte(3 * 512 + i)) << i;

  // The position moved on: this write lands at sector 5, the next at 6.
  std::memset(buffer.data(), 0xA5, 512);
  ASSERT_TRUE(device->Write(buffer.data(), 512).ok());
  std::memset(buffer.data(), 0x5A, 512);
  ASSERT_TRUE(device->Write(buffer.data(), 512).ok());
  ASSERT_TRUE(device->Flush().ok());

  std::string bytes = ReadFileBytes(image);
  ASSERT_EQ(bytes.size(), 64u * 1024);
  EXPECT_EQ(uint8_t(bytes[5 * 512 - 1]), PatternByte(5 * 512 - 1));
  EXPECT_EQ(bytes.substr(5 * 512, 512), std::string(512, char(0xA5)));
  EXPECT_EQ(bytes.substr(6 * 512, 512), std::string(512, char(0x5A)));
  EXPECT_EQ(uint8_t(bytes[7 * 512]), PatternByte(7 * 512));
}

TEST_F(ImageTest, UnalignedCallerBuffersStillMoveEveryByte) {
  // More than the internal staging buffer, from a buffer off by one byte.
  std::string image = dir.file("bounce.img");
  const uint32_t length = 2 * kMiB + 1024;
  WriteImage(image, 3 * kMiB);
  auto device = Open(image, Access::kReadWrite);
  AlignedBuffer buffer(length + 1);
  uint8_t* odd = buffer.data() + 1;
  for (uint32_t i = 0; i < length; ++i) odd[i] = PatternByte(i);

  ASSERT_TRUE(device->SetPosition(512).ok());
  platform::IoResult r = device->Write(odd, length);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), length);

  std::memset(odd, 0, length);
  ASSERT_TRUE(device->SetPosition(512).ok());
  r = device->Read(odd, length);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), length);
  for (uint32_t i = 0; i < length; ++i) ASSERT_EQ(odd[i], PatternByte(i)) << i;
}

TEST_F(ImageTest, UnalignedLengthsAndPositionsAreRefusedLikeARawDisk) {
  std::string image = dir.file("align.img");
  WriteImage(image, 64 * 1024);
  ASSERT_TRUE(machine.SetImageSectorSize(4096));
  auto device = Open(image, Access::kReadWrite);
  AlignedBuffer buffer(8192);

  EXPECT_EQ(device->Read(buffer.data(), 512).error(), winconst::kErrorInvalidParameter);
  EXPECT_EQ(device->Write(buffer.data(), 4096 + 512).error(), winconst::kErrorInvalidParameter);
  ASSERT_TRUE(device->SetPosition(512).ok());  // allowed; the transfer is not
  EXPECT_EQ(device->Read(buffer.data(), 4096).error(), winconst::kErrorInvalidParameter);
  EXPECT_EQ(device->Write(buffer.data(), 4096).error(), winconst::kErrorInvalidParameter);
  EXPECT_EQ(ReadFileBytes(image), std::string(64 * 1024, '\0'));

  EXPECT_EQ(device->SetPosition(uint64_t(1) << 63).error(), winconst::kErrorNegativeSeek);
}

TEST_F(ImageTest, TheEndOfTheImageIsAHardEnd) {
  std::string image = dir.file("end.img");
  WriteImage(image, 8192, PatternByte);
  auto device = Open(image, Access::kReadWrite);
  AlignedBuffer buffer(8192);

  // Crossing the end: the part up to it, as a short transfer.
  ASSERT_TRUE(device->SetPosition(7168).ok());
  platform::IoResult r = device->Read(buffer.data(), 2048);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 1024u);
  r = device->Read(buffer.data(), 512);  // now at the end
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 0u);

  std::memset(buffer.data(), 0xFF, 2048);
  ASSERT_TRUE(device->SetPosition(7680).ok());
  r = device->Write(buffer.data(), 2048);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 512u);
  r = device->Write(buffer.data(), 512);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.error(), winconst::kErrorDiskFull);
  EXPECT_EQ(std::filesystem::file_size(image), 8192u) << "the image grew";
}

// A part sector at the end of an image belongs to it: the length query
// counts it, and a sector-sized transfer there moves just those bytes, so
// an erase reaches every byte of the file without growing it.
TEST_F(ImageTest, APartialLastSectorIsReachedWithoutGrowingTheFile) {
  std::string image = dir.file("tail.img");
  WriteImage(image, 4096 + 300, PatternByte);
  auto device = Open(image, Access::kReadWrite);
  EXPECT_EQ(GeometryOf(*device).SectorCount(), 8u);
  uint8_t length[8] = {};
  ASSERT_TRUE(device->Control(winconst::kIoctlDiskGetLengthInfo, nullptr, 0, length, 8).ok());
  EXPECT_EQ(layout::Load64(length), 4096u + 300);

  AlignedBuffer buffer(1024);
  ASSERT_TRUE(device->SetPosition(4096).ok());
  platform::IoResult r = device->Read(buffer.data(), 512);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 300u);
  std::memset(buffer.data(), 0, 512);
  ASSERT_TRUE(device->SetPosition(4096).ok());
  r = device->Write(buffer.data(), 512);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.value(), 300u);
  ASSERT_TRUE(device->SetPosition(4096 + 512).ok());
  EXPECT_EQ(device->Write(buffer.data(), 512).error(), winconst::kErrorDiskFull);

  std::string bytes = ReadFileBytes(image);
  ASSERT_EQ(bytes.size(), 4096u + 300);
  EXPECT_EQ(bytes.substr(4096), std::string(300, '\0'));
  EXPECT_EQ(uint8_t(bytes[4095]), PatternByte(4095));
}

TEST_F(ImageTest, AccessDecidesWhatAHandleMayDo) {
  std::string image = dir.file("access.img");
  WriteImage(image, 4096);
  AlignedBuffer buffer(512);
  EXPECT_EQ(Open(image, Access::kQuery)->Read(buffer.data(), 512).error(),
            winconst::kErrorAccessDenied);
  EXPECT_EQ(Open(image, Access::kRead)->Write(buffer.data(), 512).error(),
            winconst::kErrorAccessDenied);
  EXPECT_TRUE(Open(image, Access::kRead)->Read(buffer.data(), 512).ok());
}

TEST_F(ImageTest, OpenFailuresCarryWindowsCodes) {
  EXPECT_EQ(machine.OpenDevice(dir.file("missing.img"), Access::kRead).error(),
            winconst::kErrorFileNotFound);
  EXPECT_EQ(machine.OpenDevice(dir.path(), Access::kRead).error(), winconst::kErrorAccessDenied);
  EXPECT_EQ(machine.OpenDevice("/dev/null", Access::kRead).error(), winconst::kErrorNotSupported);
  // A Windows device name is just a missing file here.
  EXPECT_EQ(machine.OpenDevice("\\\\.\\PHYSICALDRIVE0", Access::kReadWrite).error(),
            winconst::kErrorFileNotFound);
}

// One erase at a time per image, across processes: the claim is a lock on
// the open file, so a second open (another process, another name of the
// same file) cannot take it until the first claim ends.
TEST_F(ImageTest, AnImageIsClaimedForOneEraseAtATime) {
  std::string image = dir.file("claimed.img");
  WriteImage(image, kMiB);
  std::filesystem::create_hard_link(image, dir.file("other-name.img"));
  std::unique_ptr<platform::Device> first = Open(image, Access::kReadWrite);
  std::unique_ptr<platform::Device> second = Open(dir.file("other-name.img"), Access::kReadWrite);
  platform::Result<std::unique_ptr<platform::DriveClaim>> claim = first->ClaimForErase();
  ASSERT_TRUE(claim.ok()) << claim.error();
  EXPECT_EQ(second->ClaimForErase().error(), winconst::kErrorLockViolation);
  first.reset();  // the claim, not the handle, holds the image
  EXPECT_EQ(second->ClaimForErase().error(), winconst::kErrorLockViolation);
  claim.value().reset();
  platform::Result<std::unique_ptr<platform::DriveClaim>> now = second->ClaimForErase();
  EXPECT_TRUE(now.ok()) << now.error();
}

// Direct I/O where the file system allows it, plain I/O where it does not;
// either way the data arrives.
void ExpectRoundTrip(PosixMachine& machine, const std::string& image) {
  WriteImage(image, 16 * 1024);
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(image, Access::kReadWrite);
  ASSERT_TRUE(opened.ok()) << opened.error();
  AlignedBuffer buffer(4096);
  for (int i = 0; i < 4096; ++i) buffer.data()[i] = PatternByte(i);
  ASSERT_TRUE(opened.value()->SetPosition(8192).ok());
  ASSERT_EQ(opened.value()->Write(buffer.data(), 4096).value(), 4096u);
  std::memset(buffer.data(), 0, 4096);
  ASSERT_TRUE(opened.value()->SetPosition(8192).ok());
  ASSERT_EQ(opened.value()->Read(buffer.data() + 1, 4096).value(), 4096u);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(buffer.data()[i + 1], PatternByte(i)) << i;
}

TEST(PosixDirectIo, SharedMemoryFilesWork) {
  ScratchDir shm("/dev/shm");
  if (!shm.ok()) GTEST_SKIP() << "no /dev/shm";
  PosixMachine machine;
  ExpectRoundTrip(machine, shm.file("shm.img"));
}

TEST(PosixDirectIo, FallsBackWhereTheFileSystemRefusesIt) {
  // ramfs has no direct I/O at all; mounting one takes root.
  ScratchDir dir;
  if (::geteuid() != 0) GTEST_SKIP() << "mounting ramfs needs root";
  test::Mount ramfs("ramfs", dir.path(), "-t ramfs");
  if (!ramfs.ok()) GTEST_SKIP() << "ramfs cannot be mounted here";
  PosixMachine machine;
  ExpectRoundTrip(machine, dir.file("ram.img"));
  auto opened = machine.OpenDevice(dir.file("ram.img"), Access::kRead);
  ASSERT_TRUE(opened.ok());
  EXPECT_FALSE(static_cast<PosixDevice&>(*opened.value()).direct());
}

TEST(PosixErrors, LinuxFailuresReadAsTheNearestWindowsCode) {
  EXPECT_EQ(WindowsErrorFromErrno(EIO, IoKind::kRead), winconst::kErrorCrc);
  EXPECT_EQ(WindowsErrorFromErrno(EIO, IoKind::kWrite), winconst::kErrorWriteFault);
  EXPECT_EQ(WindowsErrorFromErrno(EIO), winconst::kErrorIoDevice);
  EXPECT_EQ(WindowsErrorFromErrno(EACCES), winconst::kErrorAccessDenied);
  EXPECT_EQ(WindowsErrorFromErrno(EPERM), winconst::kErrorAccessDenied);
  EXPECT_EQ(WindowsErrorFromErrno(ENOENT), winconst::kErrorFileNotFound);
  EXPECT_EQ(WindowsErrorFromErrno(ENOSPC), winconst::kErrorDiskFull);
  EXPECT_EQ(WindowsErrorFromErrno(EINVAL), winconst::kErrorInvalidParameter);
  EXPECT_EQ(WindowsErrorFromErrno(EBUSY), winconst::kErrorBusy);
  EXPECT_EQ(WindowsErrorFromErrno(ENOMEDIUM), winconst::kErrorNoMediaInDrive);
  EXPECT_EQ(WindowsErrorFromErrno(EROFS), winconst::kErrorWriteProtect);
  EXPECT_EQ(WindowsErrorFromErrno(EHWPOISON), winconst::kErrorGenFailure);
}

TEST(PosixErrors, EveryCodeTheBackendGivesHasItsSystemText) {
  PosixMachine machine;
  for (int err = 0; err < 140; ++err) {
    for (IoKind kind : {IoKind::kRead, IoKind::kWrite, IoKind::kOther}) {
      std::string text = machine.ErrorText(WindowsErrorFromErrno(err, kind));
      ASSERT_GE(text.size(), 3u) << "errno " << err;
      EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }
  }
  for (uint32_t code : {winconst::kErrorInsufficientBuffer, winconst::kErrorNegativeSeek,
                        winconst::kErrorSharingViolation})
    EXPECT_FALSE(machine.ErrorText(code).empty());
  EXPECT_EQ(machine.ErrorText(5), "Access is denied.\r\n");
  EXPECT_EQ(machine.ErrorText(170), "The requested resource is in use.\r\n");
  EXPECT_EQ(machine.ErrorText(4242), "");
}

TEST(PosixMachineFacts, LinuxHasNoLettersAndWritesJapaneseStyleDates) {
  PosixMachine machine;
  EXPECT_EQ(machine.LogicalDriveStrings(), "");
  EXPECT_EQ(machine.LogicalDriveMask(), 0u);
  EXPECT_EQ(machine.DriveType("C:\\"), winconst::kDriveNoRootDir);
  EXPECT_FALSE(machine.VolumeLabel("C:\\"));
  EXPECT_EQ(machine.SystemDirectory(), "/");
  uint8_t reply[512];
  EXPECT_FALSE(machine.IdentifyDevice(0, reply));

  platform::LocalTime t{2026, 12, 8, 9, 30, 0};
  EXPECT_EQ(machine.DateText(t), "2026/12/08");
  EXPECT_EQ(machine.TimeText(t), "9:30:00");
  platform::LocalTime now = machine.Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
}

}  // namespace
}  // namespace plexi::posix
