// The calls the Win32 backend makes into the storage stack and the system
// facts around it, one method per call with the call's own parameters. The
// program uses SystemWinApi (straight to kernel32, setupapi, advapi32 and
// ntdll); tests put a model of the storage stack here. A failed call sets
// the thread's last error, as the real call does.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plexi::win {

class WinApi {
 public:
  virtual ~WinApi() = default;

  // Files and devices. Handles are closed by CloseHandle of the same object.
  virtual HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) = 0;
  virtual BOOL CloseHandle(HANDLE handle) = 0;
  virtual BOOL DeviceIoControl(HANDLE handle, DWORD code, void* in, DWORD in_length, void* out, DWORD out_length,
                               DWORD* returned) = 0;
  virtual BOOL ReadFile(HANDLE handle, void* buffer, DWORD length, DWORD* done) = 0;
  virtual BOOL WriteFile(HANDLE handle, const void* buffer, DWORD length, DWORD* done) = 0;
  virtual BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* position, DWORD method) = 0;
  virtual BOOL FlushFileBuffers(HANDLE handle) = 0;

  // Volumes and where they are mounted.
  virtual HANDLE FindFirstVolumeW(wchar_t* name, DWORD length) = 0;
  virtual BOOL FindNextVolumeW(HANDLE search, wchar_t* name, DWORD length) = 0;
  virtual BOOL FindVolumeClose(HANDLE search) = 0;
  virtual BOOL GetVolumePathNamesForVolumeNameW(const wchar_t* volume, wchar_t* names, DWORD length,
                                                DWORD* needed) = 0;
  virtual BOOL GetVolumePathNameW(const wchar_t* path, wchar_t* mount_point, DWORD length) = 0;
  virtual BOOL GetVolumeNameForVolumeMountPointW(const wchar_t* mount_point, wchar_t* name, DWORD length) = 0;
  virtual DWORD QueryDosDeviceW(const wchar_t* name, wchar_t* target, DWORD length) = 0;
  virtual UINT GetDriveTypeW(const wchar_t* root) = 0;
  virtual DWORD GetLogicalDrives() = 0;
  virtual DWORD GetLogicalDriveStringsW(DWORD length, wchar_t* buffer) = 0;
  // The label only (the other outputs of the call are not asked for).
  virtual BOOL GetVolumeInformationW(const wchar_t* root, wchar_t* label, DWORD label_length) = 0;
  virtual UINT GetSystemDirectoryW(wchar_t* buffer, UINT length) = 0;

  // The device paths of the present disk interfaces (SetupDiGetClassDevsW,
  // SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailW), an
  // interface whose detail cannot be read as an empty path; nothing when
  // the set cannot be made.
  virtual std::optional<std::vector<std::wstring>> DiskInterfacePaths() = 0;

  // The registry under HKEY_LOCAL_MACHINE and the running system's version.
  virtual LSTATUS RegGetValueW(HKEY key, const wchar_t* subkey, const wchar_t* value, DWORD flags, DWORD* type,
                               void* data, DWORD* bytes) = 0;
  virtual LSTATUS RegOpenKeyExW(HKEY key, const wchar_t* subkey, DWORD options, REGSAM access, HKEY* result) = 0;
  virtual LSTATUS RegCloseKey(HKEY key) = 0;
  // RtlGetVersion: the version the system really is (GetVersionEx answers
  // with the manifest's idea of it).
  virtual LONG RtlGetVersion(OSVERSIONINFOEXW* info) = 0;
};

// The real calls, with no logic of their own.
std::shared_ptr<WinApi> SystemWinApi();

// Move-only owner of a handle that one WinApi made and closes.
template <class Value, BOOL (WinApi::*Close)(Value)>
class ApiHandle {
 public:
  ApiHandle(WinApi& api, Value value) : api_(&api), value_(value) {}
  ApiHandle(ApiHandle&& other) noexcept : api_(other.api_), value_(other.value_) { other.value_ = Invalid(); }
  ApiHandle(const ApiHandle&) = delete;
  ApiHandle& operator=(const ApiHandle&) = delete;
  ApiHandle& operator=(ApiHandle&&) = delete;
  ~ApiHandle() {
    if (*this) (api_->*Close)(value_);
  }
  Value get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid(); }

 private:
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  WinApi* api_;
  Value value_;
};

using ApiFile = ApiHandle<HANDLE, &WinApi::CloseHandle>;
using ApiVolumeSearch = ApiHandle<HANDLE, &WinApi::FindVolumeClose>;

// A registry key opened through a WinApi, closed by its RegCloseKey.
class ApiRegKey {
 public:
  explicit ApiRegKey(WinApi& api) : api_(api) {}
  ApiRegKey(const ApiRegKey&) = delete;
  ApiRegKey& operator=(const ApiRegKey&) = delete;
  ~ApiRegKey() {
    if (key_ != nullptr) api_.RegCloseKey(key_);
  }
  HKEY* put() { return &key_; }
  HKEY get() const { return key_; }

 private:
  WinApi& api_;
  HKEY key_ = nullptr;
};

}  // namespace plexi::win
