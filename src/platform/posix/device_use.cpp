#include "platform/posix/device_use.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/posix/backing_storage.h"
#include "platform/posix/sysfs_info.h"
#include "util/text_lines.h"

namespace plexi::posix {

namespace {

// The kernel writes blanks, tabs, line breaks and backslashes in these
// files as three-digit octal escapes ("\040").
std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() &&
        std::all_of(text.begin() + i + 1, text.begin() + i + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      out += char((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t start = line.find_first_not_of(" \t", pos);
    if (start == std::string_view::npos) break;
    size_t end = line.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(start, end - start));
    pos = end;
  }
  return fields;
}

std::string ReadWholeFile(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Contains(const std::vector<dev_t>& devices, dev_t d) {
  return std::find(devices.begin(), devices.end(), d) != devices.end();
}

// The partitions of a whole disk (none for a partition).
std::vector<dev_t> PartitionsOfDevice(dev_t device) {
  std::string dir = SysfsDirOf(device);
  if (dir.empty() || IsPartitionDir(dir)) return {};
  return PartitionsOf(dir);
}

// Devices stacked on the device or on its partitions.
std::vector<dev_t> StackedOn(dev_t device) {
  std::vector<dev_t> held = HoldersOf(SysfsDirOf(device));
  for (dev_t part : PartitionsOfDevice(device))
    for (dev_t h : HoldersOf(SysfsDirOf(part))) held.push_back(h);
  return held;
}

void AddWithDependents(dev_t device, std::vector<dev_t>* out) {
  out->push_back(device);
  for (dev_t part : PartitionsOfDevice(device)) out->push_back(part);
  for (dev_t held : StackedOn(device)) out->push_back(held);
}

// Adds the loop devices attached to what the target holds, with theirs,
// until none is left over (a loop device over a loop device...).
void AddLoopsOver(const std::vector<LoopBacking>& loops, UseTarget* target) {
  std::vector<bool> added(loops.size(), false);
  for (bool more = true; more;) {
    more = false;
    for (size_t i = 0; i < loops.size(); ++i) {
      if (added[i]) continue;
      const LoopBacking& loop = loops[i];
      const bool over_file = loop.file && target->file && loop.file->dev == target->file->dev &&
                             loop.file->ino == target->file->ino;
      const bool over_device = loop.backing_block != 0 && Contains(target->devices, loop.backing_block);
      if (!over_file && !over_device) continue;
      added[i] = more = true;
      AddWithDependents(loop.loop, &target->devices);
    }
  }
}

UseTarget BlockTarget(dev_t rdev, const std::vector<LoopBacking>& loops) {
  UseTarget target;
  AddWithDependents(rdev, &target.devices);
  AddLoopsOver(loops, &target);
  return target;
}

UseTarget FileTarget(const PathId& file, const std::vector<LoopBacking>& loops) {
  UseTarget target;
  target.file = file;
  AddLoopsOver(loops, &target);
  return target;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> entries;
  for (const std::string& line : SplitTextLines(std::string(text))) {
    // id parent major:minor root mount-point options [optional...] - fstype source options
    std::vector<std::string_view> f = Fields(line);
    if (f.size() < 5) continue;
    MountEntry entry;
    if (std::sscanf(std::string(f[2]).c_str(), "%u:%u", &entry.major, &entry.minor) != 2) continue;
    entry.mount_point = Unescape(f[4]);
    auto dash = std::find(f.begin() + 5, f.end(), "-");
    if (dash != f.end() && dash + 2 < f.end()) entry.source = Unescape(dash[2]);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::string> ParseSwapPaths(std::string_view text) {
  std::vector<std::string> paths;
  bool header = true;
  for (const std::string& line : SplitTextLines(std::string(text))) {
    if (std::exchange(header, false)) continue;  // "Filename Type Size Used Priority"
    std::vector<std::string_view> f = Fields(line);
    if (!f.empty()) paths.push_back(Unescape(f[0]));
  }
  return paths;
}

std::optional<PathId> StatPath(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  PathId id;
  id.block = S_ISBLK(st.st_mode);
  id.rdev = st.st_rdev;
  id.dev = st.st_dev;
  id.ino = st.st_ino;
  return id;
}

std::string FindUse(const UseTarget& target, std::string_view mountinfo, std::string_view swaps,
                    const PathResolver& resolve, Language language) {
  for (const MountEntry& m : ParseMountInfo(mountinfo)) {
    bool hit = Contains(target.devices, makedev(m.major, m.minor));
    if (!hit && !m.source.empty() && m.source[0] == '/') {
      // btrfs and similar mount under an anonymous number: ask the source.
      std::optional<PathId> src = resolve(m.source);
      hit = src && src->block && Contains(target.devices, src->rdev);
    }
    if (hit) {
      std::string what = m.source.empty() ? "device " + std::to_string(m.major) + ":" +
                                                std::to_string(m.minor)
                                          : m.source;
      return language == Language::kJapanese ? what + " は " + m.mount_point + " にマウントされています"
                                             : what + " is mounted on " + m.mount_point;
    }
  }
  for (const std::string& path : ParseSwapPaths(swaps)) {
    std::optional<PathId> id = resolve(path);
    if (!id) continue;
    bool hit = id->block ? Contains(target.devices, id->rdev)
                         : target.file && target.file->dev == id->dev &&
                               target.file->ino == id->ino;
    if (hit) return path + InLanguage(language, " is in use as swap", " はスワップとして使用中です");
  }
  return {};
}

UseTarget UseTargetOfBlock(dev_t rdev) { return BlockTarget(rdev, AttachedLoops()); }

UseTarget UseTargetOfFile(const PathId& file) { return FileTarget(file, AttachedLoops()); }

std::string DescribeDeviceUse(const std::string& path, Language language) {
  std::optional<PathId> id = StatPath(path);
  if (!id) return {};
  const std::vector<LoopBacking> loops = AttachedLoops();
  UseTarget target = id->block ? BlockTarget(id->rdev, loops) : FileTarget(*id, loops);
  std::string use = FindUse(target, ReadWholeFile("/proc/self/mountinfo"),
                            ReadWholeFile("/proc/swaps"), StatPath, language);
  if (!use.empty()) return use;
  std::vector<dev_t> own;
  if (id->block) {
    // Devices stacked on the target (LVM, RAID, dm-crypt) own it even when
    // nothing of theirs is mounted right now.
    std::vector<dev_t> holders = StackedOn(id->rdev);
    if (!holders.empty()) {
      std::string name = std::filesystem::path(SysfsDirOf(holders.front())).filename().string();
      if (name.empty()) name = InLanguage(language, "a stacked device", "上に重なったデバイス");
      return language == Language::kJapanese ? path + " は " + name + " が使用中です" : path + " is in use by " + name;
    }
    own.push_back(id->rdev);
    for (dev_t part : PartitionsOfDevice(id->rdev)) own.push_back(part);
  }
  // So does a loop device attached to the image file or to the device:
  // whatever it writes lands in the same bytes.
  const std::string loop = LoopUsing(*id, own, loops);
  if (loop.empty()) return {};
  return language == Language::kJapanese ? path + " はループデバイス /dev/" + loop + " が使用中です"
                                         : path + " is in use by loop device /dev/" + loop;
}

}  // namespace plexi::posix
