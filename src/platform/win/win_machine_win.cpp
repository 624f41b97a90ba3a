#include "platform/win/win_machine.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string_view>
#include <vector>

#include "platform/win/utf.h"
#include "platform/win/win_handles.h"
#include "platform/winconst.h"

namespace plexi::win {
namespace {

using platform::Access;
using platform::IoResult;
using platform::Status;

// The search handle of FindFirstVolumeW, closed by FindVolumeClose.
struct FindVolumeTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Value v) { FindVolumeClose(v); }
};
using UniqueFindVolume = Unique<FindVolumeTraits>;

IoResult Transferred(BOOL ok, DWORD bytes) {
  return ok ? IoResult{true, bytes, 0} : IoResult{false, bytes, GetLastError()};
}

Status StatusOf(BOOL ok) { return ok ? Status::Success() : Status::Failure(GetLastError()); }

class WinDevice : public platform::Device {
 public:
  explicit WinDevice(UniqueFile handle) : handle_(std::move(handle)) {}

  IoResult Read(void* buffer, uint32_t length) override {
    DWORD done = 0;
    const BOOL ok = ReadFile(handle_.get(), buffer, length, &done, nullptr);
    return Transferred(ok, done);
  }

  IoResult Write(const void* buffer, uint32_t length) override {
    DWORD done = 0;
    const BOOL ok = WriteFile(handle_.get(), buffer, length, &done, nullptr);
    return Transferred(ok, done);
  }

  Status SetPosition(uint64_t offset) override {
    if (offset > uint64_t(std::numeric_limits<LONGLONG>::max()))
      return Status::Failure(win32::kErrorNegativeSeek);
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return StatusOf(SetFilePointerEx(handle_.get(), distance, nullptr, FILE_BEGIN));
  }

  IoResult Control(uint32_t code, const void* in, uint32_t in_length, void* out,
                   uint32_t out_length) override {
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(handle_.get(), code, const_cast<void*>(in), in_length, out,
                                    out_length, &returned, nullptr);
    return Transferred(ok, returned);
  }

  Status Flush() override { return StatusOf(FlushFileBuffers(handle_.get())); }

 private:
  UniqueFile handle_;
};

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
void AllowWholeVolume(HANDLE volume) {
  DWORD returned = 0;
  DeviceIoControl(volume, FSCTL_ALLOW_EXTENDED_DASD_IO, nullptr, 0, nullptr, 0, &returned, nullptr);
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
UniqueModule LoadIdentifyLibrary() {
  constexpr DWORD kSafeSearch = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  UniqueModule library(LoadLibraryExW(L"Mediagauge.dll", nullptr, kSafeSearch));
  if (!library && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A system without the safe search flags: name the file beside us.
    const std::wstring path = Utf8ToWide(ExecutableDirectory() + "Mediagauge.dll");
    library.reset(LoadLibraryW(path.c_str()));
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
std::vector<std::wstring> VolumeNames(bool& finished) {
  std::vector<std::wstring> names;
  wchar_t name[kVolumeNameLength + 1] = {};
  finished = false;
  UniqueFindVolume search(FindFirstVolumeW(name, kVolumeNameLength + 1));
  if (!search) return names;
  do {
    names.emplace_back(name);
  } while (FindNextVolumeW(search.get(), name, kVolumeNameLength + 1));
  finished = GetLastError() == ERROR_NO_MORE_FILES;
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
std::vector<std::string> MountPointsOf(const std::wstring& volume_name) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD needed = 0;
    if (GetVolumePathNamesForVolumeNameW(volume_name.c_str(), buffer.data(), DWORD(buffer.size()),
                                         &needed))
      return SplitNulList(buffer.c_str());
    if (GetLastError() != ERROR_MORE_DATA) return {};
    // Grown again if a mount point is added between the calls.
    buffer.assign(std::max<size_t>(needed, buffer.size() * 2), L'\0');
  }
  return {};
}

// The GUID name of the volume holding the system directory; empty when the
// system cannot tell.
std::wstring SystemVolumeName() {
  const std::wstring directory = FetchText([](wchar_t* buffer, UINT size) {
    return GetSystemDirectoryW(buffer, size);
  });
  if (directory.empty()) return {};
  std::wstring mount_point(directory.size() + 2, L'\0');
  if (!GetVolumePathNameW(directory.c_str(), mount_point.data(), DWORD(mount_point.size())))
    return {};
  wchar_t name[kVolumeNameLength + 1] = {};
  if (!GetVolumeNameForVolumeMountPointW(mount_point.c_str(), name, kVolumeNameLength + 1))
    return {};
  return name;
}

// The firmware's system partition as a kernel device name
// ("\Device\HarddiskVolume1"); empty when setup did not record it.
std::wstring BootPartitionDevice() {
  constexpr const wchar_t* kSetupKey = L"SYSTEM\\Setup";
  constexpr const wchar_t* kValue = L"SystemPartition";
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSetupKey, kValue, RRF_RT_REG_SZ, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS)
    return {};
  std::wstring device(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = DWORD(device.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSetupKey, kValue, RRF_RT_REG_SZ, nullptr, device.data(),
                   &bytes) != ERROR_SUCCESS)
    return {};
  device.resize(wcsnlen(device.c_str(), device.size()));
  return device;
}

// The kernel device behind a GUID volume name ("\Device\HarddiskVolume3").
std::wstring DeviceNameOf(const std::wstring& volume_name) {
  constexpr std::wstring_view kPrefix = L"\\\\?\\";
  std::wstring name = WithoutTrailingBackslash(volume_name);
  if (name.compare(0, kPrefix.size(), kPrefix) != 0) return {};
  name.erase(0, kPrefix.size());
  wchar_t device[MAX_PATH + 1] = {};
  if (QueryDosDeviceW(name.c_str(), device, MAX_PATH + 1) == 0) return {};
  return device;  // the first of the names the system gives
}

bool IsGuid(std::string_view text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash_place = i == 8 || i == 13 || i == 18 || i == 23;
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (dash_place ? c != '-' : !hex) return false;
  }
  return true;
}

bool IsLetterVolumePath(const std::string& path) {
  return path.size() == 6 && path.compare(0, 4, "\\\\.\\") == 0 && path[5] == ':' &&
         ((path[4] >= 'A' && path[4] <= 'Z') || (path[4] >= 'a' && path[4] <= 'z'));
}

// "\\?\Volume{GUID}" (or with "\\.\"), without a trailing backslash, which
// would name the volume's root folder instead of the volume.
bool IsGuidVolumePath(const std::string& path) {
  constexpr std::string_view kWin32Prefix = "\\\\?\\Volume{";
  constexpr std::string_view kDevicePrefix = "\\\\.\\Volume{";
  const std::string_view text(path);
  if (!text.starts_with(kWin32Prefix) && !text.starts_with(kDevicePrefix)) return false;
  const std::string_view rest = text.substr(kWin32Prefix.size());
  return rest.size() == 37 && rest.back() == '}' && IsGuid(rest.substr(0, 36));
}

}  // namespace

bool IsVolumePath(const std::string& path) {
  return IsLetterVolumePath(path) || IsGuidVolumePath(path);
}

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

platform::OpenResult WinMachine::OpenDevice(const std::string& path, Access access) {
  const std::wstring wide = Utf8ToWide(path);
  // A drive opened for erasing bypasses the system cache both ways: writes
  // reach the medium before they count as done, and the verifying read-back
  // sees the medium, not a cached copy. Its buffers must be sector-aligned.
  const DWORD flags = access == Access::kReadWrite
                          ? FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH
                          : FILE_ATTRIBUTE_NORMAL;
  UniqueFile handle(CreateFileW(wide.c_str(), DesiredAccess(access),
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                flags, nullptr));
  if (!handle) return {nullptr, GetLastError()};
  if (access != Access::kQuery && IsVolumePath(path)) AllowWholeVolume(handle.get());
  return {std::make_unique<WinDevice>(std::move(handle)), 0};
}

std::string WinMachine::LogicalDriveStrings() {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD needed = GetLogicalDriveStringsW(0, nullptr);
    if (needed == 0) return {};
    std::wstring buffer(size_t(needed) + 1, L'\0');
    const DWORD length = GetLogicalDriveStringsW(DWORD(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) {
      // Entries are NUL-terminated; the list ends with one more NUL.
      buffer.resize(length);
      return WideToUtf8(buffer) + '\0';
    }
    // A drive appeared between the two calls: ask again.
  }
  return {};
}

uint32_t WinMachine::LogicalDriveMask() { return GetLogicalDrives(); }

uint32_t WinMachine::DriveType(const std::string& root) {
  return GetDriveTypeW(Utf8ToWide(root).c_str());
}

std::optional<std::string> WinMachine::VolumeLabel(const std::string& root) {
  wchar_t label[MAX_PATH + 1] = {};
  ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
  if (!GetVolumeInformationW(Utf8ToWide(root).c_str(), label, MAX_PATH + 1, nullptr, nullptr,
                             nullptr, nullptr, 0))
    return std::nullopt;
  return WideToUtf8(label);
}

std::string WinMachine::SystemDirectory() {
  return WideToUtf8(FetchText([](wchar_t* buffer, UINT size) {
    return GetSystemDirectoryW(buffer, size);
  }));
}

std::string WinMachine::ErrorText(uint32_t code) {
  constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                           FORMAT_MESSAGE_FROM_SYSTEM;  // 0x1300
  constexpr DWORD kUserLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);  // 0x0400
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(kFlags, nullptr, code, kUserLanguage,
                                      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  UniqueLocalMemory owner(text);
  if (length == 0 || text == nullptr) return {};
  return WideToUtf8(std::wstring_view(text, length));
}

// The list counts as complete only when the search ran to its end and the
// system directory's volume is among the volumes found. A missing boot
// partition does not count against it: a BIOS machine may start from the
// system volume itself, and setup may not have recorded the partition.
platform::VolumeList WinMachine::Volumes() {
  platform::VolumeList list;
  bool finished = false;
  const std::vector<std::wstring> names = VolumeNames(finished);
  const std::wstring system_volume = SystemVolumeName();
  const std::wstring boot_device = BootPartitionDevice();
  bool system_found = false;
  for (const std::wstring& name : names) {
    platform::VolumeEntry entry;
    entry.path = WideToUtf8(WithoutTrailingBackslash(name));
    entry.mount_points = MountPointsOf(name);
    entry.holds_system = SameName(name, system_volume);
    entry.boot = !boot_device.empty() && SameName(DeviceNameOf(name), boot_device);
    system_found = system_found || entry.holds_system;
    list.volumes.push_back(std::move(entry));
  }
  list.complete = finished && system_found;
  return list;
}

// The library's export is taken as
//   unsigned char __cdecl _GetHDDInfo(void* buffer, int designator);
// returning non-zero on success with the ATA IDENTIFY reply at the start of
// the buffer. The library is loaded for each call and freed right after.
bool WinMachine::IdentifyDevice(int32_t designator, uint8_t* reply512) {
  using GetHddInfo = unsigned char(__cdecl*)(void* buffer, int designator);
  UniqueModule library = LoadIdentifyLibrary();
  if (!library) return false;
  const FARPROC proc = GetProcAddress(library.get(), "_GetHDDInfo");
  if (proc == nullptr) return false;
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
                      nullptr) == 0)
    return {};
  return WideToUtf8(buffer);
}

std::string WinMachine::TimeText(const platform::LocalTime& t) {
  const SYSTEMTIME st = ToSystemTime(t);
  wchar_t buffer[128] = {};
  if (GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, buffer, 128) == 0) return {};
  return WideToUtf8(buffer);
}

}  // namespace plexi::win
