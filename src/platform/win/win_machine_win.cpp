#include "platform/win/win_machine.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <limits>
#include <vector>

#include "platform/win/utf.h"
#include "platform/win/win_handles.h"
#include "platform/winconst.h"

namespace plexi::win {
namespace {

using platform::Access;
using platform::IoResult;
using platform::Status;

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

}  // namespace

bool IsVolumePath(const std::string& path) {
  return path.size() == 6 && path.compare(0, 4, "\\\\.\\") == 0 && path[5] == ':' &&
         ((path[4] >= 'A' && path[4] <= 'Z') || (path[4] >= 'a' && path[4] <= 'z'));
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

// The library's export is taken as
//   unsigned char __cdecl _GetHDDInfo(void* buffer, int designator);
// returning non-zero on success with the ATA IDENTIFY reply at the start of
// the buffer. The library is loaded for each call and freed right after.
platform::VolumeList WinMachine::Volumes() {
  // Placeholder until the volumes are enumerated.
  return {};
}

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
