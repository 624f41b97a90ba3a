// The real machine: devices, volumes and system facts through Win32.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/win/win_api.h"

namespace plexi::win {

class DevLog;

// GUID_DEVINTERFACE_DISK, spelled out: the SDK defines it only under INITGUID.
inline constexpr GUID kDiskInterfaceGuid = {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

class WinMachine : public platform::Machine {
 public:
  // With a log, every failed system call of the machine and of the devices
  // it opens is written to it; the devices share the log with the machine.
  // Every call into the storage stack goes through `api` (the system's own
  // by default).
  explicit WinMachine(std::shared_ptr<DevLog> log = nullptr, std::shared_ptr<WinApi> api = SystemWinApi());
  ~WinMachine() override;

  platform::Result<std::unique_ptr<platform::Device>> OpenDevice(const std::string& path, platform::Access access) override;
  std::string LogicalDriveStrings() override;
  uint32_t LogicalDriveMask() override;
  uint32_t DriveType(const std::string& root) override;
  std::optional<std::string> VolumeLabel(const std::string& root) override;
  std::string SystemDirectory() override;
  platform::HostSystem System() override;
  std::string ErrorText(uint32_t code) override;
  bool IdentifyDevice(int32_t designator, uint8_t* reply512) override;
  platform::VolumeList Volumes() override;
  // The disk interfaces SetupAPI lists, each asked for its number.
  std::optional<std::vector<uint32_t>> DiskNumbers() override;
  platform::LocalTime Now() override;
  std::string DateText(const platform::LocalTime& t) override;
  std::string TimeText(const platform::LocalTime& t) override;

 private:
  std::shared_ptr<DevLog> log_;
  std::shared_ptr<WinApi> api_;
  // Read once: the version and Windows PE do not change while it runs.
  const platform::HostSystem host_;
};

// The claim an erase of the whole disk `disk` (\\.\PHYSICALDRIVEn) takes,
// across every process and session: ERROR_LOCK_VIOLATION while another
// erase holds it. Disk handles take it through Device::ClaimForErase.
platform::Result<std::unique_ptr<platform::DriveClaim>> ClaimWholeDisk(uint32_t disk, DevLog* log = nullptr);

// True for a path that opens a volume rather than a disk or a file:
// "\\.\X:" or "\\?\Volume{GUID}" (no trailing backslash).
bool IsVolumePath(const std::string& path);

// The folder of the running executable, with its trailing backslash.
std::string ExecutableDirectory();

}  // namespace plexi::win
