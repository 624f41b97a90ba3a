// The disks of the terminal view: the simulated machine's as the program
// lists them, or the host's as /sys/block shows them, each with its record,
// what its own purge would send and why it may not be erased.
#include <sstream>

#include "cli/cli_tui.h"
#include "drives/discovery.h"
#include "drives/purge_capability.h"
#include "platform/host.h"
#include "platform/posix/linux_disks.h"
#include "record/erase_record.h"

namespace plexi::cli {
namespace {

std::string RecordText(platform::Machine& machine, const std::string& path, Language language) {
  std::string problem;
  const std::optional<FirstSector> first = ReadFirstSector(machine, path, &problem);
  if (!first) return "?";
  const ListRecord record = RecogniseForList(first->bytes.data(), first->bytes.size());
  const TuiTexts& texts = TextsOf(language);
  const bool known = record.method && *record.method >= 0 && *record.method <= 3;
  const std::string method =
      known ? " " + std::to_string(*record.method) + " (" + texts.method_names[*record.method] + ")" : std::string();
  switch (record.kind) {
    case RecordKind::kComplete: return InLanguage(language, "erased", "消去済") + method;
    case RecordKind::kResume: return InLanguage(language, "interrupted", "中断") + method;
    default: return "-";
  }
}

// The command method 3 would send, asked as inspect asks it: identify
// commands only, through a read handle, and a read-write one where ATA
// pass-through needs it.
std::string PurgeText(platform::Machine& machine, const std::string& path) {
  for (platform::Access access : {platform::Access::kRead, platform::Access::kReadWrite}) {
    platform::Result<std::unique_ptr<platform::Device>> device = machine.OpenDevice(path, access);
    if (!device.ok()) return {};
    const std::optional<DescriptorFacts> d = QueryDescriptor(**device);
    const PurgeCapability cap = QueryPurgeCapability(**device, d ? d->bus_type : 0, machine.System());
    if (cap.identify_denied) continue;
    return cap.Usable() ? PurgeCommandName(cap.command) : std::string();
  }
  return {};
}

std::string ProtectedText(const Options& o, platform::Machine& machine, const std::string& target) {
  std::ostringstream said;
  if (!TargetIsProtected(o, machine, target, said)) return {};
  std::string line = OneLine(said.str());
  const std::string prefix = "plexiscrub-cli: ";
  return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
}

std::vector<TuiDisk> SimulatedDisks(const Options& o, Language language, std::ostream& err) {
  std::vector<TuiDisk> disks;
  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return disks;
  StreamNotifier notifier(err);
  DriveDiscovery discovery(*machine, notifier);
  for (const DriveRow& row : discovery.Refresh(ViewMode::kPhysical, true)) {
    TuiDisk disk;
    disk.target = std::to_string(row.designator.number());
    const std::string path = DevicePathOf(disk.target);
    disk.model = row.caption;
    disk.serial = row.serial;
    disk.size = row.size_text;
    disk.bus = row.bus_type;
    disk.record = RecordText(*machine, path, language);
    disk.purge = PurgeText(*machine, path);
    disk.refusal = ProtectedText(o, *machine, disk.target);
    disks.push_back(disk);
  }
  return disks;
}

std::vector<TuiDisk> HostDisks(const Options& o, Language language, std::ostream& err) {
  std::vector<TuiDisk> disks;
  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return disks;
  for (const posix::LinuxDisk& found : posix::ListLinuxDisks({o.loop, false, language})) {
    TuiDisk disk;
    disk.target = found.path;
    disk.model = found.identity.vendor;
    if (!found.identity.product.empty()) disk.model += (disk.model.empty() ? "" : " ") + found.identity.product;
    if (disk.model.empty()) disk.model = found.name;
    disk.serial = found.identity.serial;
    disk.size = FormatSize(found.bytes);
    disk.bus = found.bus;
    disk.record = RecordText(*machine, found.path, language);
    disk.purge = PurgeText(*machine, found.path);
    if (found.system) disk.refusal = InLanguage(language, "system disk", "システムディスク");
    if (disk.refusal.empty()) disk.refusal = found.in_use;
    if (disk.refusal.empty()) disk.refusal = ProtectedText(o, *machine, found.path);
    disks.push_back(disk);
  }
  return disks;
}

}  // namespace

std::vector<TuiDisk> ListTuiDisks(const Options& o, Language language, std::ostream& err) {
  return o.simulate ? SimulatedDisks(o, language, err) : HostDisks(o, language, err);
}

}  // namespace plexi::cli
