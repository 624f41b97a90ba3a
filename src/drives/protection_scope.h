// Protection reaches every name of a drive's bytes: a protected disk
// protects each volume on it, and a protected volume the disk that holds it
// (erasing the disk would erase the volume too). Rows are matched by where
// their bytes lie, never by how the target was named.
#pragma once
#include <optional>
#include <string>

#include "drives/drive_types.h"
#include "drives/forbidden_list.h"
#include "drives/target_check.h"
#include "platform/platform.h"

namespace plexi {

struct ProtectingRow {
  DriveRow row;
  ViewMode view = ViewMode::kPhysical;
};

// Whether writing through `a` could change bytes of `b`: the same disk, a
// disk and a volume on it, or two volumes whose extents overlap. An
// unplaced side overlaps nothing.
bool PlacementsOverlap(const Placement& a, const Placement& b);

// The protected row, of either view, whose bytes overlap the device at
// `path`; nothing when none does or the device cannot be placed. The rows
// are listed afresh (every disk, every lettered volume) and the list file
// is read afresh; problems with unrelated volumes are not reported.
std::optional<ProtectingRow> FindProtectingRow(platform::Machine& machine, ForbiddenList& list,
                                               const std::string& path);

// The row as the refusal names it: "物理ドライブ 1（製品名）" or "E:（製品名）".
std::string ProtectingRowName(const ProtectingRow& protecting);

// The refusal of an erase that another protected row covers.
std::string CoveredByProtectionText(const ProtectingRow& protecting);

}  // namespace plexi
