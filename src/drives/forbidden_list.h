// The drives the user protected against erasing, kept as lines "name=bus type"
// in a text file beside the program, in code page 932 on Windows (see
// Utf8ToFileText); the file is read afresh for every lookup and change, so
// running copies of the program always agree with it.
//
// A protected drive has up to two lines. The identity key (identity hex +
// letters + size text) is what older copies of the program read; it changes
// with the firmware revision, the USB bridge and the drive letters. The
// stable key, built from the descriptor's vendor, product and serial number,
// survives all three; it begins with "#" so that no identity key can equal it.
#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "drives/row_change.h"
#include "errors/error_report.h"
#include "platform/platform.h"

namespace plexi {

inline constexpr char kForbiddenListFileName[] = "drvnotlist.txt";

// The names under which a row is protected. Either may be empty: a row
// without letters (a device named by its path) has no identity key, one
// without a serial number no stable key, because vendor and product alone
// would protect every drive of that model.
struct ProtectionKeys {
  std::string legacy;  // identity hex + letters + size text
  // "#DRIVE|vendor|product|serial" in the physical view,
  // "#VOLUME|vendor|product|serial|size text" in the partition view, so that
  // protecting a whole drive leaves its partitions erasable there.
  std::string stable;
  // The stable key under the names earlier copies protected the drive
  // under: the descriptor's own serial where the row's serial is the NVMe
  // controller's, the SCSI inquiry's names where Linux now reads the
  // drive's identify data. Looked up and removed, never added.
  std::string reported;
};
ProtectionKeys ProtectionKeysOf(const DriveRow& row, ViewMode view);

class ForbiddenList {
 public:
  enum class Change { kChanged, kUnchanged, kFailed };

  // `path` is the list file, fixed when the main window is made.
  ForbiddenList(platform::Machine& machine, platform::FileStore& files, std::string path,
                Notifier& notifier);

  // True when a line's name equals `key`, ignoring letter case. A list that
  // exists but cannot be read protects every drive until it can be read
  // again; that is reported once, not once per row.
  bool IsForbidden(const std::string& key);
  // Adds "key=bus_type" unless the key is there already; writes only when a
  // line was added.
  Change AddForbidden(const std::string& key, const std::string& bus_type);
  // Deletes the first line named `key`; writes only when one was deleted.
  Change RemoveForbidden(const std::string& key);

  // The row is protected when a line carries either of its keys; an
  // unreadable list protects it as IsForbidden(key) does.
  bool IsForbidden(const DriveRow& row, ViewMode view);
  // Adds a line for each of the row's keys not there yet, value the row's
  // bus type; writes only when a line was added.
  Change AddForbidden(const DriveRow& row, ViewMode view);
  // Deletes every line carrying either key, so that no stray copy of a line
  // keeps the drive protected; writes only when one was deleted.
  Change RemoveForbidden(const DriveRow& row, ViewMode view);

  // Rewrites entries of the old key form (names of 256 letters or more) with
  // the current identity of the drive at the letter before the first ":".
  // Stable-key lines ("#...") are left as they are.
  // `current_identity` answers that for a letter, empty when the drive cannot
  // be asked. Returns true when the file was rewritten.
  bool MigrateForbiddenList(const std::function<std::string(char letter)>& current_identity);

  const std::string& Path() const { return path_; }

 private:
  // Lines of the file in its own code page; nullopt (reported) when the file
  // exists but cannot be read. A missing file is an empty list.
  std::optional<std::vector<std::string>> Load(const std::string& consequence);
  // True when a line carries one of `names` (file code page), or a line
  // `also` accepts, or when the list cannot be read.
  bool LookUp(const std::vector<std::string>& names, const std::function<bool(const std::string& name)>& also = {});
  bool Store(const std::vector<std::string>& lines);
  std::string ReadFailure(uint32_t error) const;

  platform::Machine& machine_;
  platform::FileStore& files_;
  std::string path_;
  Notifier& notifier_;
  bool lookup_failure_reported_ = false;
};

// Which entries of the list's context menu are shown.
struct ForbidMenu {
  bool forbid_visible = false;  // "消去を禁止する"
  bool allow_visible = false;   // "消去を許可する"
};

// The system drive's row offers neither entry; an erasable row offers
// "forbid", a forbidden one "allow".
ForbidMenu PopupMenu2Popup(bool row_selected, const std::string& row_letters, bool not_erasable,
                           const std::string& system_drive);

enum class ForbidAction { kForbid, kAllow };

// What the main window does after a menu choice: tell the other copies and
// set the erase button.
struct ForbidOutcome {
  RowChangeMessage message;
  bool erase_enabled = false;
};

// Applies a menu choice to the row at `row_index` and to the list. Returns
// nullopt, with the row untouched, when the row holds the system drive (the
// list may have been rebuilt while the menu was open) or when the list could
// not be read or written (already reported).
std::optional<ForbidOutcome> N3Click(ForbiddenList& list, DriveRow& row, size_t row_index,
                                     ForbidAction action, bool partition_view,
                                     const std::string& system_drive);

}  // namespace plexi
