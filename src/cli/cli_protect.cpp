// plexiscrub-cli protect / allow, and the protection check the erase makes:
// the program's protection list, kept where the program keeps it, keyed by
// the same rows the program's list shows.
#include <cctype>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "cli/cli_common.h"
#include "drives/protection_scope.h"
#include "platform/ioctl_layout.h"
#include "platform/sim/directory_file_store.h"
#include "platform/sim/file_util.h"
#include "platform/winconst.h"
#include "util/ascii_text.h"

namespace plexi::cli {

namespace {

std::string ProtectionFolder(const Options& o) {
  return o.simulate ? SimulatedFilesFolder(*o.simulate) : HostProtectionFolder();
}

// Whether the open device is one partition rather than a whole drive.
bool IsPartition(platform::Device& device, const std::string& path) {
  if (IsVolumePath(path)) return true;
  uint8_t reply[winconst::kPartitionInfoBufferSize] = {};
  platform::IoResult r = device.Control(winconst::kIoctlDiskGetPartitionInfo, nullptr, 0, reply, sizeof reply);
  return r.ok() && r.value() >= winconst::kPartitionInformationSize &&
         layout::PartitionInformation::Decode(reply).partition_number != 0;
}

// Without a serial a drive is known by its path, as earlier copies knew
// one whose names they read without a serial.
void NameByPathWithoutSerial(const std::string& path, DriveRow& row) {
  const bool names_before = row.reported_vendor && row.reported_serial.empty();
  if (!row.serial.empty() && !names_before) return;
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::canonical(sim::PathFromUtf8(path), ec);
  const std::string by_path = "path:" + (ec ? path : sim::PathToUtf8(canonical));
  if (row.serial.empty()) row.serial = by_path;
  if (names_before) row.reported_serial = by_path;
}

// A target the program's list does not show (a path, or a drive without
// letters), described by its own descriptor. A device that names no serial
// number is known by its path instead, so that protecting it does not
// protect every drive of its model.
std::optional<TargetDrive> DescribeUnlisted(const Options& o, platform::Machine& machine,
                                            const std::string& target, std::optional<ViewMode> view,
                                            std::ostream& err) {
  const std::string path = DevicePathOf(target);
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(path, platform::Access::kRead);
  if (!opened.ok()) {
    err << "plexiscrub-cli: " << Said(o, "cannot open ", "開けません: ") << path << ": "
        << OneLine(SystemErrorText(machine, opened.error())) << "\n";
    return std::nullopt;
  }
  TargetDrive drive;
  drive.view = view ? *view : (IsPartition(*opened.value(), path) ? ViewMode::kPartition : ViewMode::kPhysical);
  platform::Result<DriveExtent> extent = MeasureDrive(**opened, path, drive.view);
  std::optional<DescriptorFacts> descriptor = QueryDescriptor(*opened.value());
  if (!extent.ok() || !descriptor || !descriptor->has_header) {
    err << "plexiscrub-cli: " << path
        << Said(o, " does not tell its size and descriptor", " はサイズと記述子を返しません") << "\n";
    return std::nullopt;
  }
  DriveRow& row = drive.row;
  row.vendor = descriptor->vendor;
  row.product = descriptor->product;
  row.serial = descriptor->serial;
  row.reported_serial = descriptor->reported_serial;
  row.reported_vendor = descriptor->reported_vendor;
  row.reported_product = descriptor->reported_product;
  row.identity = descriptor->identity_hex;
  row.bus_type = BusTypeName(descriptor->bus_type);
  row.size_text = FormatSize(extent->Bytes());
  row.caption = row.vendor + (row.vendor.empty() ? "" : " ") + row.product;
  if (!view && !o.simulate) NameByPathWithoutSerial(path, row);
  return drive;
}

// How the tool names a protected row: its number or its letter.
std::string CliNameOf(const ProtectingRow& row) {
  return row.view == ViewMode::kPhysical && row.row.designator.IsPhysical()
             ? std::to_string(row.row.designator.number())
             : row.row.letters.substr(0, 2);
}

std::string Describe(const std::string& target, const TargetDrive& drive) {
  std::string text = target + " (" + (drive.row.caption.empty() ? "no product name" : drive.row.caption);
  if (!drive.row.letters.empty()) text += ", " + drive.row.letters;
  return text + ", " + drive.row.size_text + ")";
}

int ChangeProtection(const Options& o, ForbidAction action, std::ostream& out, std::ostream& err) {
  const char* verb = action == ForbidAction::kForbid ? "protect" : "allow";
  if (o.positional.size() != 1) {
    err << "plexiscrub-cli: " << verb << Said(o, " needs exactly one TARGET", " には TARGET をひとつだけ付けます") << "\n";
    return kUsage;
  }
  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return kFailed;
  StreamNotifier notifier(err);
  const std::string& target = o.positional[0];
  std::optional<TargetDrive> drive = FindTarget(o, *machine, notifier, target, err);
  if (!drive) return kFailed;
  if (drive->system) {
    err << "plexiscrub-cli: " << target
        << Said(o, " holds the system drive, which is always protected; that cannot be changed",
                " はシステムのドライブがあるため常に消去禁止で、変えられません")
        << "\n";
    return kRefused;
  }
  const ProtectionKeys keys = ProtectionKeysOf(drive->row, drive->view);
  if (keys.legacy.empty() && keys.stable.empty()) {
    err << "plexiscrub-cli: " << target
        << Said(o, " reports no serial number and is not in the drive list, so nothing can tell it apart from other "
                   "drives of its model",
                " はシリアル番号を返さず、ドライブ一覧にもないため、同じ型のほかのドライブと区別できません")
        << "\n";
    return kFailed;
  }
  std::optional<ProtectionList> list = OpenProtectionList(o, *machine, notifier, err);
  if (!list) return kFailed;
  if (action == ForbidAction::kForbid) {
    // The folder is made on first use (on Linux under the configuration
    // folder); a failure shows in the write that follows.
    std::error_code ec;
    std::filesystem::create_directories(sim::PathFromUtf8(ProtectionFolder(o)), ec);
  }
  ForbiddenList& forbidden = *list->forbidden;
  const ForbiddenList::Change change = action == ForbidAction::kForbid
                                           ? forbidden.AddForbidden(drive->row, drive->view)
                                           : forbidden.RemoveForbidden(drive->row, drive->view);
  if (change == ForbiddenList::Change::kFailed) return kFailed;
  const bool changed = change == ForbiddenList::Change::kChanged;
  if (action == ForbidAction::kForbid)
    out << (changed ? Said(o, "protected: ", "消去を禁止しました: ") : Said(o, "already protected: ", "禁止済みです: "))
        << Describe(target, *drive) << "\n";
  else
    out << (changed ? Said(o, "allowed: ", "消去の禁止を解除しました: ") : Said(o, "was not protected: ", "禁止されていませんでした: "))
        << Describe(target, *drive) << "\n";
  out << Said(o, "list: ", "リスト: ") << forbidden.Path() << "\n";
  return kOk;
}

}  // namespace

std::string ProtectionFilePath(const Options& o) {
  const std::string folder = ProtectionFolder(o);
  return folder.empty() ? std::string() : folder + kForbiddenListFileName;
}

std::optional<ProtectionList> OpenProtectionList(const Options& o, platform::Machine& machine, Notifier& notifier,
                                                 std::ostream& err) {
  const std::string folder = ProtectionFolder(o);
  if (folder.empty()) {
    err << "plexiscrub-cli: "
        << Said(o, "neither XDG_CONFIG_HOME nor HOME is set: no place for the protection list",
                "XDG_CONFIG_HOME も HOME も設定されていないため、消去禁止リストを置く場所がありません")
        << "\n";
    return std::nullopt;
  }
  ProtectionList list;
  list.files = o.simulate ? std::make_unique<sim::DirectoryFileStore>(folder) : HostFileStore(folder);
  list.forbidden = std::make_unique<ForbiddenList>(machine, *list.files, ProtectionFilePath(o), notifier);
  return list;
}

std::optional<DriveDesignator> DesignatorOfTarget(const std::string& target) {
  if (DevicePathOf(target) != target) {
    if (target.size() == 2 && target[1] == ':') return DriveDesignator::Letter(target[0]);
    return DriveDesignator::Physical(uint32_t(std::stoul(target)));
  }
  // The device paths the program itself builds, in any letter case.
  const std::string upper = UpperAscii(target);
  const std::string prefix = "\\\\.\\";
  if (upper.rfind(prefix, 0) != 0) return std::nullopt;
  const std::string rest = upper.substr(prefix.size());
  if (rest.size() == 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0])))
    return DriveDesignator::Letter(rest[0]);
  const std::string drive = "PHYSICALDRIVE";
  if (rest.rfind(drive, 0) != 0) return std::nullopt;
  const std::string number = rest.substr(drive.size());
  std::optional<uint64_t> n = number.size() <= 3 ? ParseDecimal(number) : std::nullopt;
  if (!n) return std::nullopt;
  return DriveDesignator::Physical(uint32_t(*n));
}

std::optional<TargetDrive> FindTarget(const Options& o, platform::Machine& machine, Notifier& notifier,
                                      const std::string& target, std::ostream& err) {
  const std::optional<DriveDesignator> designator = DesignatorOfTarget(target);
  std::optional<ViewMode> view;
  if (designator) {
    view = designator->IsPhysical() ? ViewMode::kPhysical : ViewMode::kPartition;
    DriveDiscovery discovery(machine, notifier);
    for (DriveRow& row : discovery.Refresh(*view)) {
      if (row.designator != *designator) continue;
      TargetDrive drive{std::move(row), *view, true, false};
      drive.system = drive.row.letters.find(discovery.SystemDrive()) != std::string::npos;
      return drive;
    }
  }
  return DescribeUnlisted(o, machine, target, view, err);
}

bool TargetIsProtected(const Options& o, platform::Machine& machine, const std::string& target, std::ostream& err) {
  StreamNotifier notifier(err);
  // A target that cannot be described cannot be opened by the erase either;
  // the erase reports that itself, so the reason is not said twice. Nor is
  // a volume of another drive that the listing could not open.
  std::ostringstream unsaid;
  StreamNotifier listing(unsaid);
  std::optional<TargetDrive> drive = FindTarget(o, machine, listing, target, unsaid);
  if (!drive) return false;
  if (drive->system) {
    err << "plexiscrub-cli: " << target
        << Said(o, " holds the system drive and is never erased", " はシステムのドライブがあるため、消去しません") << "\n";
    return true;
  }
  std::optional<ProtectionList> list = OpenProtectionList(o, machine, notifier, err);
  if (!list) return false;
  if (list->forbidden->IsForbidden(drive->row, drive->view)) {
    err << "plexiscrub-cli: " << target << Said(o, " is protected against erasing (list ", " は消去が禁止されています（リスト ")
        << list->forbidden->Path() << Said(o, "); '", "）。'") << "plexiscrub-cli allow " << target
        << Said(o, "' lifts the protection", "' で禁止を解除できます") << "\n";
    return true;
  }
  // A protected disk covers its volumes, a protected volume its disk.
  const std::optional<ProtectingRow> covering = FindProtectingRow(machine, *list->forbidden, DevicePathOf(target));
  if (!covering) return false;
  const std::string name = CliNameOf(*covering);
  err << "plexiscrub-cli: " << target << Said(o, " shares its storage with ", " は消去が禁止されている ") << name << " ("
      << covering->row.caption << Said(o, "), which is protected against erasing; '", ") と同じ記憶域にあります。'")
      << "plexiscrub-cli allow " << name << Said(o, "' lifts the protection", "' で禁止を解除できます") << "\n";
  return true;
}

std::function<std::optional<std::string>()> ProtectionCheckOf(const Options& o, platform::Machine& machine,
                                                               const std::string& target) {
  return [&o, &machine, target]() -> std::optional<std::string> {
    std::ostringstream said;
    if (!TargetIsProtected(o, machine, target, said)) return std::nullopt;
    return OneLine(said.str());
  };
}

int ProtectCommand(const Options& o, std::ostream& out, std::ostream& err) {
  return ChangeProtection(o, ForbidAction::kForbid, out, err);
}

int AllowCommand(const Options& o, std::ostream& out, std::ostream& err) {
  return ChangeProtection(o, ForbidAction::kAllow, out, err);
}

// The folder the program run with --simulate FILE keeps its files in: FILE
// without its extension, plus ".files" ("demo/demo.machine" gives
// "demo/demo.files/").
std::string SimulatedFilesFolder(const std::string& machine_file) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(sim::PathFromUtf8(machine_file), ec);
  const std::string path = ec ? machine_file : sim::PathToUtf8(full);
  const size_t slash = path.find_last_of("\\/");
  const size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::string stem = path.substr(name_start);
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) stem.resize(dot);
  return path.substr(0, name_start) + stem + ".files" + char(std::filesystem::path::preferred_separator);
}

}  // namespace plexi::cli
