// A model of the Windows storage stack for the Win32 backend's tests: the
// WinApi calls answered by a simulated machine or a replayed probe, with
// the structures the system returns byte for byte, and the rules the
// documentation gives for them enforced where the machine underneath does
// not already enforce them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_machine.h"
#include "platform/win/win_api.h"

namespace plexi::win::test {

// The Windows the model behaves as.
struct WindowsEdition {
  DWORD build = 22631;  // Windows 11 23H2
  bool windows_pe = false;
};
inline constexpr DWORD kBuildWindows10v1607 = 14393;
inline constexpr DWORD kBuildWindows10v1903 = 18362;
inline constexpr DWORD kBuildServer2022 = 20348;

class StorageModel : public WinApi {
 public:
  StorageModel(platform::Machine& machine, WindowsEdition edition);
  ~StorageModel() override;

  HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override;
  BOOL CloseHandle(HANDLE handle) override;
  BOOL DeviceIoControl(HANDLE handle, DWORD code, void* in, DWORD in_length, void* out, DWORD out_length,
                       DWORD* returned) override;
  BOOL ReadFile(HANDLE handle, void* buffer, DWORD length, DWORD* done) override;
  BOOL WriteFile(HANDLE handle, const void* buffer, DWORD length, DWORD* done) override;
  BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* position, DWORD method) override;
  BOOL FlushFileBuffers(HANDLE handle) override;

  HANDLE FindFirstVolumeW(wchar_t* name, DWORD length) override;
  BOOL FindNextVolumeW(HANDLE search, wchar_t* name, DWORD length) override;
  BOOL FindVolumeClose(HANDLE search) override;
  BOOL GetVolumePathNamesForVolumeNameW(const wchar_t* volume, wchar_t* names, DWORD length, DWORD* needed) override;
  BOOL GetVolumePathNameW(const wchar_t* path, wchar_t* mount_point, DWORD length) override;
  BOOL GetVolumeNameForVolumeMountPointW(const wchar_t* mount_point, wchar_t* name, DWORD length) override;
  DWORD QueryDosDeviceW(const wchar_t* name, wchar_t* target, DWORD length) override;
  UINT GetDriveTypeW(const wchar_t* root) override;
  DWORD GetLogicalDrives() override;
  DWORD GetLogicalDriveStringsW(DWORD length, wchar_t* buffer) override;
  BOOL GetVolumeInformationW(const wchar_t* root, wchar_t* label, DWORD label_length) override;
  UINT GetSystemDirectoryW(wchar_t* buffer, UINT length) override;
  std::optional<std::vector<std::wstring>> DiskInterfacePaths() override;
  LSTATUS RegGetValueW(HKEY key, const wchar_t* subkey, const wchar_t* value, DWORD flags, DWORD* type, void* data,
                       DWORD* bytes) override;
  LSTATUS RegOpenKeyExW(HKEY key, const wchar_t* subkey, DWORD options, REGSAM access, HKEY* result) override;
  LSTATUS RegCloseKey(HKEY key) override;
  LONG RtlGetVersion(OSVERSIONINFOEXW* info) override;

  // Handles and searches still open (each must be closed once).
  size_t OpenCount() const;

  struct Open;

 private:
  std::shared_ptr<Open> Find(HANDLE handle) const;
  HANDLE Keep(std::shared_ptr<Open> open);
  bool Release(HANDLE handle);
  BOOL Dispatch(Open& open, DWORD code, const uint8_t* in, DWORD in_length, uint8_t* out, DWORD out_length,
                DWORD* returned);
  BOOL NvmeQuery(Open& open, const uint8_t* in, DWORD in_length, uint8_t* out, DWORD out_length, DWORD* returned);
  BOOL ProtocolCommand(Open& open, const uint8_t* in, DWORD in_length, uint8_t* out, DWORD out_length,
                       DWORD* returned);
  BOOL ReinitializeMedia(Open& open, const uint8_t* in, DWORD in_length);
  BOOL AtaPassThrough(Open& open, const uint8_t* in, DWORD in_length, uint8_t* out, DWORD out_length,
                      DWORD* returned);
  bool AtaCommandAllowed(const platform::AtaCommand& command) const;
  bool NvmeCommandAllowed(uint8_t opcode) const;

  platform::Machine& machine_;
  const WindowsEdition edition_;
  mutable std::mutex mutex_;
  std::map<uintptr_t, std::shared_ptr<Open>> opens_;
  uintptr_t next_ = 0x1000;
};

// The Win32 backend over a model of `machine`: what the program's own
// logic drives in the Windows test runs. A machine description that names
// its Windows (windows-version, windows-pe) overrides `edition`.
std::unique_ptr<platform::Machine> WinMachineOver(platform::Machine& machine, WindowsEdition edition = {});

}  // namespace plexi::win::test
