// One-line owners for the Win32 handle types the backend and the windows use,
// the GDI and menu handles included; the paint and DC scope guards are in
// gdi_scope.h.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "platform/unique.h"

namespace plexi::win {

struct FileHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Value v) { CloseHandle(v); }
};
// Handles whose "none" is null (processes, threads, events).
struct KernelHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { CloseHandle(v); }
};
struct RegKeyTraits {
  using Value = HKEY;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { RegCloseKey(v); }
};
struct ModuleTraits {
  using Value = HMODULE;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { FreeLibrary(v); }
};
// Buffers the system allocates for us (FormatMessage, CommandLineToArgvW).
struct LocalMemoryTraits {
  using Value = HLOCAL;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { LocalFree(v); }
};
// GDI objects, each its own type so that no use needs a cast; all are
// released by DeleteObject, which must not find them selected into a DC.
template <class Handle>
struct GdiObjectTraits {
  using Value = Handle;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DeleteObject(v); }
};
// A memory DC of CreateCompatibleDC (a window's DC goes back by ReleaseDC,
// see gdi_scope.h).
struct MemoryDcTraits {
  using Value = HDC;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DeleteDC(v); }
};
struct MenuTraits {
  using Value = HMENU;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DestroyMenu(v); }
};
struct ImageListTraits {
  using Value = HIMAGELIST;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { ImageList_Destroy(v); }
};
struct DeviceNotifyTraits {
  using Value = HDEVNOTIFY;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { UnregisterDeviceNotification(v); }
};
// A directory search of FindFirstFileW.
struct FindTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Value v) { FindClose(v); }
};
struct WindowTraits {
  using Value = HWND;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DestroyWindow(v); }
};

using UniqueFile = Unique<FileHandleTraits>;
using UniqueFind = Unique<FindTraits>;
using UniqueKernelHandle = Unique<KernelHandleTraits>;
using UniqueRegKey = Unique<RegKeyTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueLocalMemory = Unique<LocalMemoryTraits>;
using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;
using UniquePen = Unique<GdiObjectTraits<HPEN>>;
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueDc = Unique<MemoryDcTraits>;
using UniqueMenu = Unique<MenuTraits>;
using UniqueImageList = Unique<ImageListTraits>;
using UniqueWindow = Unique<WindowTraits>;
using UniqueDeviceNotify = Unique<DeviceNotifyTraits>;

// An export of a module as the function type it has; null when the module
// is not loaded or lacks it (an older Windows, Windows PE, Wine).
template <class Function>
Function ProcAddressOf(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Adds `mode` (SEM_FAILCRITICALERRORS) to this thread's error mode and
// restores it when it goes out of scope, so that a label read of an empty
// drive raises no "insert a disk" dialog. Per thread: the process's mode is
// shared by every thread and would be restored out of order.
class ScopedErrorMode {
 public:
  explicit ScopedErrorMode(DWORD mode)
      : restore_(SetThreadErrorMode(GetThreadErrorMode() | mode, &old_) != FALSE) {}
  ~ScopedErrorMode() {
    if (restore_) SetThreadErrorMode(old_, nullptr);
  }
  ScopedErrorMode(const ScopedErrorMode&) = delete;
  ScopedErrorMode& operator=(const ScopedErrorMode&) = delete;

 private:
  DWORD old_ = 0;
  bool restore_;
};

}  // namespace plexi::win
