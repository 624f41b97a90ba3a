// The disk-extent reply (IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS) and the
// device-number reply of handles that answer with any bytes: where the
// erase's target check places a device (PlaceDevice, VolumeExtents), where
// the system lies (FindSystemPlacement), and how the list maps letters to
// disks (VolumeLiesOnDisk, MapVolumesToDisks).
#include <cstdint>
#include <set>
#include <string>

#include "drives/discovery.h"
#include "drives/target_check.h"
#include "fuzz_support.h"
#include "platform/ioctl_layout.h"

using namespace plexi;

namespace {

const char* const kPaths[] = {"\\\\.\\C:", "\\\\.\\E:", "\\\\?\\Volume{1}", "\\\\.\\PHYSICALDRIVE1"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  fuzz::ScriptedMachine machine;
  // Each device: its extents and device-number replies, and a few others.
  for (const char* path : kPaths) {
    fuzz::Replies replies;
    if (provider.ConsumeBool()) replies[winconst::kIoctlVolumeGetVolumeDiskExtents] = fuzz::ConsumeReply(provider, 8 + 66 * 24);
    if (provider.ConsumeBool()) replies[winconst::kIoctlStorageGetDeviceNumber] = fuzz::ConsumeReply(provider, 16);
    if (provider.ConsumeBool()) replies[winconst::kIoctlStorageQueryProperty] = fuzz::ConsumeReply(provider, 64);
    machine.devices[path] = {replies, {}};
  }
  machine.drive_strings = std::string("C:\\\0E:\\\0", 8);
  machine.drive_types["E:\\"] = provider.PickValueInArray<uint32_t>({winconst::kDriveFixed, winconst::kDriveRemovable});
  machine.volumes.complete = provider.ConsumeBool();
  machine.volumes.volumes = {{"\\\\.\\C:", {"C:\\"}, true, false}, {"\\\\?\\Volume{1}", {}, false, true}};
  const uint32_t disk = provider.ConsumeIntegralInRange<uint32_t>(0, 3);
  const std::string path = provider.PickValueInArray(kPaths);

  for (const char* at : kPaths) {
    platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(at, platform::Access::kQuery);
    FUZZ_CHECK(opened.ok());
    const Placement placement = PlaceDevice(*opened.value(), at);
    FUZZ_CHECK(placement.spans.size() <= 64);
    if (placement.kind == Placement::Kind::kDisk) FUZZ_CHECK(placement.spans.empty());
    if (placement.kind == Placement::Kind::kUnknown) FUZZ_CHECK(placement.spans.empty() && !IsVolumePath(at));

    // The list and the target check agree on which disks a volume uses.
    const std::optional<std::vector<DiskSpan>> extents = VolumeExtents(machine, at);
    if (extents) {
      FUZZ_CHECK(!extents->empty() && extents->size() <= 64);
      FUZZ_CHECK(placement.kind == Placement::Kind::kVolume && placement.spans.size() == extents->size());
      for (const DiskSpan& span : *extents) FUZZ_CHECK(VolumeLiesOnDisk(machine, at, span.disk));
    }
    VolumeLiesOnDisk(machine, at, disk);
  }

  // The system's place and what it refuses.
  const std::optional<SystemPlacement> system = FindSystemPlacement(machine);
  if (!machine.volumes.complete) FUZZ_CHECK(!system);
  platform::Result<std::unique_ptr<platform::Device>> target = machine.OpenDevice(path, platform::Access::kQuery);
  const Placement placement = PlaceDevice(*target.value(), path);
  const std::optional<std::string> refusal = SystemRefusal(machine, placement, path);
  if (placement.kind == Placement::Kind::kDisk && !system) FUZZ_CHECK(refusal.has_value());
  if (system && placement.kind == Placement::Kind::kDisk && system->disks.count(placement.disk))
    FUZZ_CHECK(refusal.has_value());

  fuzz::KeptMessages notifier;
  DriveDiscovery discovery(machine, notifier);
  for (ViewMode view : {ViewMode::kPhysical, ViewMode::kPartition})
    for (const VolumeMapEntry& entry : discovery.MapVolumesToDisks(view)) FUZZ_CHECK(!entry.Text().empty());
  return 0;
}
