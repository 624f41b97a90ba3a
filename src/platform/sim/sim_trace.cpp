#include "platform/sim/sim_trace.h"

#include <fstream>

#include <cstdio>

#include "platform/sim/file_util.h"
#include "platform/winconst.h"

namespace plexi::sim {
namespace {

const char* AccessName(platform::Access access) {
  switch (access) {
    case platform::Access::kQuery: return "query";
    case platform::Access::kRead: return "read";
    case platform::Access::kReadWrite: return "read-write";
  }
  return "?";
}

std::string Transfer(const char* verb, const std::string& device, uint64_t position, uint32_t length) {
  return std::string(verb) + " " + device + " at=" + std::to_string(position) +
         " bytes=" + std::to_string(length);
}

// The trace's name of a control code; unknown codes in hexadecimal.
std::string ControlName(uint32_t code) {
  switch (code) {
    case winconst::kIoctlDiskGetDriveGeometry: return "geometry";
    case winconst::kIoctlDiskGetDriveGeometryEx: return "geometry-ex";
    case winconst::kIoctlDiskGetPartitionInfo: return "partition-info";
    case winconst::kIoctlDiskGetLengthInfo: return "length";
    case winconst::kIoctlStorageQueryProperty: return "descriptor";
    case winconst::kIoctlVolumeGetVolumeDiskExtents: return "extents";
    case winconst::kFsctlLockVolume: return "lock";
    case winconst::kFsctlUnlockVolume: return "unlock";
    case winconst::kFsctlDismountVolume: return "dismount";
    case winconst::kFsctlAllowExtendedDasdIo: return "dasd";
    case winconst::kIoctlDiskUpdateProperties: return "update-properties";
    case winconst::kIoctlStorageGetDeviceNumber: return "device-number";
  }
  char text[24];
  std::snprintf(text, sizeof text, "code=0x%08X", code);
  return text;
}

}  // namespace

void DeviceTrace::Open(const std::string& device, platform::Access access, uint32_t error) {
  if (!kinds_.opens) return;
  std::string line = "open " + device + " " + AccessName(access);
  if (error != 0) line += " error=" + std::to_string(error);
  Append(line);
}

void DeviceTrace::Read(const std::string& device, uint64_t position, uint32_t length) {
  if (kinds_.reads) Append(Transfer("read", device, position, length));
}

void DeviceTrace::Write(const std::string& device, uint64_t position, uint32_t length) {
  if (kinds_.writes) Append(Transfer("write", device, position, length));
}

void DeviceTrace::Control(const std::string& device, uint32_t code, uint32_t error) {
  if (!kinds_.controls) return;
  std::string line = "control " + device + " " + ControlName(code);
  if (error != 0) line += " error=" + std::to_string(error);
  Append(line);
}

void DeviceTrace::Command(const std::string& device, const std::string& text) {
  if (kinds_.commands) Append("command " + device + " " + text);
}

void DeviceTrace::Append(const std::string& line) {
  // Opened for each line, so that another process reading the file sees
  // every line as soon as the call has been made.
  std::lock_guard lock(mutex_);
  std::ofstream file(PathFromUtf8(path_), std::ios::binary | std::ios::app);
  file << line << "\n";
}

}  // namespace plexi::sim
