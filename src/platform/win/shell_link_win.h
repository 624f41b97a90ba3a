// Shortcut (.lnk) files and special folders through the Windows shell: what
// the main window's first showing uses to keep the desktop shortcut
// pointing at this copy of the program (shell/shell_link.h).
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "platform/shell.h"
#include "platform/unique.h"

namespace plexi::win {

template <class Interface>
struct ComTraits {
  using Value = Interface*;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { v->Release(); }
};
template <class Interface>
using UniqueCom = Unique<ComTraits<Interface>>;

// Item lists the shell allocates for us.
struct ItemListTraits {
  using Value = PIDLIST_ABSOLUTE;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { CoTaskMemFree(v); }
};
using UniqueItemList = Unique<ItemListTraits>;

// The component library for this thread, apartment-threaded, for as long as
// the object lives; nested scopes on one thread are counted by COM itself.
// OLE1 DDE is off, as the page "ShellExecuteW" asks of its callers.
class ScopedComInit {
 public:
  ScopedComInit() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ScopedComInit() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;

 private:
  HRESULT result_;
};

class TShellLink : public platform::ShortcutShell {
 public:
  // A special folder's path (kFolderDesktop...); the Windows and system
  // folders fall back to the system's own answers.
  std::string GetPath(int folder) override;
  // The file an existing shortcut points to; on any failure `target` is
  // the shortcut's own path. Returns the shell's result code.
  int32_t GetLinkToPath(const std::string& link, std::string& target) override {
    return GetLinkToPath(link, target, nullptr);
  }
  int32_t GetLinkToPath(const std::string& link, std::string& target, HWND owner);
  // Writes folder\name.lnk pointing at `target`; returns the shortcut's
  // path, or empty text when the target does not exist or saving fails.
  std::string CreateLink(const std::string& target, int folder, const std::string& link_name,
                         bool overwrite) override {
    return CreateLink(target, nullptr, folder, link_name, overwrite);
  }
  // With an empty target the shortcut points at `item` instead.
  std::string CreateLink(const std::string& target, PCIDLIST_ABSOLUTE item, int folder,
                         const std::string& link_name, bool overwrite);
  // The same into a folder given by its path.
  std::string CreateLinkIn(const std::string& target, PCIDLIST_ABSOLUTE item,
                           const std::string& folder, const std::string& link_name,
                           bool overwrite);
  bool FileExists(const std::string& path) override;

 private:
  // With `check_only` nothing is written: "1" when the name had to be
  // numbered, else "0".
  std::string WriteLink(const std::string& target, PCIDLIST_ABSOLUTE item,
                        const std::string& folder, const std::string& description,
                        bool check_only);

  std::string link_name_;
  bool overwrite_ = false;
};

// The running program's full path.
std::string ExecutablePath();

}  // namespace plexi::win
