// plexiscrub-cli dump: sectors of a drive, an image file or a simulated
// drive as the sector viewer's hex dump shows them. The target is opened for
// reading only.
#include <memory>
#include <ostream>

#include "cli/cli_common.h"
#include "drives/discovery.h"
#include "viewer/sector_dump.h"
#include "viewer/sector_reader.h"

namespace plexi::cli {

namespace {

// "\\.\X:": a volume, sized by the partition probe as in the partition view.
void PrintDump(std::ostream& out, const SectorReader& reader, uint64_t sector) {
  out << kDumpHeader << "\n";
  for (const std::string& line : DumpSector(reader.Buffer(), reader.SectorSize(), sector)) out << line << "\n";
}

}  // namespace

int DumpCommand(const Options& o, std::ostream& out, std::ostream& err) {
  if (o.positional.size() != 2) {
    err << "plexiscrub-cli: "
        << Said(o, "dump needs a TARGET and a SECTOR number", "dump には TARGET と SECTOR の番号が必要です") << "\n";
    return kUsage;
  }
  const std::optional<uint64_t> first = ParseDecimal(o.positional[1]);
  if (!first) {
    err << "plexiscrub-cli: "
        << Said(o, "SECTOR must be a decimal sector number from 0 up, not '",
                "SECTOR は 0 以上の 10 進のセクタ番号です（指定: '")
        << o.positional[1] << Said(o, "'", "'）") << "\n";
    return kUsage;
  }
  const uint64_t count = o.count.value_or(1);

  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return kFailed;
  StreamNotifier notifier(err);
  const std::string path = DevicePathOf(o.positional[0]);
  std::unique_ptr<SectorReader> reader = SectorReader::Open(
      *machine, notifier, path, IsVolumePath(path) ? ViewMode::kPartition : ViewMode::kPhysical);
  if (!reader) {
    err << "plexiscrub-cli: " << Said(o, "cannot view ", "表示できません: ") << path << "\n";
    return kFailed;
  }
  const uint64_t sectors = reader->SectorCount();
  if (*first >= sectors || count - 1 > sectors - 1 - *first) {
    err << "plexiscrub-cli: " << path << Said(o, " has sectors 0 to ", " のセクタは 0 から ")
        << (sectors == 0 ? std::string(Said(o, "(none)", "（なし）")) : std::to_string(sectors - 1))
        << Said(o, "; ", " までです。");
    if (count == 1)
      err << Said(o, "sector ", "セクタ ") << *first << Said(o, " is beyond its end", " は範囲外です") << "\n";
    else if (o.language == Language::kJapanese)
      err << "セクタ " << *first << " からの " << count << " セクタは範囲外です\n";
    else
      err << count << " sectors from sector " << *first << " reach beyond its end\n";
    return kFailed;
  }
  bool all_read = true;
  for (uint64_t i = 0; i < count; ++i) {
    if (i > 0) out << "\n";
    // A sector that cannot be read is reported and dumped as the viewer
    // shows it (zeros, or what a short read brought).
    all_read = reader->ReadSector(*first + i) && all_read;
    PrintDump(out, *reader, *first + i);
  }
  return all_read ? kOk : kFailed;
}

}  // namespace plexi::cli
