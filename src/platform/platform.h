// The system operations the program's logic uses. Every backend (Win32, the
// simulated machine, Linux block devices) answers with Windows error codes so
// that the logic and its messages are the same everywhere.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace plexi::platform {

// A read, a write or a control call answers with how many bytes moved. A
// call can succeed with fewer bytes than asked (a short transfer): callers
// compare the count with what they asked for.
using IoResult = Result<uint32_t>;

enum class Access {
  kQuery,      // no data access: control calls only
  kRead,       // GENERIC_READ
  kReadWrite,  // GENERIC_READ | GENERIC_WRITE
};

// An NVMe admin command as the host submits it: the opcode, the namespace
// and command dwords 10-15 exactly as the command set lays them out, so
// that the choice of command and its fields stay in portable code. A backend
// that cannot pass a command refuses it with ERROR_NOT_SUPPORTED.
struct NvmeAdminCommand {
  uint8_t opcode = 0;
  uint32_t nsid = 0;
  uint32_t cdw10 = 0, cdw11 = 0, cdw12 = 0, cdw13 = 0, cdw14 = 0, cdw15 = 0;
  // What the drive sends back (identify data, a log page); null for none.
  uint8_t* data = nullptr;
  uint32_t data_length = 0;
  uint32_t timeout_ms = 0;  // 0: the backend's own default
};

// The drive's completion entry: status code type and status code (both 0
// on success) and command-specific dword 0.
struct NvmeCompletion {
  uint8_t status_type = 0;
  uint8_t status_code = 0;
  uint32_t result = 0;
  bool Succeeded() const { return status_type == 0 && status_code == 0; }
};

// An ATA command as a 48-bit task file, with its PIO data in whole 512-byte
// blocks.
struct AtaCommand {
  enum class Data { kNone, kIn, kOut };
  uint8_t command = 0;
  uint16_t feature = 0;
  uint16_t count = 0;
  uint64_t lba = 0;  // 48 bits
  uint8_t device = 0x40;
  Data direction = Data::kNone;
  uint8_t* data = nullptr;  // read into for kIn, sent for kOut
  uint32_t data_length = 0;
  uint32_t timeout_seconds = 0;  // 0: the backend's own default
};

// The registers the drive returns: status (bit 0 ERR) and error (bit 2
// ABRT), and the count and LBA fields some commands report in.
struct AtaReply {
  uint8_t status = 0;
  uint8_t error = 0;
  uint16_t count = 0;
  uint64_t lba = 0;
  bool Failed() const { return (status & 0x01) != 0 || (status & 0x20) != 0; }  // ERR or device fault
};

// A drive held for one erase: while it lives, no other erase (in this or
// another process: the program's copies, the command-line tool) can claim
// the same drive. Destroying it lets the drive go.
class DriveClaim {
 public:
  virtual ~DriveClaim() = default;
};

// One open device or volume handle; destroying it closes the handle.
class Device {
 public:
  virtual ~Device() = default;
  virtual IoResult Read(void* buffer, uint32_t length) = 0;
  virtual IoResult Write(const void* buffer, uint32_t length) = 0;
  // Absolute byte position from the start of the device.
  virtual Result<> SetPosition(uint64_t offset) = 0;
  // DeviceIoControl: the reply is the raw Win32 structure.
  virtual IoResult Control(uint32_t code, const void* in, uint32_t in_length,
                           void* out, uint32_t out_length) = 0;
  virtual Result<> Flush() = 0;

  // Firmware commands for a drive's own purge. They are sent only when the
  // user asks about or for a firmware purge. A failure means the command
  // never reached the drive (ERROR_NOT_SUPPORTED: this handle, its driver
  // or a bridge does not pass it); what the drive said is in the reply.
  virtual Result<NvmeCompletion> NvmeAdmin(const NvmeAdminCommand& command) {
    static_cast<void>(command);
    return Result<NvmeCompletion>::Failure(kCommandNotSupported);
  }
  virtual Result<AtaReply> AtaPassThrough(const AtaCommand& command) {
    static_cast<void>(command);
    return Result<AtaReply>::Failure(kCommandNotSupported);
  }
  // The namespace this handle is on, for an NVMe namespace; a failure when
  // the handle cannot tell. No namespace is ever assumed: without it the
  // commands that name a namespace are not sent.
  virtual Result<uint32_t> NvmeNamespaceId() { return Result<uint32_t>::Failure(kCommandNotSupported); }
  // Where the storage descriptor's model and serial came from, for the
  // report: the system's descriptor itself unless the handle built it from
  // weaker or stronger sources of its own (posix_device.h names them).
  virtual std::string IdentitySource() const { return "storage_descriptor"; }
  // The names earlier copies of this program read for the drive where this
  // handle now reads better ones: the drive may be protected under them.
  struct Names {
    std::string vendor, product, serial;
  };
  virtual std::optional<Names> NamesBefore() const { return std::nullopt; }

  // Claims the drive behind this handle for one erase, taken before
  // anything is written and held until the erase ends. Fails with
  // ERROR_LOCK_VIOLATION while another erase holds it. A handle whose drive
  // is already held some other way for as long as it is open (a volume by
  // its lock, a Linux block device by its exclusive open) gets a claim that
  // holds nothing more.
  virtual Result<std::unique_ptr<DriveClaim>> ClaimForErase() { return std::make_unique<DriveClaim>(); }

 private:
  static constexpr uint32_t kCommandNotSupported = 50;  // ERROR_NOT_SUPPORTED
};


// One volume of the machine, lettered or not (FindFirstVolumeW and
// FindNextVolumeW on Windows): EFI, recovery and folder-mounted volumes too.
struct VolumeEntry {
  // A path OpenDevice accepts for the volume: "\\?\Volume{GUID}" (no
  // trailing backslash).
  std::string path;
  // Where it is mounted: "C:\", "D:\Data\"; empty for an unmounted volume.
  std::vector<std::string> mount_points;
  // The volume that holds the system directory.
  bool holds_system = false;
  // The partition the firmware starts Windows from (the EFI system
  // partition, or the active partition of a BIOS machine).
  bool boot = false;
};

struct VolumeList {
  std::vector<VolumeEntry> volumes;
  // False when the system could not list its volumes, or could not tell
  // which of them hold the system; nothing may then be assumed about them.
  bool complete = false;
};

// The system the program runs on, as far as the storage drivers' rules go:
// which Windows (its drivers carry only some firmware commands, some only in
// the Preinstallation Environment), or another system that passes them all.
struct HostSystem {
  bool windows = false;
  bool windows_pe = false;  // booted into Windows PE
  uint32_t major = 0, minor = 0, build = 0;  // 0.0.0: not known
};

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The machine the program runs on: its devices, volumes and system facts.
// All texts are UTF-8.
class Machine {
 public:
  virtual ~Machine() = default;

  // Opens "\\.\PHYSICALDRIVEn" or "\\.\X:" with read and write sharing.
  virtual Result<std::unique_ptr<Device>> OpenDevice(const std::string& path, Access access) = 0;

  // GetLogicalDriveStrings: "C:\" NUL "D:\" NUL ... NUL, as the system gives it.
  virtual std::string LogicalDriveStrings() = 0;
  // GetLogicalDrives: bit 0 is A:.
  virtual uint32_t LogicalDriveMask() = 0;
  // GetDriveType of a root such as "C:\"; one of winconst::kDrive*.
  virtual uint32_t DriveType(const std::string& root) = 0;
  // Volume label of a root such as "C:\", read without any system dialog
  // for an empty drive; nullopt when it cannot be read.
  virtual std::optional<std::string> VolumeLabel(const std::string& root) = 0;
  // GetSystemDirectory, e.g. "C:\Windows\system32".
  virtual std::string SystemDirectory() = 0;
  // The system's message for an error code, unchanged (a trailing line break
  // included); empty when the system has none.
  virtual std::string ErrorText(uint32_t code) = 0;
  // The external drive-identify library: fills the 512-byte ATA IDENTIFY
  // reply for a designator value; false when the library, its export or the
  // call fails.
  virtual bool IdentifyDevice(int32_t designator, uint8_t* reply512) = 0;

  // Every volume of the machine, with the system and boot volumes marked.
  virtual VolumeList Volumes() = 0;
  // The numbers of the physical drives the system has now (\\.\PHYSICALDRIVEn),
  // lettered or not; nothing when the system cannot enumerate them, and the
  // caller probes the numbers instead.
  virtual std::optional<std::vector<uint32_t>> DiskNumbers() { return std::nullopt; }

  // Which system this is; not Windows unless the backend says so.
  virtual HostSystem System() { return {}; }

  virtual LocalTime Now() = 0;
  // The user's short date format and long time format.
  virtual std::string DateText(const LocalTime& t) = 0;
  virtual std::string TimeText(const LocalTime& t) = 0;
};

// Values under the program's settings key (HKCU\Software\Ｑ＆Ｚ\<title>).
// A value of the wrong type reads as absent.
class Settings {
 public:
  virtual ~Settings() = default;
  virtual bool Exists(const std::string& name) = 0;
  virtual std::optional<int32_t> ReadInt(const std::string& name) = 0;
  virtual Result<> WriteInt(const std::string& name, int32_t value) = 0;
  virtual std::optional<std::string> ReadText(const std::string& name) = 0;
  virtual Result<> WriteText(const std::string& name, const std::string& value) = 0;
};

struct [[nodiscard]] FileContent {
  bool exists = false;
  std::string bytes;
  uint32_t error = 0;  // set when the file exists but cannot be read
};

// Files beside the executable (error log, protection list, help page).
class FileStore {
 public:
  virtual ~FileStore() = default;
  // The folder that holds these files, with its trailing separator.
  virtual std::string ProgramDirectory() = 0;
  virtual bool Exists(const std::string& path) = 0;
  virtual FileContent Read(const std::string& path) = 0;
  // Writes a temporary file beside `path` and then replaces `path` with it,
  // so a failed write never loses the old file.
  virtual Result<> Replace(const std::string& path, const std::string& bytes) = 0;
  // Writes a file that must not replace another: the bytes go to a
  // temporary name beside `path` and take the name only when no file has
  // it, so a reader never sees half a file. ERROR_FILE_EXISTS (80) when the
  // name is taken. A store that cannot refuses (ERROR_NOT_SUPPORTED).
  virtual Result<> CreateNew(const std::string& path, const std::string& bytes) {
    static_cast<void>(path);
    static_cast<void>(bytes);
    return Result<>::Failure(kFolderNotSupported);
  }
  // Makes a folder and the folders above it; succeeds when it is there.
  // A store without folders refuses (ERROR_NOT_SUPPORTED).
  virtual Result<> MakeFolder(const std::string& path) {
    static_cast<void>(path);
    return Result<>::Failure(kFolderNotSupported);
  }
  // The names of the files in a folder (no sub-folders), in no given order;
  // nothing when the folder cannot be read.
  virtual std::optional<std::vector<std::string>> ListFolder(const std::string& path) {
    static_cast<void>(path);
    return std::nullopt;
  }

 private:
  static constexpr uint32_t kFolderNotSupported = 50;  // ERROR_NOT_SUPPORTED
};

// Text in the system's ANSI code page (code page 932 on a Japanese
// Windows; UTF-8 on other systems), as sector bytes are shown.
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);
// The error log and the protection list: code page 932 on Windows whatever
// the ANSI code page is (a system set to UTF-8 keeps the files it wrote
// before, and their format); UTF-8 on other systems.
std::string Utf8ToFileText(const std::string& utf8);
std::string FileTextToUtf8(const std::string& text);

}  // namespace plexi::platform
