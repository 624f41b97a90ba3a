// One-line owners for the Win32 handle types the backend and the windows use.
#pragma once
#include <windows.h>

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
struct GdiObjectTraits {
  using Value = HGDIOBJ;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DeleteObject(v); }
};
struct WindowTraits {
  using Value = HWND;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DestroyWindow(v); }
};

using UniqueFile = Unique<FileHandleTraits>;
using UniqueKernelHandle = Unique<KernelHandleTraits>;
using UniqueRegKey = Unique<RegKeyTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueLocalMemory = Unique<LocalMemoryTraits>;
using UniqueGdiObject = Unique<GdiObjectTraits>;
using UniqueWindow = Unique<WindowTraits>;

// Restores the process's error mode when it goes out of scope, so that a
// label read of an empty drive raises no "insert a disk" dialog.
class ScopedErrorMode {
 public:
  explicit ScopedErrorMode(UINT mode) : old_(SetErrorMode(mode)) {}
  ~ScopedErrorMode() { SetErrorMode(old_); }
  ScopedErrorMode(const ScopedErrorMode&) = delete;
  ScopedErrorMode& operator=(const ScopedErrorMode&) = delete;

 private:
  UINT old_;
};

}  // namespace plexi::win
