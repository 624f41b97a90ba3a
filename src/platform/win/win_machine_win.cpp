#include "platform/win/win_machine.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/device_paths.h"
#include "platform/firmware_control.h"
#include "platform/storage_protocol_layout.h"
#include "platform/win/dev_log.h"
#include "platform/win/utf.h"
#include "platform/win/win_handles.h"
#include "platform/win/windows_host.h"
#include "platform/winconst.h"

namespace plexi::win {
namespace {

using platform::Access;
using platform::IoResult;
using platform::Result;

// The physical drive number of a disk interface, asked with no access
// rights: the query needs none, and nothing is read or written.
std::optional<uint32_t> DiskNumberOf(WinApi& api, const std::wstring& path) {
  ApiFile disk(api, api.CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0));
  if (!disk) return std::nullopt;
  STORAGE_DEVICE_NUMBER number{};
  DWORD returned = 0;
  if (!api.DeviceIoControl(disk.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number,
                           &returned) ||
      returned < sizeof number || number.DeviceType != FILE_DEVICE_DISK)
    return std::nullopt;
  return uint32_t(number.DeviceNumber);
}

IoResult Transferred(BOOL ok, DWORD bytes) {
  return ok ? IoResult(bytes) : IoResult::Failure(GetLastError());
}

Result<> StatusOf(BOOL ok) { return ok ? Result<>::Success() : Result<>::Failure(GetLastError()); }

// Writes a failed call to the developer log when there is one. `describe`
// names the call; it runs only when the line is written.
template <class Describe>
void Note(DevLog* log, uint32_t error, Describe describe) {
  if (log != nullptr) log->Failure(describe(), error);
}

// The last error of a call that failed, written to the log, then kept for
// the caller (the log keeps the thread's error as it found it).
template <class Describe>
DWORD NoteLast(DevLog* log, Describe describe) {
  const DWORD error = GetLastError();
  Note(log, error, describe);
  return error;
}

// The request names the program uses, for the log; others by number.
std::string ControlName(uint32_t code) {
  struct Named {
    uint32_t code;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {winconst::kIoctlDiskGetDriveGeometry, "IOCTL_DISK_GET_DRIVE_GEOMETRY"},
      {winconst::kIoctlDiskGetPartitionInfo, "IOCTL_DISK_GET_PARTITION_INFO"},
      {winconst::kIoctlDiskGetLengthInfo, "IOCTL_DISK_GET_LENGTH_INFO"},
      {winconst::kIoctlDiskGetDriveGeometryEx, "IOCTL_DISK_GET_DRIVE_GEOMETRY_EX"},
      {winconst::kIoctlDiskUpdateProperties, "IOCTL_DISK_UPDATE_PROPERTIES"},
      {winconst::kIoctlStorageQueryProperty, "IOCTL_STORAGE_QUERY_PROPERTY"},
      {winconst::kIoctlStorageGetDeviceNumber, "IOCTL_STORAGE_GET_DEVICE_NUMBER"},
      {winconst::kIoctlVolumeGetVolumeDiskExtents, "IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS"},
      {winconst::kFsctlLockVolume, "FSCTL_LOCK_VOLUME"},
      {winconst::kFsctlUnlockVolume, "FSCTL_UNLOCK_VOLUME"},
      {winconst::kFsctlDismountVolume, "FSCTL_DISMOUNT_VOLUME"},
      {winconst::kFsctlAllowExtendedDasdIo, "FSCTL_ALLOW_EXTENDED_DASD_IO"},
      {layout::kIoctlStorageProtocolCommand, "IOCTL_STORAGE_PROTOCOL_COMMAND"},
      {layout::kIoctlStorageReinitializeMedia, "IOCTL_STORAGE_REINITIALIZE_MEDIA"},
      {layout::kIoctlAtaPassThrough, "IOCTL_ATA_PASS_THROUGH"},
  };
  for (const Named& named : kNames)
    if (named.code == code) return named.name;
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", unsigned(code));
  return number;
}

// A whole disk held for an erase. Volumes are held by their locks, but a
// disk without volumes has nothing to lock, and every copy of the program
// and the command-line tool opens disks with read and write sharing: so
// the claim is a mutex named after the disk number in the global
// namespace, which every session sees. Creating a mutex there is not a
// privileged operation (only file-mapping and symbolic-link objects are;
// "Kernel object namespaces",
// https://learn.microsoft.com/en-us/windows/win32/termserv/kernel-object-namespaces).
// The mutex is never waited on: whether it already existed is the answer
// (CreateMutexW, "Return value",
// https://learn.microsoft.com/en-us/windows/win32/api/synchapi/nf-synchapi-createmutexw),
// so no thread owns it, and it is gone when its last handle is closed,
// also when a process ends without letting go.
class DiskClaim : public platform::DriveClaim {
 public:
  explicit DiskClaim(UniqueKernelHandle mutex) : mutex_(std::move(mutex)) {}

 private:
  UniqueKernelHandle mutex_;
};

}  // namespace

Result<std::unique_ptr<platform::DriveClaim>> ClaimWholeDisk(uint32_t disk, DevLog* log) {
  using ClaimResult = Result<std::unique_ptr<platform::DriveClaim>>;
  const std::wstring name = L"Global\\Plexiscrub-PhysicalDrive" + std::to_wstring(disk);
  SetLastError(ERROR_SUCCESS);
  UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
  const DWORD error = GetLastError();
  if (mutex && error == ERROR_ALREADY_EXISTS) return ClaimResult::Failure(winconst::kErrorLockViolation);
  if (!mutex) {
    Note(log, error, [&] { return "CreateMutexW " + WideToUtf8(name); });
    // There, but made by a process whose object this one may not open.
    return ClaimResult::Failure(error == ERROR_ACCESS_DENIED ? winconst::kErrorLockViolation : error);
  }
  return ClaimResult(std::make_unique<DiskClaim>(std::move(mutex)));
}

namespace {

class WinDevice : public platform::Device {
 public:
  WinDevice(WinApi& api, const platform::HostSystem& host, ApiFile handle, std::string path,
            std::shared_ptr<DevLog> log)
      : api_(api), host_(host), handle_(std::move(handle)), path_(std::move(path)), log_(std::move(log)) {}

  IoResult Read(void* buffer, uint32_t length) override {
    DWORD done = 0;
    const BOOL ok = api_.ReadFile(handle_.get(), buffer, length, &done);
    return Moved(Transferred(ok, done), done, "ReadFile", length);
  }

  IoResult Write(const void* buffer, uint32_t length) override {
    DWORD done = 0;
    const BOOL ok = api_.WriteFile(handle_.get(), buffer, length, &done);
    return Moved(Transferred(ok, done), done, "WriteFile", length);
  }

  Result<> SetPosition(uint64_t offset) override {
    if (offset > uint64_t(std::numeric_limits<LONGLONG>::max()))
      return Result<>::Failure(winconst::kErrorNegativeSeek);
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    const Result<> status = StatusOf(api_.SetFilePointerEx(handle_.get(), distance, nullptr, FILE_BEGIN));
    if (status.ok()) {
      position_ = offset;
    } else {
      Note(log_.get(), status.error(), [&] {
        return "SetFilePointerEx " + path_ + " at=" + std::to_string(offset);
      });
    }
    return status;
  }

  IoResult Control(uint32_t code, const void* in, uint32_t in_length, void* out,
                   uint32_t out_length) override {
    DWORD returned = 0;
    const BOOL ok = api_.DeviceIoControl(handle_.get(), code, const_cast<void*>(in), in_length, out, out_length,
                                         &returned);
    const IoResult result = Transferred(ok, returned);
    if (!result.ok())
      Note(log_.get(), result.error(), [&] {
        return "DeviceIoControl(" + ControlName(code) + ") " + path_;
      });
    return result;
  }

  // The erase's checkpoints rely on it: the data a resume record vouches for
  // is flushed before the record is written. The handle is unbuffered and
  // write-through, and FlushFileBuffers on it writes out what the device
  // still buffers ("FlushFileBuffers function": a handle to a volume
  // flushes all of it; it needs GENERIC_WRITE).
  Result<> Flush() override {
    const Result<> status = StatusOf(api_.FlushFileBuffers(handle_.get()));
    if (!status.ok()) Note(log_.get(), status.error(), [&] { return "FlushFileBuffers " + path_; });
    return status;
  }

  // The firmware commands go through DeviceIoControl (Control above); how
  // each maps to a control code, and the documentation behind it, is in
  // platform/firmware_control.cpp.
  Result<platform::NvmeCompletion> NvmeAdmin(const platform::NvmeAdminCommand& command) override {
    return platform::NvmeAdminByControl(*this, command, host_);
  }

  Result<platform::AtaReply> AtaPassThrough(const platform::AtaCommand& command) override {
    return platform::AtaPassThroughByControl(*this, command, host_);
  }

  // StorNVMe presents each namespace as its own disk, and neither the
  // protocol-specific queries nor the device descriptor name the namespace
  // a disk handle is on ("Working with NVMe drives",
  // https://learn.microsoft.com/en-us/windows/win32/fileio/working-with-nvme-devices;
  // "STORAGE_PROTOCOL_NVME_DATA_TYPE": a namespace identify takes the id, it
  // does not give it). The caller then knows it only from a controller
  // that can have no other namespace, and otherwise sends nothing that
  // names one.
  Result<uint32_t> NvmeNamespaceId() override { return Result<uint32_t>::Failure(winconst::kErrorNotSupported); }

  // A whole disk answers with partition number 0; a volume, held by its
  // lock, with its own ("IOCTL_STORAGE_GET_DEVICE_NUMBER",
  // https://learn.microsoft.com/en-us/windows/win32/api/winioctl/ni-winioctl-ioctl_storage_get_device_number).
  // A file does not answer, and is held by nothing here.
  Result<std::unique_ptr<platform::DriveClaim>> ClaimForErase() override {
    STORAGE_DEVICE_NUMBER number{};
    const IoResult asked = Control(IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number);
    if (!asked.ok() || asked.value() < sizeof number || number.DeviceType != FILE_DEVICE_DISK ||
        number.PartitionNumber != 0)
      return Result<std::unique_ptr<platform::DriveClaim>>(std::make_unique<platform::DriveClaim>());
    return ClaimWholeDisk(uint32_t(number.DeviceNumber), log_.get());
  }

 private:
  // Follows the file position (for the log's "at=") by the bytes moved, also
  // those before a failure, and logs a failure.
  IoResult Moved(IoResult result, DWORD done, const char* call, uint32_t length) {
    if (!result.ok())
      Note(log_.get(), result.error(), [&] {
        return std::string(call) + " " + path_ + " at=" + std::to_string(position_) +
               " bytes=" + std::to_string(length);
      });
    position_ += done;
    return result;
  }

  WinApi& api_;
  const platform::HostSystem host_;  // which commands the drivers carry
  ApiFile handle_;
  const std::string path_;
  const std::shared_ptr<DevLog> log_;
  uint64_t position_ = 0;  // where the next transfer starts, as far as known
};

const char* AccessName(Access access) {
  switch (access) {
    case Access::kQuery: return "query";
    case Access::kRead: return "read";
    case Access::kReadWrite: return "read-write";
  }
  return "?";
}

DWORD DesiredAccess(Access access) {
  switch (access) {
    case Access::kQuery: return 0;
    case Access::kRead: return GENERIC_READ;
    case Access::kReadWrite: return GENERIC_READ | GENERIC_WRITE;
  }
  return 0;
}

// Without this a volume handle stops at the end of the file system, and the
// sectors behind it could be neither read nor erased. Volumes that do not
// know the request (FAT, for instance) already allow the whole range.
void AllowWholeVolume(WinApi& api, HANDLE volume, const std::string& path, DevLog* log) {
  DWORD returned = 0;
  if (!api.DeviceIoControl(volume, FSCTL_ALLOW_EXTENDED_DASD_IO, nullptr, 0, nullptr, 0, &returned))
    NoteLast(log, [&] { return "DeviceIoControl(FSCTL_ALLOW_EXTENDED_DASD_IO) " + path; });
}

SYSTEMTIME ToSystemTime(const platform::LocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = WORD(t.year);
  st.wMonth = WORD(t.month);
  st.wDay = WORD(t.day);
  st.wHour = WORD(t.hour);
  st.wMinute = WORD(t.minute);
  st.wSecond = WORD(t.second);
  return st;
}

// Calls `fetch(buffer, size)` until the text fits; `fetch` returns the
// length written, or the size needed when the buffer is too small.
template <class Fetch>
std::wstring FetchText(Fetch fetch) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const UINT length = fetch(buffer.data(), UINT(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.assign(size_t(length) + 1, L'\0');
  }
  return {};
}

// The identify library lives beside the program (or in the system folder).
// It is never looked up in the current or PATH folders, so a stray DLL of
// that name there cannot run inside a program with administrator rights.
UniqueModule LoadIdentifyLibrary(DevLog* log) {
  constexpr DWORD kSafeSearch = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  UniqueModule library(LoadLibraryExW(L"Mediagauge.dll", nullptr, kSafeSearch));
  if (!library && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A system without the safe search flags: name the file beside us.
    const std::string path = ExecutableDirectory() + "Mediagauge.dll";
    library.reset(LoadLibraryW(Utf8ToWide(path).c_str()));
    if (!library) NoteLast(log, [&] { return "LoadLibraryW " + path; });
  } else if (!library) {
    NoteLast(log, [] { return std::string("LoadLibraryExW Mediagauge.dll"); });
  }
  return library;
}

// Volume names as FindFirstVolumeW gives them ("\\?\Volume{GUID}\"); a
// GUID name fits in 50 characters.
constexpr DWORD kVolumeNameLength = 50;

bool SameName(const std::wstring& a, const std::wstring& b) {
  return !a.empty() &&
         CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
             CSTR_EQUAL;
}

std::wstring WithoutTrailingBackslash(std::wstring name) {
  if (!name.empty() && name.back() == L'\\') name.pop_back();
  return name;
}

// Every volume's GUID name, with its trailing backslash. `finished` tells
// whether the search ran to its end rather than stopping on an error.
std::vector<std::wstring> VolumeNames(WinApi& api, bool& finished, DevLog* log) {
  std::vector<std::wstring> names;
  wchar_t name[kVolumeNameLength + 1] = {};
  finished = false;
  ApiVolumeSearch search(api, api.FindFirstVolumeW(name, kVolumeNameLength + 1));
  if (!search) {
    NoteLast(log, [] { return std::string("FindFirstVolumeW"); });
    return names;
  }
  do {
    names.emplace_back(name);
  } while (api.FindNextVolumeW(search.get(), name, kVolumeNameLength + 1));
  finished = GetLastError() == ERROR_NO_MORE_FILES;
  if (!finished) NoteLast(log, [] { return std::string("FindNextVolumeW"); });
  return names;
}

// "a" NUL "b" NUL NUL as UTF-8 entries.
std::vector<std::string> SplitNulList(const wchar_t* list) {
  std::vector<std::string> entries;
  for (const wchar_t* entry = list; *entry != L'\0'; entry += wcslen(entry) + 1)
    entries.push_back(WideToUtf8(entry));
  return entries;
}

// The folders a volume is mounted on ("C:\", "D:\Data\"); none for an
// unmounted volume.
std::vector<std::string> MountPointsOf(WinApi& api, const std::wstring& volume_name, DevLog* log) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD needed = 0;
    if (api.GetVolumePathNamesForVolumeNameW(volume_name.c_str(), buffer.data(), DWORD(buffer.size()), &needed))
      return SplitNulList(buffer.c_str());
    if (GetLastError() != ERROR_MORE_DATA) {
      NoteLast(log, [&] { return "GetVolumePathNamesForVolumeNameW " + WideToUtf8(volume_name); });
      return {};
    }
    // Grown again if a mount point is added between the calls.
    buffer.assign(std::max<size_t>(needed, buffer.size() * 2), L'\0');
  }
  return {};
}

// The GUID name of the volume holding the system directory; empty when the
// system cannot tell.
std::wstring SystemVolumeName(WinApi& api, DevLog* log) {
  const std::wstring directory = FetchText([&](wchar_t* buffer, UINT size) {
    return api.GetSystemDirectoryW(buffer, size);
  });
  if (directory.empty()) {
    NoteLast(log, [] { return std::string("GetSystemDirectoryW"); });
    return {};
  }
  std::wstring mount_point(directory.size() + 2, L'\0');
  if (!api.GetVolumePathNameW(directory.c_str(), mount_point.data(), DWORD(mount_point.size()))) {
    NoteLast(log, [&] { return "GetVolumePathNameW " + WideToUtf8(directory); });
    return {};
  }
  wchar_t name[kVolumeNameLength + 1] = {};
  if (!api.GetVolumeNameForVolumeMountPointW(mount_point.c_str(), name, kVolumeNameLength + 1)) {
    NoteLast(log, [&] {
      return "GetVolumeNameForVolumeMountPointW " + WideToUtf8(mount_point.c_str());
    });
    return {};
  }
  return name;
}

// The firmware's system partition as a kernel device name
// ("\Device\HarddiskVolume1"); empty when setup did not record it.
// A value that is missing is no failure worth a log line: setup need not
// have recorded it.
bool RegistryReadOk(LSTATUS status, DevLog* log) {
  if (status == ERROR_SUCCESS) return true;
  if (status != ERROR_FILE_NOT_FOUND)
    Note(log, uint32_t(status), [] {
      return std::string("RegGetValueW HKLM\\SYSTEM\\Setup SystemPartition");
    });
  return false;
}

std::wstring BootPartitionDevice(WinApi& api, DevLog* log) {
  constexpr const wchar_t* kSetupKey = L"SYSTEM\\Setup";
  constexpr const wchar_t* kValue = L"SystemPartition";
  DWORD bytes = 0;
  if (!RegistryReadOk(api.RegGetValueW(HKEY_LOCAL_MACHINE, kSetupKey, kValue, RRF_RT_REG_SZ, nullptr, nullptr, &bytes),
                      log))
    return {};
  std::wstring device(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = DWORD(device.size() * sizeof(wchar_t));
  if (!RegistryReadOk(api.RegGetValueW(HKEY_LOCAL_MACHINE, kSetupKey, kValue, RRF_RT_REG_SZ, nullptr, device.data(),
                                       &bytes),
                      log))
    return {};
  device.resize(wcsnlen(device.c_str(), device.size()));
  return device;
}

// The kernel device behind a GUID volume name ("\Device\HarddiskVolume3").
std::wstring DeviceNameOf(WinApi& api, const std::wstring& volume_name, DevLog* log) {
  constexpr std::wstring_view kPrefix = L"\\\\?\\";
  std::wstring name = WithoutTrailingBackslash(volume_name);
  if (name.compare(0, kPrefix.size(), kPrefix) != 0) return {};
  name.erase(0, kPrefix.size());
  wchar_t device[MAX_PATH + 1] = {};
  if (api.QueryDosDeviceW(name.c_str(), device, MAX_PATH + 1) == 0) {
    NoteLast(log, [&] { return "QueryDosDeviceW " + WideToUtf8(name); });
    return {};
  }
  return device;  // the first of the names the system gives
}

}  // namespace

bool IsVolumePath(const std::string& path) { return platform::IsVolumePath(path); }

std::string ExecutableDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.assign(path.size() * 2, L'\0');  // truncated: try a longer buffer
  }
  const size_t slash = path.find_last_of(L"\\/");
  return WideToUtf8(path.substr(0, slash == std::wstring::npos ? 0 : slash + 1));
}

WinMachine::WinMachine(std::shared_ptr<DevLog> log, std::shared_ptr<WinApi> api)
    : log_(std::move(log)), api_(std::move(api)), host_(ReadWindowsHost(*api_)) {}
WinMachine::~WinMachine() = default;

platform::Result<std::unique_ptr<platform::Device>> WinMachine::OpenDevice(const std::string& path, Access access) {
  const std::wstring wide = Utf8ToWide(path);
  // A drive opened for erasing bypasses the system cache both ways: writes
  // reach the medium before they count as done, and the verifying read-back
  // sees the medium, not a cached copy. Its buffers must be sector-aligned.
  const DWORD flags = access == Access::kReadWrite
                          ? FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH
                          : FILE_ATTRIBUTE_NORMAL;
  ApiFile handle(*api_,
                 api_->CreateFileW(wide.c_str(), DesiredAccess(access), FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   OPEN_EXISTING, flags));
  if (!handle) {
    const DWORD error = NoteLast(log_.get(), [&] {
      return "CreateFileW " + path + " access=" + AccessName(access);
    });
    return platform::Result<std::unique_ptr<platform::Device>>::Failure(error);
  }
  if (access != Access::kQuery && IsVolumePath(path))
    AllowWholeVolume(*api_, handle.get(), path, log_.get());
  return platform::Result<std::unique_ptr<platform::Device>>(
      std::make_unique<WinDevice>(*api_, host_, std::move(handle), path, log_));
}

std::string WinMachine::LogicalDriveStrings() {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD needed = api_->GetLogicalDriveStringsW(0, nullptr);
    std::wstring buffer(size_t(needed) + 1, L'\0');
    const DWORD length =
        needed == 0 ? 0 : api_->GetLogicalDriveStringsW(DWORD(buffer.size()), buffer.data());
    if (length == 0) {
      NoteLast(log_.get(), [] { return std::string("GetLogicalDriveStringsW"); });
      return {};
    }
    if (length < buffer.size()) {
      // Entries are NUL-terminated; the list ends with one more NUL.
      buffer.resize(length);
      return WideToUtf8(buffer) + '\0';
    }
    // A drive appeared between the two calls: ask again.
  }
  return {};
}

uint32_t WinMachine::LogicalDriveMask() {
  const DWORD mask = api_->GetLogicalDrives();
  if (mask == 0) NoteLast(log_.get(), [] { return std::string("GetLogicalDrives"); });
  return mask;
}

uint32_t WinMachine::DriveType(const std::string& root) {
  return api_->GetDriveTypeW(Utf8ToWide(root).c_str());
}

std::optional<std::string> WinMachine::VolumeLabel(const std::string& root) {
  wchar_t label[MAX_PATH + 1] = {};
  ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
  if (!api_->GetVolumeInformationW(Utf8ToWide(root).c_str(), label, MAX_PATH + 1)) {
    NoteLast(log_.get(), [&] { return "GetVolumeInformationW " + root; });
    return std::nullopt;
  }
  return WideToUtf8(label);
}

platform::HostSystem WinMachine::System() { return host_; }

std::string WinMachine::SystemDirectory() {
  const std::wstring directory = FetchText([&](wchar_t* buffer, UINT size) {
    return api_->GetSystemDirectoryW(buffer, size);
  });
  if (directory.empty()) NoteLast(log_.get(), [] { return std::string("GetSystemDirectoryW"); });
  return WideToUtf8(directory);
}

std::string WinMachine::ErrorText(uint32_t code) { return SystemErrorText(code); }

// The list counts as complete only when the search ran to its end and the
// system directory's volume is among the volumes found. A missing boot
// partition does not count against it: a BIOS machine may start from the
// system volume itself, and setup may not have recorded the partition.
platform::VolumeList WinMachine::Volumes() {
  platform::VolumeList list;
  bool finished = false;
  const std::vector<std::wstring> names = VolumeNames(*api_, finished, log_.get());
  const std::wstring system_volume = SystemVolumeName(*api_, log_.get());
  const std::wstring boot_device = BootPartitionDevice(*api_, log_.get());
  bool system_found = false;
  for (const std::wstring& name : names) {
    platform::VolumeEntry entry;
    entry.path = WideToUtf8(WithoutTrailingBackslash(name));
    entry.mount_points = MountPointsOf(*api_, name, log_.get());
    entry.holds_system = SameName(name, system_volume);
    entry.boot = !boot_device.empty() && SameName(DeviceNameOf(*api_, name, log_.get()), boot_device);
    system_found = system_found || entry.holds_system;
    list.volumes.push_back(std::move(entry));
  }
  // Windows PE runs from a RAM disk (X:), which need not be among the
  // volumes listed: "The RAM disk boot feature provides a virtual CD file
  // system in memory" (page "Booting Windows PE from RAM Disk"). Its type
  // comes from GetDriveTypeW (DRIVE_RAMDISK, page "GetDriveTypeW").
  const bool system_in_memory = DriveType(SystemDirectory().substr(0, 3)) == DRIVE_RAMDISK;
  list.complete = finished && (system_found || system_in_memory);
  return list;
}

std::optional<std::vector<uint32_t>> WinMachine::DiskNumbers() {
  const std::optional<std::vector<std::wstring>> paths = api_->DiskInterfacePaths();
  if (!paths) {
    NoteLast(log_.get(), [] { return std::string("SetupDiGetClassDevsW"); });
    return std::nullopt;
  }
  std::vector<uint32_t> numbers;
  for (const std::wstring& path : *paths)
    if (const std::optional<uint32_t> number = path.empty() ? std::nullopt : DiskNumberOf(*api_, path))
      numbers.push_back(*number);
  // An empty list is no answer: the numbers are probed instead.
  if (numbers.empty()) return std::nullopt;
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

// The library's export is taken as
//   unsigned char __cdecl _GetHDDInfo(void* buffer, int designator);
// returning non-zero on success with the ATA IDENTIFY reply at the start of
// the buffer. The library is loaded for each call and freed right after.
bool WinMachine::IdentifyDevice(int32_t designator, uint8_t* reply512) {
  using GetHddInfo = unsigned char(__cdecl*)(void* buffer, int designator);
  UniqueModule library = LoadIdentifyLibrary(log_.get());
  if (!library) return false;
  const FARPROC proc = GetProcAddress(library.get(), "_GetHDDInfo");
  if (proc == nullptr) {
    NoteLast(log_.get(), [] { return std::string("GetProcAddress Mediagauge.dll _GetHDDInfo"); });
    return false;
  }
  auto identify = reinterpret_cast<GetHddInfo>(reinterpret_cast<void (*)()>(proc));
  // The library's own idea of the buffer size is unknown beyond the first
  // 512 bytes: give it generous room and copy out only the reply.
  std::vector<uint8_t> buffer(4096, 0);
  if (identify(buffer.data(), designator) == 0) return false;
  std::memcpy(reply512, buffer.data(), 512);
  return true;
}

platform::LocalTime WinMachine::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string WinMachine::DateText(const platform::LocalTime& t) {
  const SYSTEMTIME st = ToSystemTime(t);
  wchar_t buffer[128] = {};
  if (GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 128,
                      nullptr) == 0) {
    NoteLast(log_.get(), [] { return std::string("GetDateFormatEx"); });
    return {};
  }
  return WideToUtf8(buffer);
}

std::string WinMachine::TimeText(const platform::LocalTime& t) {
  const SYSTEMTIME st = ToSystemTime(t);
  wchar_t buffer[128] = {};
  if (GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, buffer, 128) == 0) {
    NoteLast(log_.get(), [] { return std::string("GetTimeFormatEx"); });
    return {};
  }
  return WideToUtf8(buffer);
}

}  // namespace plexi::win
