#include "platform/sim/sim_machine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/ioctl_layout.h"
#include "platform/japanese_time_text.h"
#include "platform/sim/file_util.h"
#include "platform/sim/sim_state.h"
#include "platform/winconst.h"
#include "util/text_lines.h"

namespace plexi::sim {
namespace {

std::string Located(int line, const std::string& message) {
  return "line " + std::to_string(line) + ": " + message;
}

// Sector image of a record, as an erase leaves it in a drive's first sector.
std::vector<uint8_t> RecordSector(const RecordSpec& r, uint32_t sector_size) {
  std::vector<uint8_t> sector(sector_size, 0);
  if (r.complete) {
    std::memcpy(sector.data(), "plexi scrub ok", 14);
    layout::Store32(sector.data() + 15, uint32_t(r.method));
  } else {
    std::memcpy(sector.data(), "plexi scrub", 11);
    layout::Store32(sector.data() + 16, r.chunk);
    layout::Store32(sector.data() + 20, uint32_t(r.method));
    layout::Store32(sector.data() + 24, uint32_t(r.pass));
  }
  return sector;
}

// "\\.\PHYSICALDRIVE12" gives 12; nullopt for anything else, leading zeros
// included (no such device exists on Windows either).
std::optional<uint32_t> PhysicalDriveNumber(const std::string& path) {
  static const std::string prefix = "\\\\.\\PHYSICALDRIVE";
  if (path.size() <= prefix.size() || path.size() > prefix.size() + 9) return std::nullopt;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(path[i])) != prefix[i]) return std::nullopt;
  std::string digits = path.substr(prefix.size());
  if (digits.size() > 1 && digits[0] == '0') return std::nullopt;
  uint64_t n = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + uint64_t(c - '0');
  }
  if (n > 0xFFFFFFFFu) return std::nullopt;
  return uint32_t(n);
}

// "\\.\e:" gives 'E'.
char VolumeLetter(const std::string& path) {
  if (path.size() == 6 && path.compare(0, 4, "\\\\.\\") == 0 && path[5] == ':' &&
      std::isalpha(static_cast<unsigned char>(path[4])))
    return char(std::toupper(static_cast<unsigned char>(path[4])));
  return 0;
}

uint32_t WindowsDriveType(VolumeType type) {
  switch (type) {
    case VolumeType::kFixed: return winconst::kDriveFixed;
    case VolumeType::kRemovable: return winconst::kDriveRemovable;
    case VolumeType::kCdrom: return winconst::kDriveCdrom;
    case VolumeType::kRemote: return winconst::kDriveRemote;
    case VolumeType::kRamdisk: return winconst::kDriveRamdisk;
  }
  return winconst::kDriveUnknown;
}

// ATA strings sit in 16-bit words with the two characters of each word swapped.
void PutAtaString(uint8_t* reply, int first_word, int words, const std::string& text) {
  for (int i = 0; i < words * 2; ++i) {
    char c = i < int(text.size()) ? text[size_t(i)] : ' ';
    reply[first_word * 2 + (i ^ 1)] = uint8_t(c);
  }
}

void PutWord(uint8_t* reply, int word, uint16_t value) {
  reply[word * 2] = uint8_t(value);
  reply[word * 2 + 1] = uint8_t(value >> 8);
}

// An IDENTIFY DEVICE reply. Only word 0 matters to the program; the model,
// serial, firmware and capacity words are filled in to look like a drive.
void FillIdentify(const DiskState& disk, uint8_t* reply) {
  const DiskSpec& d = disk.desc;
  std::memset(reply, 0, 512);
  uint16_t config = d.ata ? (d.removable ? 0x0080 : 0x0040) : 0x8080;
  PutWord(reply, 0, config);
  if (!d.ata) return;
  PutAtaString(reply, 10, 10, d.serial);
  PutAtaString(reply, 23, 4, d.revision);
  PutAtaString(reply, 27, 20, d.product);
  uint64_t sectors = disk.Sectors();
  uint32_t lba28 = uint32_t(std::min<uint64_t>(sectors, 0x0FFFFFFF));
  PutWord(reply, 60, uint16_t(lba28));
  PutWord(reply, 61, uint16_t(lba28 >> 16));
  PutWord(reply, 83, 1u << 10);  // 48-bit addressing
  for (int i = 0; i < 4; ++i) PutWord(reply, 100 + i, uint16_t(sectors >> (16 * i)));
}

}  // namespace

SimMachine::SimMachine() = default;
SimMachine::~SimMachine() = default;

std::unique_ptr<SimMachine> SimMachine::Parse(const std::string& text, const std::string& base_dir,
                                              std::string* error) {
  std::string scratch;
  if (!error) error = &scratch;
  std::optional<MachineDescription> d = ParseDescription(text, error);
  if (!d) return nullptr;

  std::unique_ptr<SimMachine> m(new SimMachine());
  m->system_directory_ = d->system_directory;
  m->identify_library_ = d->identify_library;
  m->host_ = d->host;
  m->clock_ = d->clock;
  m->trace_kinds_ = d->trace;
  m->volumes_listed_ = d->volumes_listed;
  DisksByNumber described;
  if (!m->AddDisks(*d, base_dir, described, error) || !m->AddVolumes(*d, described, error) ||
      !m->PlaceFaultsAndRecords(*d, described, error))
    return nullptr;
  {
    std::lock_guard lock(m->disks_mutex_);
    m->RenumberDisks();  // the attached disks by their numbers
  }
  return m;
}

bool SimMachine::AddDisks(const MachineDescription& d, const std::string& base_dir, DisksByNumber& described,
                          std::string* error) {
  for (const DiskSpec& desc : d.disks) {
    auto disk = std::make_shared<DiskState>();
    disk->desc = desc;
    disk->host = d.host;
    disk->number = desc.number;
    if (desc.image.empty()) {
      disk->store = MakeMemoryStore();
    } else {
      std::filesystem::path image = PathFromUtf8(desc.image);
      if (image.is_relative() && !base_dir.empty()) image = PathFromUtf8(base_dir) / image;
      uint64_t file_size = 0;
      std::string why;
      disk->store = OpenImageStore(PathToUtf8(image), &file_size, &why);
      if (!disk->store) {
        *error = Located(desc.line, why);
        return false;
      }
      // An image holds the whole medium, its hidden sectors at the end.
      const uint64_t hidden = desc.firmware ? desc.firmware->hpa_sectors + desc.firmware->dco_sectors : 0;
      const uint64_t file_sectors = file_size / desc.sector_size;
      if (disk->desc.sectors == 0) disk->desc.sectors = file_sectors > hidden ? file_sectors - hidden : 0;
      if (disk->desc.sectors == 0) {
        *error = Located(desc.line, "image '" + desc.image + "' is smaller than one sector" +
                                        (hidden ? " beyond its hidden ones" : ""));
        return false;
      }
    }
    disk->visible_sectors = disk->desc.sectors;
    disk->reported_sectors = disk->desc.sectors;
    disk->detached = !desc.attached;
    described[desc.number] = disk;
    all_disks_.push_back(disk);
  }
  return true;
}

namespace {

// Why a volume does not fit its disk, or nothing.
std::optional<std::string> VolumePlacementFault(const VolumeSpec& desc, const DiskState& disk, uint64_t length) {
  const uint64_t disk_bytes = disk.Bytes();
  const uint32_t ss = disk.desc.sector_size;
  if (desc.offset % ss != 0) return "offset is not a whole number of sectors";
  if (desc.offset >= disk_bytes) return "offset lies beyond the end of disk " + std::to_string(*desc.disk);
  if (length == 0 || length % ss != 0) return "length must be a non-zero whole number of sectors";
  if (length > disk_bytes - desc.offset) return "volume runs past the end of disk " + std::to_string(*desc.disk);
  return std::nullopt;
}

}  // namespace

bool SimMachine::AddVolumes(const MachineDescription& d, const DisksByNumber& described, std::string* error) {
  for (const VolumeSpec& desc : d.volumes) {
    auto volume = std::make_shared<VolumeState>();
    volume->desc = desc;
    volume->hidden = desc.hidden;
    if (desc.disk) {
      volume->disk = described.at(*desc.disk);
      const uint64_t disk_bytes = volume->disk->Bytes();
      const uint64_t length = desc.offset < disk_bytes ? desc.length.value_or(disk_bytes - desc.offset) : 0;
      if (std::optional<std::string> fault = VolumePlacementFault(desc, *volume->disk, length)) {
        *error = Located(desc.line, *fault);
        return false;
      }
      volume->desc.length = length;
      volume->disk->volumes.push_back(volume);
    }
    volumes_.push_back(volume);
    if (desc.letter) letters_[desc.letter] = volume;
  }
  return true;
}

bool SimMachine::PlaceFaultsAndRecords(const MachineDescription& d, const DisksByNumber& described,
                                       std::string* error) {
  auto target_volume = [&](const Target& t) { return volumes_.at(TargetVolume(d, t)->position - 1); };
  for (const FaultSpec& f : d.faults) {
    if (f.op == FaultOp::kPowerCut) {
      std::unique_ptr<PowerCut>& cut = described.at(*f.target.disk)->power_cut;
      if (cut) {
        *error = Located(f.line, "a second power cut for disk " + std::to_string(*f.target.disk));
        return false;
      }
      cut = std::make_unique<PowerCut>(f);
    } else if (f.target.disk) {
      described.at(*f.target.disk)->faults.Add(f);
    } else {
      target_volume(f.target)->faults.Add(f);
    }
  }
  for (const RecordSpec& r : d.records) {
    std::shared_ptr<DiskState> disk;
    uint64_t offset = 0;
    if (r.target.disk) {
      disk = described.at(*r.target.disk);
    } else {
      auto volume = target_volume(r.target);
      disk = volume->disk;
      offset = volume->desc.offset;
    }
    std::vector<uint8_t> sector = RecordSector(r, disk->desc.sector_size);
    if (uint32_t e = disk->store->Write(offset, sector.data(), sector.size())) {
      *error = Located(r.line, "cannot write the record (error " + std::to_string(e) + ")");
      return false;
    }
  }
  return true;
}

std::unique_ptr<SimMachine> SimMachine::Load(const std::string& path, std::string* error) {
  std::string text;
  std::filesystem::path p = PathFromUtf8(path);
  if (uint32_t e = ReadWholeFile(p, &text)) {
    if (error) *error = "cannot read '" + path + "' (Windows error " + std::to_string(e) + ")";
    return nullptr;
  }
  std::string local_error;
  auto machine = Parse(text, PathToUtf8(p.parent_path()), &local_error);
  if (!machine && error) *error = path + ": " + local_error;
  if (machine) {
    machine->SetChangesFile(path + ".changes");
    machine->SetTraceFile(path + ".trace");
  }
  return machine;
}

void SimMachine::SetTraceFile(const std::string& path) {
  trace_ = trace_kinds_.Any() ? std::make_shared<DeviceTrace>(path, trace_kinds_) : nullptr;
}

std::shared_ptr<VolumeState> SimMachine::FindVolume(char letter) const {
  auto it = letters_.find(char(std::toupper(static_cast<unsigned char>(letter))));
  return it == letters_.end() ? nullptr : it->second;
}

std::shared_ptr<VolumeState> SimMachine::FindVolumeByGuidPath(const std::string& path, bool* trailing) const {
  uint32_t position = ParseVolumeGuidPath(path, trailing);
  if (position == 0 || position > volumes_.size()) return nullptr;
  return volumes_[position - 1];
}

std::shared_ptr<DiskState> SimMachine::FindDisk(uint32_t number) const {
  std::lock_guard lock(disks_mutex_);
  auto it = disks_.find(number);
  return it == disks_.end() ? nullptr : it->second;
}

void SimMachine::RenumberDisks() {
  std::map<uint32_t, std::shared_ptr<DiskState>> numbered;
  for (const auto& disk : all_disks_)
    if (!disk->detached) numbered[disk->desc.number] = disk;
  auto swap = [&numbered](uint32_t a, uint32_t b) {
    auto first = numbered.extract(a), second = numbered.extract(b);
    if (first) numbered[b] = std::move(first.mapped());
    if (second) numbered[a] = std::move(second.mapped());
  };
  for (auto [a, b] : swaps_) swap(a, b);
  for (auto [a, b] : file_swaps_) swap(a, b);
  for (auto& [number, disk] : numbered) disk->number = number;
  disks_ = std::move(numbered);
}

bool SimMachine::SwapDisks(uint32_t a, uint32_t b) {
  std::lock_guard lock(disks_mutex_);
  if (!disks_.count(a) && !disks_.count(b)) return false;
  swaps_.emplace_back(a, b);
  RenumberDisks();
  return true;
}

std::shared_ptr<VolumeState> SimMachine::ShownVolume(char letter) const {
  auto volume = FindVolume(letter);
  return volume && volume->Present() ? volume : nullptr;
}

// "C:\" or "C:" in any letter case.
std::shared_ptr<VolumeState> SimMachine::VolumeOfRoot(const std::string& root) const {
  bool shape = (root.size() == 2 || (root.size() == 3 && root[2] == '\\')) && root[1] == ':' &&
               std::isalpha(static_cast<unsigned char>(root[0]));
  return shape ? ShownVolume(root[0]) : nullptr;
}

bool SimMachine::SetAttached(uint32_t described_number, bool attached) {
  for (const auto& disk : all_disks_) {
    if (disk->desc.number != described_number) continue;
    if (disk->detached.exchange(!attached) != attached) return false;
    std::lock_guard lock(disks_mutex_);
    RenumberDisks();
    return true;
  }
  return false;
}

std::optional<std::vector<uint32_t>> SimMachine::DiskNumbers() {
  ApplyChangesFile();
  std::lock_guard lock(disks_mutex_);
  std::vector<uint32_t> numbers;
  for (const auto& [number, disk] : disks_) numbers.push_back(number);
  return numbers;
}

bool SimMachine::ShowVolume(char letter) {
  auto volume = FindVolume(letter);
  if (volume) volume->hidden = false;
  return volume != nullptr;
}

bool SimMachine::HideVolume(char letter) {
  auto volume = FindVolume(letter);
  if (volume) volume->hidden = true;
  return volume != nullptr;
}

namespace {

// "attach 3" or "detach 3": the disk the description numbers 3.
struct PlugLine {
  uint32_t disk = 0;
  bool attach = false;
};
std::optional<PlugLine> ParsePlugLine(const std::string& line) {
  unsigned long disk = 0;
  char rest = 0;
  for (const bool attach : {true, false}) {
    const std::string verb = attach ? "attach " : "detach ";
    if (line.compare(0, verb.size(), verb) != 0) continue;
    if (std::sscanf(line.c_str() + verb.size(), "%lu %c", &disk, &rest) != 1 || disk > 0xFFFFFFFFul)
      return std::nullopt;
    return PlugLine{uint32_t(disk), attach};
  }
  return std::nullopt;
}

// "swap-disks 1 2"; nullopt for any other line.
std::optional<std::pair<uint32_t, uint32_t>> SwapLine(const std::string& line) {
  static const std::string verb = "swap-disks ";
  if (line.compare(0, verb.size(), verb) != 0) return std::nullopt;
  unsigned long a = 0, b = 0;
  char rest = 0;
  if (std::sscanf(line.c_str() + verb.size(), "%lu %lu %c", &a, &b, &rest) != 2) return std::nullopt;
  if (a > 0xFFFFFFFFul || b > 0xFFFFFFFFul) return std::nullopt;
  return std::pair{uint32_t(a), uint32_t(b)};
}

}  // namespace

void SimMachine::ApplyChangesFile() {
  if (changes_file_.empty()) return;
  std::string text;
  if (ReadWholeFile(PathFromUtf8(changes_file_), &text) != 0) return;
  std::vector<std::pair<uint32_t, uint32_t>> swaps;
  bool replugged = false;
  for (const std::string& line : SplitTextLines(text)) {
    if (auto swap = SwapLine(line)) {
      swaps.push_back(*swap);
      continue;
    }
    if (auto plug = ParsePlugLine(line)) {
      replugged = SetAttached(plug->disk, plug->attach) || replugged;
      continue;
    }
    // "show X:" or "hide X:"
    if (line.size() != 7 || !std::isalpha(static_cast<unsigned char>(line[5])) || line[6] != ':')
      continue;
    const std::string verb = line.substr(0, 5);
    if (verb == "show ") ShowVolume(line[5]);
    else if (verb == "hide ") HideVolume(line[5]);
  }
  // The file's swaps state how the disks are numbered: read again, they
  // leave the disks where they are instead of swapping them back.
  std::lock_guard lock(disks_mutex_);
  if (swaps != file_swaps_ || replugged) {
    file_swaps_ = std::move(swaps);
    RenumberDisks();
  }
}

platform::Result<std::unique_ptr<platform::Device>> SimMachine::OpenDevice(const std::string& path, platform::Access access) {
  uint32_t error = 0;
  std::shared_ptr<DiskState> disk;
  std::shared_ptr<VolumeState> volume;
  bool trailing = false;
  if (auto number = PhysicalDriveNumber(path)) {
    disk = FindDisk(*number);
  } else if (char letter = VolumeLetter(path)) {
    volume = ShownVolume(letter);
  } else if ((volume = FindVolumeByGuidPath(path, &trailing)) && !volume->Present()) {
    volume = nullptr;  // not plugged in: no more reachable by GUID than by letter
  }
  if (volume) disk = volume->disk;
  if (!disk && !volume) {
    error = winconst::kErrorFileNotFound;
  } else if (trailing) {
    // "\\?\Volume{...}\" names the root folder, which cannot be opened as a device.
    error = winconst::kErrorPathNotFound;
  } else if (auto fault = (volume ? volume->faults : disk->faults).Fire({FaultOp::kOpen})) {
    error = fault->error;
  } else if (access == platform::Access::kReadWrite) {
    if (auto denied = (volume ? volume->faults : disk->faults).Fire({FaultOp::kOpenWrite})) error = denied->error;
  }
  if (trace_) trace_->Open(path, access, error);
  if ((!disk && !volume) || trailing || error != 0)
    return platform::Result<std::unique_ptr<platform::Device>>::Failure(error);
  return platform::Result<std::unique_ptr<platform::Device>>(MakeDevice(disk, volume, access, path, trace_));
}

std::string SimMachine::LogicalDriveStrings() {
  std::string text;
  for (const auto& [letter, volume] : letters_) {
    if (!volume->Present()) continue;
    text += letter;
    text += ":\\";
    text.push_back('\0');
  }
  text.push_back('\0');
  return text;
}

uint32_t SimMachine::LogicalDriveMask() {
  ApplyChangesFile();
  uint32_t mask = 0;
  for (const auto& [letter, volume] : letters_)
    if (volume->Present()) mask |= 1u << (letter - 'A');
  return mask;
}

uint32_t SimMachine::DriveType(const std::string& root) {
  auto volume = VolumeOfRoot(root);
  return volume ? WindowsDriveType(volume->desc.type) : winconst::kDriveNoRootDir;
}

std::optional<std::string> SimMachine::VolumeLabel(const std::string& root) {
  auto volume = VolumeOfRoot(root);
  // An empty drive and a network drive give no label (the share's label is
  // not simulated).
  if (!volume || !volume->disk || volume->desc.type == VolumeType::kRemote) return std::nullopt;
  return volume->desc.label;
}

std::string SimMachine::SystemDirectory() { return system_directory_; }

platform::HostSystem SimMachine::System() { return host_; }

std::string SimMachine::ErrorText(uint32_t code) { return JapaneseErrorText(code); }

platform::VolumeList SimMachine::Volumes() {
  platform::VolumeList list;
  if (!volumes_listed_) return list;
  const bool system_on_letter = system_directory_.size() >= 2 && system_directory_[1] == ':';
  const char system_letter = char(std::toupper(static_cast<unsigned char>(system_directory_[0])));
  for (const auto& volume : volumes_) {
    // A volume not plugged in is not there; a network share is no volume of
    // this machine (FindFirstVolume does not list it).
    if (!volume->Present() || volume->desc.type == VolumeType::kRemote) continue;
    platform::VolumeEntry entry;
    entry.path = VolumeGuidPath(volume->desc.position);
    if (volume->desc.letter) entry.mount_points.push_back(std::string(1, volume->desc.letter) + ":\\");
    if (!volume->desc.mount.empty()) entry.mount_points.push_back(volume->desc.mount);
    entry.holds_system = system_on_letter && volume->desc.letter == system_letter;
    entry.boot = volume->desc.boot;
    list.complete = list.complete || entry.holds_system;
    list.volumes.push_back(std::move(entry));
  }
  return list;
}

bool SimMachine::IdentifyDevice(int32_t designator, uint8_t* reply512) {
  if (!identify_library_ || reply512 == nullptr || designator < 0) return false;
  std::shared_ptr<DiskState> disk;
  if (designator < 'A') {
    disk = FindDisk(uint32_t(designator));
  } else if (designator <= 'Z') {
    if (auto volume = ShownVolume(char(designator))) disk = volume->disk;
  }
  if (!disk) return false;
  FillIdentify(*disk, reply512);
  return true;
}

platform::LocalTime SimMachine::Now() {
  std::lock_guard lock(clock_mutex_);
  return clock_;
}

void SimMachine::SetClock(const platform::LocalTime& t) {
  std::lock_guard lock(clock_mutex_);
  clock_ = t;
}

std::string SimMachine::DateText(const platform::LocalTime& t) { return platform::JapaneseDateText(t); }

std::string SimMachine::TimeText(const platform::LocalTime& t) { return platform::JapaneseTimeText(t); }

std::vector<uint8_t> SimMachine::PeekDisk(uint32_t disk_number, uint64_t offset, size_t length) {
  auto disk = FindDisk(disk_number);
  if (!disk || offset >= disk->MediumBytes()) return {};
  std::vector<uint8_t> bytes(size_t(std::min<uint64_t>(length, disk->MediumBytes() - offset)));
  std::lock_guard lock(disk->mutex);
  if (disk->store->Read(offset, bytes.data(), bytes.size()) != 0) return {};
  return bytes;
}

bool SimMachine::PokeDisk(uint32_t disk_number, uint64_t offset, const uint8_t* data, size_t length) {
  auto disk = FindDisk(disk_number);
  if (!disk || offset > disk->MediumBytes()) return false;
  size_t n = size_t(std::min<uint64_t>(length, disk->MediumBytes() - offset));
  std::lock_guard lock(disk->mutex);
  return disk->store->Write(offset, data, n) == 0 && n == length;
}

void SimMachine::RestorePower() {
  std::lock_guard guard(disks_mutex_);
  for (const auto& [number, disk] : disks_) {
    std::lock_guard lock(disk->mutex);
    if (disk->power_cut) disk->power_cut->Restore();
  }
}

uint64_t SimMachine::DiskSize(uint32_t disk_number) const {
  auto disk = FindDisk(disk_number);
  return disk ? disk->Bytes() : 0;
}

uint64_t SimMachine::StoredBytes(uint32_t disk_number) const {
  auto disk = FindDisk(disk_number);
  if (!disk) return 0;
  std::lock_guard lock(disk->mutex);
  return disk->store->StoredBytes();
}

DeviceCounters SimMachine::DiskCounters(uint32_t disk_number) const {
  auto disk = FindDisk(disk_number);
  return disk ? disk->counters.Snapshot() : DeviceCounters{};
}

std::vector<std::string> SimMachine::FirmwareJournal(uint32_t disk_number) const {
  auto disk = FindDisk(disk_number);
  return disk ? disk->firmware.Journal() : std::vector<std::string>{};
}

bool SimMachine::FirmwarePasswordSet(uint32_t disk_number) const {
  auto disk = FindDisk(disk_number);
  return disk && disk->firmware.PasswordSet();
}

DeviceCounters SimMachine::VolumeCountersAt(uint32_t position) const {
  if (position == 0 || position > volumes_.size()) return {};
  return volumes_[position - 1]->counters.Snapshot();
}

DeviceCounters SimMachine::VolumeCounters(char letter) const {
  auto volume = FindVolume(letter);
  return volume ? volume->counters.Snapshot() : DeviceCounters{};
}

uint64_t SimMachine::OpenHandleCount() const {
  // A volume handle counts on its volume and on its disk; count each once.
  uint64_t count = 0;
  for (const auto& disk : all_disks_) count += disk->counters.open_handles;
  for (const auto& volume : volumes_)
    if (!volume->disk) count += volume->counters.open_handles;
  return count;
}

}  // namespace plexi::sim
