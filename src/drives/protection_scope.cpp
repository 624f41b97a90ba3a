#include "drives/protection_scope.h"

#include <algorithm>

#include "drives/discovery.h"

namespace plexi {

namespace {

// Messages of the listing are dropped: a volume that cannot be opened is
// not the target's business.
class QuietNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text) override { static_cast<void>(text); }
};

bool DiskHoldsVolume(uint32_t disk, const Placement& volume) {
  return std::any_of(volume.spans.begin(), volume.spans.end(), [disk](const DiskSpan& s) { return s.disk == disk; });
}

Placement PlaceRow(platform::Machine& machine, const DriveRow& row, ViewMode view) {
  Placement placement;
  if (view == ViewMode::kPhysical && row.designator.IsPhysical()) {
    placement.kind = Placement::Kind::kDisk;
    placement.disk = row.designator.number();
    return placement;
  }
  if (std::optional<std::vector<DiskSpan>> spans = VolumeExtents(machine, row.designator.DevicePath())) {
    placement.kind = Placement::Kind::kVolume;
    placement.spans = std::move(*spans);
  }
  return placement;
}

std::optional<Placement> PlacePath(platform::Machine& machine, const std::string& path) {
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(path, platform::Access::kQuery);
  if (!opened.ok()) return std::nullopt;
  return PlaceDevice(*opened.value(), path);
}

}  // namespace

bool PlacementsOverlap(const Placement& a, const Placement& b) {
  using Kind = Placement::Kind;
  if (a.kind == Kind::kUnknown || b.kind == Kind::kUnknown) return false;
  if (a.kind == Kind::kDisk && b.kind == Kind::kDisk) return a.disk == b.disk;
  if (a.kind == Kind::kDisk) return DiskHoldsVolume(a.disk, b);
  if (b.kind == Kind::kDisk) return DiskHoldsVolume(b.disk, a);
  return std::any_of(a.spans.begin(), a.spans.end(), [&b](const DiskSpan& s) {
    return std::any_of(b.spans.begin(), b.spans.end(), [&s](const DiskSpan& t) { return s.Overlaps(t); });
  });
}

std::optional<ProtectingRow> FindProtectingRow(platform::Machine& machine, ForbiddenList& list,
                                               const std::string& path) {
  const std::optional<Placement> target = PlacePath(machine, path);
  if (!target || target->kind == Placement::Kind::kUnknown) return std::nullopt;
  QuietNotifier quiet;
  DriveDiscovery discovery(machine, quiet);
  for (const ViewMode view : {ViewMode::kPhysical, ViewMode::kPartition}) {
    for (DriveRow& row : discovery.Refresh(view, view == ViewMode::kPhysical)) {
      if (!list.IsForbidden(row, view)) continue;
      if (PlacementsOverlap(*target, PlaceRow(machine, row, view))) return ProtectingRow{std::move(row), view};
    }
  }
  return std::nullopt;
}

std::string ProtectingRowName(const ProtectingRow& protecting) {
  const DriveRow& row = protecting.row;
  const std::string name = protecting.view == ViewMode::kPhysical && row.designator.IsPhysical()
                               ? "物理ドライブ " + std::to_string(row.designator.number())
                               : row.letters;
  return name + "（" + row.caption + "）";
}

std::string CoveredByProtectionText(const ProtectingRow& protecting) {
  return "このドライブは、消去が禁止されている " + ProtectingRowName(protecting) +
         " と同じ記憶域にあるため、消去できません。消去するには、先にその消去の禁止を解除して下さい。";
}

}  // namespace plexi
