#include "platform/win/win_api.h"

#include <setupapi.h>

#include "platform/win/win_handles.h"
#include "platform/win/win_machine.h"

namespace plexi::win {
namespace {

// A SetupAPI device information set.
struct DevInfoTraits {
  using Value = HDEVINFO;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Value v) { SetupDiDestroyDeviceInfoList(v); }
};
using UniqueDevInfo = Unique<DevInfoTraits>;

// The device path of the interface at `index`; nothing past the last one.
std::optional<std::wstring> DiskInterfacePath(HDEVINFO set, DWORD index) {
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kDiskInterfaceGuid, index, &data)) return std::nullopt;
  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
  if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return std::wstring();
  std::vector<uint8_t> buffer(size);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr)) return std::wstring();
  return std::wstring(detail->DevicePath);
}

class SystemApi : public WinApi {
 public:
  HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override {
    return ::CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
  }
  BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }
  BOOL DeviceIoControl(HANDLE handle, DWORD code, void* in, DWORD in_length, void* out, DWORD out_length,
                       DWORD* returned) override {
    return ::DeviceIoControl(handle, code, in, in_length, out, out_length, returned, nullptr);
  }
  BOOL ReadFile(HANDLE handle, void* buffer, DWORD length, DWORD* done) override {
    return ::ReadFile(handle, buffer, length, done, nullptr);
  }
  BOOL WriteFile(HANDLE handle, const void* buffer, DWORD length, DWORD* done) override {
    return ::WriteFile(handle, buffer, length, done, nullptr);
  }
  BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* position, DWORD method) override {
    return ::SetFilePointerEx(handle, distance, position, method);
  }
  BOOL FlushFileBuffers(HANDLE handle) override { return ::FlushFileBuffers(handle); }

  HANDLE FindFirstVolumeW(wchar_t* name, DWORD length) override { return ::FindFirstVolumeW(name, length); }
  BOOL FindNextVolumeW(HANDLE search, wchar_t* name, DWORD length) override {
    return ::FindNextVolumeW(search, name, length);
  }
  BOOL FindVolumeClose(HANDLE search) override { return ::FindVolumeClose(search); }
  BOOL GetVolumePathNamesForVolumeNameW(const wchar_t* volume, wchar_t* names, DWORD length,
                                        DWORD* needed) override {
    return ::GetVolumePathNamesForVolumeNameW(volume, names, length, needed);
  }
  BOOL GetVolumePathNameW(const wchar_t* path, wchar_t* mount_point, DWORD length) override {
    return ::GetVolumePathNameW(path, mount_point, length);
  }
  BOOL GetVolumeNameForVolumeMountPointW(const wchar_t* mount_point, wchar_t* name, DWORD length) override {
    return ::GetVolumeNameForVolumeMountPointW(mount_point, name, length);
  }
  DWORD QueryDosDeviceW(const wchar_t* name, wchar_t* target, DWORD length) override {
    return ::QueryDosDeviceW(name, target, length);
  }
  UINT GetDriveTypeW(const wchar_t* root) override { return ::GetDriveTypeW(root); }
  DWORD GetLogicalDrives() override { return ::GetLogicalDrives(); }
  DWORD GetLogicalDriveStringsW(DWORD length, wchar_t* buffer) override {
    return ::GetLogicalDriveStringsW(length, buffer);
  }
  BOOL GetVolumeInformationW(const wchar_t* root, wchar_t* label, DWORD label_length) override {
    return ::GetVolumeInformationW(root, label, label_length, nullptr, nullptr, nullptr, nullptr, 0);
  }
  UINT GetSystemDirectoryW(wchar_t* buffer, UINT length) override { return ::GetSystemDirectoryW(buffer, length); }

  std::optional<std::vector<std::wstring>> DiskInterfacePaths() override {
    UniqueDevInfo set(SetupDiGetClassDevsW(&kDiskInterfaceGuid, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set) return std::nullopt;
    std::vector<std::wstring> paths;
    for (DWORD index = 0;; ++index) {
      std::optional<std::wstring> path = DiskInterfacePath(set.get(), index);
      if (!path) break;
      paths.push_back(std::move(*path));
    }
    return paths;
  }

  LSTATUS RegGetValueW(HKEY key, const wchar_t* subkey, const wchar_t* value, DWORD flags, DWORD* type, void* data,
                       DWORD* bytes) override {
    return ::RegGetValueW(key, subkey, value, flags, type, data, bytes);
  }
  LSTATUS RegOpenKeyExW(HKEY key, const wchar_t* subkey, DWORD options, REGSAM access, HKEY* result) override {
    return ::RegOpenKeyExW(key, subkey, options, access, result);
  }
  LSTATUS RegCloseKey(HKEY key) override { return ::RegCloseKey(key); }

  // ntdll exports it on every supported Windows; it has no import library
  // entry in every toolchain, hence the lookup ("RtlGetVersion function",
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/wdm/nf-wdm-rtlgetversion).
  LONG RtlGetVersion(OSVERSIONINFOEXW* info) override {
    using Query = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const FARPROC proc = ntdll != nullptr ? GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
    constexpr LONG kStatusNotImplemented = LONG(0xC0000002);
    if (proc == nullptr) return kStatusNotImplemented;
    info->dwOSVersionInfoSize = sizeof *info;
    return reinterpret_cast<Query>(reinterpret_cast<void (*)()>(proc))(info);
  }
};

}  // namespace

std::shared_ptr<WinApi> SystemWinApi() {
  return std::make_shared<SystemApi>();
}

}  // namespace plexi::win
