// Which of a drive's firmware commands the system's storage drivers carry,
// and by which control code. Windows carries some only from a given version,
// some only in Windows PE; a system without such rules (Linux, or a
// simulated machine that models none) passes every command as it is.
#pragma once
#include <cstdint>

#include "platform/platform.h"

namespace plexi::platform {

// The builds of the Windows versions the documentation names.
namespace windows_build {
inline constexpr uint32_t kWindows8 = 9200;
inline constexpr uint32_t kWindows10v1607 = 14393;
inline constexpr uint32_t kWindows10v1903 = 18362;
inline constexpr uint32_t kWindows10v2004 = 19041;
inline constexpr uint32_t kServer2022 = 20348;  // Windows 11 (22000) and later too
}  // namespace windows_build

// How an NVMe admin command reaches the drive.
enum class NvmeRoute {
  kNone,                  // this system does not carry it
  kDirect,                // as it is: the system has no rules of its own
  kPropertyQuery,         // identify and log pages: IOCTL_STORAGE_QUERY_PROPERTY
  kProtocolCommand,       // IOCTL_STORAGE_PROTOCOL_COMMAND
  kReinitializeMedia,     // IOCTL_STORAGE_REINITIALIZE_MEDIA without input: a crypto-erase format
  kReinitializeSanitize,  // ... with STORAGE_REINITIALIZE_MEDIA: a block or crypto-erase sanitize
};

NvmeRoute RouteOfNvme(const HostSystem& host, const NvmeAdminCommand& command);
// The ATA security commands and the crypto scramble sanitize need Windows PE
// (of Windows 8 or later) on Windows; every other command is carried, READ
// NATIVE MAX ADDRESS EXT, SET MAX ADDRESS EXT and DEVICE CONFIGURATION
// IDENTIFY among them.
bool AtaCommandCarried(const HostSystem& host, const AtaCommand& command);

// The only user password Windows PE lets SECURITY SET PASSWORD set.
inline constexpr char kWindowsPePassword[] = "AutoATAWindowsString12345678901";

}  // namespace plexi::platform
