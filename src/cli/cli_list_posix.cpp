// The tool's list on Linux: the machine's disks as /sys/block shows them,
// each with the record in its first sector and, when it must not be erased,
// why. Listing only reads; nothing is opened for writing.
#include <sstream>

#include "record/erase_method.h"
#include "cli/cli_common.h"
#include "drives/drive_types.h"
#include "platform/posix/linux_disks.h"
#include "platform/posix/posix_machine.h"
#include "record/erase_record.h"

namespace plexi::cli {
namespace {

std::string Caption(const posix::LinuxDisk& disk) {
  std::string caption = disk.identity.vendor;
  if (!disk.identity.product.empty()) caption += (caption.empty() ? "" : " ") + disk.identity.product;
  return caption.empty() ? disk.name : caption;
}

// "not (why)" when the disk must not be erased; empty when it may be.
std::string RefusalText(const Options& o, platform::Machine& machine, const posix::LinuxDisk& disk) {
  std::string why;
  if (disk.system) why = Said(o, "system disk: the root file system lives on it", "システムのディスク: ルート ファイル システムがあります");
  if (why.empty()) why = disk.in_use;
  if (why.empty()) {
    std::ostringstream said;
    if (TargetIsProtected(o, machine, disk.path, said)) why = OneLine(said.str());
  }
  return why.empty() ? std::string() : "not (" + why + ")";  // "not" as the program's list marks it
}

}  // namespace

std::optional<int> ListHostDisks(const Options& o, std::ostream& out, std::ostream& err) {
  posix::PosixMachine machine;
  const std::vector<posix::LinuxDisk> disks = posix::ListLinuxDisks({o.loop, o.partitions, o.language});
  out << ListHeader(o) << "\n";
  for (const posix::LinuxDisk& disk : disks) {
    std::string method, kind = "?";
    std::string problem;
    if (const std::optional<FirstSector> first = ReadFirstSector(machine, disk.path, &problem, o.language)) {
      const ListRecord record = RecogniseForList(first->bytes.data(), first->bytes.size());
      if (record.method) method = EraseMethodText(*record.method, MethodTextForm::kShort, o.language);
      kind = std::to_string(int(record.kind));
    } else {
      err << "plexiscrub-cli: " << problem << "\n";
    }
    out << Caption(disk) << " | " << disk.bus << " | ― | " << FormatSize(disk.bytes) << " | " << method << " | "
        << disk.path << " | " << kind << " | " << RefusalText(o, machine, disk) << " | " << disk.identity.serial
        << "\n";
  }
  if (disks.empty()) err << "plexiscrub-cli: " << Said(o, "no disks found", "ディスクが見つかりません") << "\n";
  return kOk;
}

std::vector<std::string> HostProbePaths() {
  std::vector<std::string> paths;
  for (const posix::LinuxDisk& disk : posix::ListLinuxDisks({false, true})) paths.push_back(disk.path);
  return paths;
}

}  // namespace plexi::cli
