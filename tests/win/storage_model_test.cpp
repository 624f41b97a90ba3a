// The rules of the Windows storage stack that the model holds the Win32
// backend to, each through WinMachine as the program calls it: what is
// refused, and on which Windows.
#include "win/storage_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "drives/discovery.h"
#include "platform/aligned_buffer.h"
#include "platform/storage_protocol_layout.h"
#include "platform/win/win_machine.h"
#include "platform/winconst.h"
#include "probe/replay_machine.h"
#include "support/test_support.h"

namespace plexi::win::test {
namespace {

using platform::Access;

constexpr char kMachine[] = R"(
system-directory "C:\Windows\system32"
disk 0 size=16M bus=sata product="System"
volume - disk=0 offset=1M length=2M boot=yes
volume C: disk=0 offset=3M length=8M
disk 1 sectors=8192 bus=nvme product="Nvme" sanitize=crypto,block format=user-data
disk 2 sectors=8192 bus=sata product="Ata" security=normal sanitize=crypto
)";

struct Fixture {
  explicit Fixture(WindowsEdition edition = {})
      : sim(plexi::test::MakeMachine(kMachine)), model(std::make_shared<StorageModel>(*sim, edition)),
        machine(nullptr, model) {}
  std::unique_ptr<platform::Device> Open(const std::string& path, Access access) {
    auto opened = machine.OpenDevice(path, access);
    EXPECT_TRUE(opened.ok()) << path << " " << opened.error();
    return opened.ok() ? std::move(opened.value()) : nullptr;
  }
  std::unique_ptr<sim::SimMachine> sim;
  std::shared_ptr<StorageModel> model;
  WinMachine machine;
};

TEST(StorageModel, TheMachineIsSeenAsWindowsListsIt) {
  Fixture f;
  const platform::VolumeList list = f.machine.Volumes();
  ASSERT_TRUE(list.complete);
  ASSERT_EQ(list.volumes.size(), 2u);
  EXPECT_TRUE(list.volumes[0].boot);  // the registry's system partition
  EXPECT_TRUE(list.volumes[1].holds_system);
  EXPECT_EQ(list.volumes[1].mount_points, std::vector<std::string>{"C:\\"});
  EXPECT_EQ(f.machine.DiskNumbers(), (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(f.machine.SystemDirectory(), "C:\\Windows\\system32");
  EXPECT_EQ(f.machine.LogicalDriveStrings(), std::string("C:\\") + '\0' + '\0');
  EXPECT_EQ(f.model->OpenCount(), 0u);  // every handle and search closed
}

// "File Buffering": an unbuffered handle takes sector-aligned memory only.
TEST(StorageModel, AnEraseHandleRefusesMemoryOffTheSector) {
  Fixture f;
  std::unique_ptr<platform::Device> disk = f.Open("\\\\.\\PHYSICALDRIVE1", Access::kReadWrite);
  ASSERT_TRUE(disk);
  AlignedBuffer buffer(1024);
  EXPECT_EQ(disk->Read(buffer.data() + 8, 512).error(), winconst::kErrorInvalidParameter);
  EXPECT_EQ(disk->Write(buffer.data() + 8, 512).error(), winconst::kErrorInvalidParameter);
  EXPECT_TRUE(disk->Write(buffer.data(), 512).ok());
}

// "Blocking Direct Write Operations to Volumes and Disks" (KB942448): raw
// writes into a mounted volume's sectors are refused, through the disk and
// through the volume, until the volume is locked.
TEST(StorageModel, AMountedVolumeIsWrittenOnlyUnderItsLock) {
  Fixture f;
  AlignedBuffer sector(512);
  std::unique_ptr<platform::Device> disk = f.Open("\\\\.\\PHYSICALDRIVE0", Access::kReadWrite);
  std::unique_ptr<platform::Device> volume = f.Open("\\\\.\\C:", Access::kReadWrite);
  ASSERT_TRUE(disk && volume);
  ASSERT_TRUE(disk->SetPosition(4 << 20).ok());  // inside C:
  EXPECT_EQ(disk->Write(sector.data(), 512).error(), winconst::kErrorAccessDenied);
  EXPECT_EQ(volume->Write(sector.data(), 512).error(), winconst::kErrorAccessDenied);
  ASSERT_TRUE(volume->Control(winconst::kFsctlLockVolume, nullptr, 0, nullptr, 0).ok());
  ASSERT_TRUE(volume->SetPosition(0).ok());
  EXPECT_TRUE(volume->Write(sector.data(), 512).ok());
  EXPECT_TRUE(disk->Write(sector.data(), 512).ok());
}

// The access bits of the control code: the ATA pass-through needs read and
// write access, a geometry query none.
TEST(StorageModel, AControlNeedsTheAccessItsCodeNames) {
  Fixture f;
  std::vector<uint8_t> identify(512);
  platform::AtaCommand command;
  command.command = 0xEC;
  command.direction = platform::AtaCommand::Data::kIn;
  command.data = identify.data();
  command.data_length = 512;
  EXPECT_EQ(f.Open("\\\\.\\PHYSICALDRIVE2", Access::kRead)->AtaPassThrough(command).error(),
            winconst::kErrorAccessDenied);
  EXPECT_TRUE(f.Open("\\\\.\\PHYSICALDRIVE2", Access::kReadWrite)->AtaPassThrough(command).ok());
  uint8_t geometry[winconst::kDiskGeometrySize];
  EXPECT_TRUE(f.Open("\\\\.\\PHYSICALDRIVE2", Access::kQuery)
                  ->Control(winconst::kIoctlDiskGetDriveGeometry, nullptr, 0, geometry, sizeof geometry)
                  .ok());
}

// "StorNVMe command set support", "IOCTL_STORAGE_REINITIALIZE_MEDIA" and
// "Security Group Commands": which firmware commands each Windows carries.
TEST(StorageModel, FirmwareCommandsPassOnlyWhereWindowsCarriesThem) {
  struct Row {
    const char* name;
    WindowsEdition edition;
    bool format, sanitize_options, ata_security, ata_scramble;
  };
  const Row rows[] = {
      {"Windows 11", {22631, false}, false, true, false, false},
      {"Windows PE 11", {22631, true}, true, true, true, true},
      {"Windows 10 21H2", {19044, false}, false, false, false, false},
      {"Windows 10 1809", {17763, false}, false, false, false, false},
      {"Windows PE 10 1809", {17763, true}, false, false, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fixture f(row.edition);
    std::unique_ptr<platform::Device> nvme = f.Open("\\\\.\\PHYSICALDRIVE1", Access::kReadWrite);
    platform::NvmeAdminCommand format;
    format.opcode = 0x80;
    format.nsid = 1;
    EXPECT_EQ(nvme->NvmeAdmin(format).ok(), row.format);
    // The media reinitialisation: without input on every Windows since
    // 1607, with its options from Windows Server 2022 (and Windows 11).
    ApiFile raw(*f.model, f.model->CreateFileW(L"\\\\.\\PHYSICALDRIVE1", GENERIC_READ | GENERIC_WRITE, 3,
                                               OPEN_EXISTING, 0));
    DWORD returned = 0;
    std::vector<uint8_t> options = layout::ReinitializeMedia(layout::kSanitizeMethodCryptoErase, false, 60);
    EXPECT_EQ(f.model->DeviceIoControl(raw.get(), layout::kIoctlStorageReinitializeMedia, options.data(),
                                       DWORD(options.size()), nullptr, 0, &returned) != FALSE,
              row.sanitize_options);
    Fixture fresh(row.edition);  // the drive above may be sanitizing now
    ApiFile other(*fresh.model, fresh.model->CreateFileW(L"\\\\.\\PHYSICALDRIVE1", GENERIC_READ | GENERIC_WRITE, 3,
                                                         OPEN_EXISTING, 0));
    EXPECT_TRUE(fresh.model->DeviceIoControl(other.get(), layout::kIoctlStorageReinitializeMedia, nullptr, 0, nullptr,
                                             0, &returned));

    std::unique_ptr<platform::Device> ata = f.Open("\\\\.\\PHYSICALDRIVE2", Access::kReadWrite);
    std::vector<uint8_t> block(512);
    std::memcpy(block.data() + 2, "AutoATAWindowsString12345678901", 31);
    platform::AtaCommand set_password{0xF1, 0, 1, 0, 0x40, platform::AtaCommand::Data::kOut, block.data(), 512};
    EXPECT_EQ(ata->AtaPassThrough(set_password).ok(), row.ata_security);
    block[2] = 'X';  // any other password
    EXPECT_FALSE(ata->AtaPassThrough(set_password).ok());
    platform::AtaCommand scramble{0xB4, 0x0011, 0, 0x426F6573, 0x40};
    EXPECT_EQ(ata->AtaPassThrough(scramble).ok(), row.ata_scramble);
  }
}

TEST(StorageModel, TheWindowsPeKeyAndTheVersionAnswerForTheEdition) {
  for (bool pe : {false, true}) {
    const std::unique_ptr<sim::SimMachine> sim = plexi::test::MakeMachine(kMachine);
    StorageModel model(*sim, {19045, pe});
    ApiRegKey key(model);
    EXPECT_EQ(model.RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0, KEY_READ,
                                  key.put()) == ERROR_SUCCESS,
              pe);
    OSVERSIONINFOEXW version{};
    EXPECT_EQ(model.RtlGetVersion(&version), 0);
    EXPECT_EQ(version.dwBuildNumber, 19045u);
    // The program sees the Windows the model enforces.
    const platform::HostSystem seen = WinMachineOver(*sim, {19045, pe})->System();
    EXPECT_TRUE(seen.windows);
    EXPECT_EQ(seen.windows_pe, pe);
    EXPECT_EQ(seen.build, 19045u);
  }
  // A description that names its Windows is that Windows.
  const std::unique_ptr<sim::SimMachine> described =
      plexi::test::MakeMachine(std::string(kMachine) + "windows-version 10.0.17763\nwindows-pe yes\n");
  const platform::HostSystem seen = WinMachineOver(*described, {22631, false})->System();
  EXPECT_EQ(seen.build, 17763u);
  EXPECT_TRUE(seen.windows_pe);
}

// A probe a user sends is a machine the Win32 backend runs on: each kept
// probe lists through WinMachine over the model as its replay lists when
// asked directly, in both views, every disk included.
TEST(StorageModel, KeptProbesListAsTheirReplays) {
  std::string folder = std::string("Z:") + PLEXISCRUB_PROBES_FOLDER;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  for (const char* name : {"sata-ssd.json", "nvme.json", "usb-stick.json"}) {
    std::ifstream file(folder + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::string error;
    const std::unique_ptr<probe::ReplayMachine> replay = probe::ReplayMachine::Parse(text.str(), &error);
    ASSERT_TRUE(replay) << name << ": " << error;
    const std::unique_ptr<platform::Machine> backend = WinMachineOver(*replay);
    for (ViewMode view : {ViewMode::kPhysical, ViewMode::kPartition}) {
      plexi::test::RecordingNotifier direct_notes, backend_notes;
      const std::vector<DriveRow> direct = DriveDiscovery(*replay, direct_notes).Refresh(view, true);
      const std::vector<DriveRow> through = DriveDiscovery(*backend, backend_notes).Refresh(view, true);
      ASSERT_FALSE(direct.empty()) << name;
      ASSERT_EQ(through.size(), direct.size()) << name;
      for (size_t i = 0; i < direct.size(); ++i) {
        for (int column = 0; column < 8; ++column)
          EXPECT_EQ(through[i].SubItem(column), direct[i].SubItem(column)) << name << " row " << i << " column " << column;
        EXPECT_EQ(through[i].caption, direct[i].caption) << name << " row " << i;
        EXPECT_EQ(through[i].serial, direct[i].serial) << name << " row " << i;
      }
    }
  }
}

}  // namespace
}  // namespace plexi::win::test
