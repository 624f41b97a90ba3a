#include "platform/win/shell_link_win.h"

#include <shellapi.h>
#include <shobjidl.h>

#include "platform/win/utf.h"
#include "util/file_names.h"

namespace plexi::win {

namespace {

using plexi::win::Utf8ToWide;
using plexi::win::WideToUtf8;

constexpr int kPathRoom = 512;

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(Utf8ToWide(path).c_str());
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

UniqueCom<IShellLinkW> NewShellLink() {
  UniqueCom<IShellLinkW> link;
  CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                   reinterpret_cast<void**>(link.put()));
  return link;
}

UniqueCom<IPersistFile> PersistFileOf(IShellLinkW* link) {
  UniqueCom<IPersistFile> file;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
  return file;
}

}  // namespace

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return WideToUtf8(path);
    }
    path.resize(path.size() * 2);
  }
}

std::string TShellLink::GetPath(int folder) {
  wchar_t path[kPathRoom] = {};
  UniqueItemList items;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, folder, items.put())) && items)
    SHGetPathFromIDListW(items.get(), path);
  if (path[0] == L'\0') {
    if (folder == platform::kFolderWindows) {
      GetWindowsDirectoryW(path, kPathRoom);
    } else if (folder == platform::kFolderSystem) {
      GetSystemDirectoryW(path, kPathRoom);
    }
  }
  return WideToUtf8(path);
}

int32_t TShellLink::GetLinkToPath(const std::string& link, std::string& target, HWND owner) {
  target = link;
  ScopedComInit com;
  UniqueCom<IShellLinkW> shell_link = NewShellLink();
  if (!shell_link) return int32_t(REGDB_E_CLASSNOTREG);
  UniqueCom<IPersistFile> file = PersistFileOf(shell_link.get());
  if (!file) return int32_t(E_NOINTERFACE);

  HRESULT result = file.get()->Load(Utf8ToWide(link).c_str(), STGM_READ);
  if (FAILED(result)) return int32_t(result);
  // Only reads: the shortcut is never rewritten, and a moved target is not
  // hunted for on the disks or the network (a missing target is rewritten
  // by the caller anyway).
  const DWORD flags = SLR_NO_UI | SLR_NOUPDATE | SLR_NOSEARCH | SLR_NOTRACK;
  result = shell_link.get()->Resolve(owner, flags);
  if (FAILED(result)) return int32_t(result);
  wchar_t path[kPathRoom] = {};
  result = shell_link.get()->GetPath(path, kPathRoom, nullptr, 0);
  if (SUCCEEDED(result) && path[0] != L'\0') {
    const std::string found = WideToUtf8(path);
    if (Attributes(found) != INVALID_FILE_ATTRIBUTES) target = found;
  }
  return int32_t(result);
}

std::string TShellLink::CreateLink(const std::string& target, PCIDLIST_ABSOLUTE item, int folder,
                                   const std::string& link_name, bool overwrite) {
  return CreateLinkIn(target, item, GetPath(folder), link_name, overwrite);
}

std::string TShellLink::CreateLinkIn(const std::string& target, PCIDLIST_ABSOLUTE item,
                                     const std::string& folder, const std::string& link_name,
                                     bool overwrite) {
  overwrite_ = overwrite;
  link_name_ = link_name;
  return WriteLink(target, item, folder, "", false);
}

bool TShellLink::FileExists(const std::string& path) {
  return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

std::string TShellLink::WriteLink(const std::string& target, PCIDLIST_ABSOLUTE item,
                                  const std::string& folder, const std::string& description,
                                  bool check_only) {
  // SHGetFileInfo needs COM as much as the shell link does.
  ScopedComInit com;
  std::string name;
  if (!target.empty()) {
    if (!FileExists(target)) return {};
    name = platform::LinkFileName(link_name_, target, IsDirectory(target));
  } else {
    if (item == nullptr) return {};
    name = FileMogChk(link_name_);
    if (name.empty()) {
      SHFILEINFOW info{};
      SHGetFileInfoW(reinterpret_cast<LPCWSTR>(item), 0, &info, sizeof(info),
                     SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_ATTRIBUTES);
      name = WideToUtf8(info.szDisplayName);
      if ((info.dwAttributes & SFGAO_FOLDER) == 0) name = StripExtension(name);
    }
  }

  const platform::LinkPathChoice choice = platform::ChooseLinkPath(
      folder, name, !overwrite_ || check_only, [this](const std::string& p) { return FileExists(p); });
  if (check_only) return choice.numbered ? "1" : "0";

  UniqueCom<IShellLinkW> shell_link = NewShellLink();
  if (!shell_link) return {};
  HRESULT result = target.empty() ? shell_link.get()->SetIDList(item)
                                  : shell_link.get()->SetPath(Utf8ToWide(target).c_str());
  if (SUCCEEDED(result)) result = shell_link.get()->SetDescription(Utf8ToWide(description).c_str());
  UniqueCom<IPersistFile> file = PersistFileOf(shell_link.get());
  if (FAILED(result) || !file) return {};
  if (FAILED(file.get()->Save(Utf8ToWide(choice.path).c_str(), TRUE))) return {};
  return choice.path;
}

}  // namespace plexi::win
