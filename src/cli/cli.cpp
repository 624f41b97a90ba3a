#include "cli/cli.h"
#include "cli/cli_common.h"
#include "record/erase_method.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "drives/discovery.h"
#include "drives/hidden_area.h"
#include "drives/purge_capability.h"
#include "record/erase_record.h"
#include "platform/host.h"
#include "platform/sim/file_util.h"
#include "platform/sim/sim_machine.h"
#include "probe/replay_machine.h"
#include "report/certificate.h"
#include "platform/winconst.h"

namespace plexi::cli {

Language ToolLanguage() { return LanguageOfLocaleVariables().value_or(platform::HostUserLanguage()); }

const char* ListHeader(const Options& o) {
  return Said(o, "model | type | letters | size | method | number | record | not | identity",
              "製品名 | タイプ | ドライブ文字 | 容量 | 消去方式 | 番号 | 記録 | 消去不可 | 識別子");
}

Pacing TerminalPacing(const Options& o) {
  Pacing pacing{0, 0};
  if (o.checkpoint_seconds) pacing.checkpoint_ms = int(*o.checkpoint_seconds) * 1000;
  return pacing;
}

void StreamNotifier::ShowMessage(const std::string& text) {
  err_ << "plexiscrub-cli: " << OneLine(text) << "\n";
}

namespace {

// A probe file is JSON: its first character other than a blank opens an
// object, which no machine description's line does.
bool IsProbeFile(const std::string& path) {
  std::ifstream file(sim::PathFromUtf8(path), std::ios::binary);
  char c = 0;
  while (file.get(c) && std::isspace(static_cast<unsigned char>(c))) {
  }
  return file && c == '{';
}

}  // namespace

std::unique_ptr<platform::Machine> OpenMachine(const Options& o, std::ostream& err) {
  if (!o.simulate) return platform::MakeHostMachine();
  std::string error;
  std::unique_ptr<platform::Machine> machine;
  if (IsProbeFile(*o.simulate)) {
    std::string text;
    if (uint32_t e = sim::ReadWholeFile(sim::PathFromUtf8(*o.simulate), &text))
      error = Said(o, "cannot read it (Windows error ", "読み込めません（Windows のエラー ") + std::to_string(e) +
              Said(o, ")", "）");
    else
      machine = probe::ReplayMachine::Parse(text, &error);
  } else {
    machine = sim::SimMachine::Load(*o.simulate, &error);
  }
  if (!machine)
    err << "plexiscrub-cli: " << Said(o, "cannot load the simulated machine ", "模擬マシンを読み込めません: ") << *o.simulate
        << ": " << error << "\n";
  return machine;
}

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// A drive number, a letter with a colon, a Windows device path, or (on the
// host) any path the system can open.
std::string DevicePathOf(const std::string& target) {
  bool digits = !target.empty() && target.size() <= 3;
  for (char c : target) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  if (digits) return DriveDesignator::Physical(uint32_t(std::stoul(target))).DevicePath();
  if (target.size() == 2 && target[1] == ':' && std::isalpha(static_cast<unsigned char>(target[0])))
    return DriveDesignator::Letter(target[0]).DevicePath();
  return target;
}

std::optional<uint64_t> ParseDecimal(const std::string& text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const uint64_t digit = uint64_t(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<FirstSector> ReadFirstSector(platform::Machine& machine, const std::string& path,
                                           std::string* problem, Language language) {
  const auto in = [language](const char* english, const char* japanese) { return InLanguage(language, english, japanese); };
  platform::Result<std::unique_ptr<platform::Device>> opened = machine.OpenDevice(path, platform::Access::kRead);
  if (!opened.ok()) {
    *problem = in("cannot open ", "開けません: ") + path + ": " + OneLine(SystemErrorText(machine, opened.error()));
    return std::nullopt;
  }
  // The size the list shows and an erase writes, not the geometry's
  // cylinder product, which leaves out the sectors past the last cylinder.
  const std::optional<DriveDesignator> designator = DesignatorOfTarget(path);
  const ViewMode view = (designator && !designator->IsPhysical()) || IsVolumePath(path) ? ViewMode::kPartition
                                                                                       : ViewMode::kPhysical;
  platform::Result<DriveExtent> extent = MeasureDrive(**opened, path, view);
  if (platform::Result<> rewound = opened.value()->SetPosition(0); extent.ok() && !rewound.ok())
    extent = platform::Result<DriveExtent>::Failure(rewound.error());
  if (!extent.ok()) {
    *problem = in("cannot read the geometry of ", "ジオメトリを読めません: ") + path + ": " +
               OneLine(SystemErrorText(machine, extent.error()));
    return std::nullopt;
  }
  FirstSector first{*extent, std::vector<uint8_t>(extent->sector_size)};
  platform::IoResult read = opened.value()->Read(first.bytes.data(), extent->sector_size);
  if (!read.ok() || read.value() != extent->sector_size) {
    const uint32_t code = read.ok() ? winconst::kErrorReadFault : read.error();
    *problem = in("cannot read the first sector of ", "先頭セクタを読めません: ") + path + ": " +
               OneLine(SystemErrorText(machine, code));
    return std::nullopt;
  }
  return first;
}

namespace {

const char kUsageText[] =
    "usage: plexiscrub-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  list [--partitions] [--all] [--loop] [--simulate FILE]\n"
    "      the drive rows as the program lists them (physical drives, or one row\n"
    "      per lettered volume with --partitions; --all adds the drives without a\n"
    "      lettered volume, shown with \"―\"). On Linux: every whole disk,\n"
    "      its partitions after it with --partitions, attached loop devices with\n"
    "      --loop; the system disk and disks in use are marked \"not\" with why\n"
    "  inspect TARGET [--simulate FILE]\n"
    "      the erase record in the first sector of TARGET: its kind, method and\n"
    "      resume point; whether TARGET is protected against erasing; and, for a\n"
    "      whole drive, the purge commands it supports, whether one can run now\n"
    "      (or why not) and which one --method 3 would run\n"
    "  erase TARGET... [--method 0|1|2|3] [--verify] [--no-history] [--resume|--no-resume]\n"
    "        [--yes] [--checkpoint SECONDS] [--report DIR] [--asset NUMBER]...\n"
    "        [--source TEXT] [--destination reuse|recycling|destruction|return]\n"
    "        [--operator NAME] [--organisation NAME] [--validator NAME] [--simulate FILE]\n"
    "      overwrites all of TARGET: 0 zeros, 1 0xFF then zeros, 2 random bytes,\n"
    "      0xFF, zeros (default 0); 3 has the drive purge itself (NVMe sanitize or\n"
    "      format, ATA sanitize or security erase, as inspect shows), then writes\n"
    "      zeros where the drive does not promise them; the purge cannot be\n"
    "      interrupted. --verify reads everything back; the first\n"
    "      sector then records the method (--no-history: left blank). An\n"
    "      interrupted erase (Ctrl+C) leaves a resume record; the next erase offers\n"
    "      to continue. While it writes, the erase flushes the drive and brings a\n"
    "      resume record up to date every SECONDS (default 30) or 4 GiB, so that\n"
    "      after a power cut, a crash or a killed process the next erase still\n"
    "      continues from there. A write or read that fails on the medium is\n"
    "      tried again, then sector by sector; the erase goes on around sectors\n"
    "      that still fail and lists them (exit 8). Without --yes the tool asks,\n"
    "      and wants \"del\" typed; when standard input is not a terminal, an\n"
    "      interrupted erase saves its resume record without asking. The system drive and (on Linux) a device with a\n"
    "      mounted file system are refused. Every erase that was confirmed (or\n"
    "      refused) files an erase report: a JSON file and a printable HTML page in\n"
    "      DIR (default: $XDG_DATA_HOME/plexiscrub/reports on Linux, reports\\ beside\n"
    "      the program on Windows, FILE's .files\\reports with --simulate), naming\n"
    "      the operator and organisation (default: the program's settings, on\n"
    "      Windows and with --simulate). The report is a certificate of\n"
    "      sanitization: --asset gives a drive's asset number (one for each\n"
    "      TARGET, in order), --source where the drives came from, --destination\n"
    "      where they go next, --validator who validates the erase; the other\n"
    "      facts of the people who sign it come from the program's settings.\n"
    "      Several TARGETs are erased at once, one worker per drive. All are checked\n"
    "      first: one that may not be erased, or two naming the same drive or\n"
    "      overlapping on it, refuses the whole set with nothing written. Each\n"
    "      drive's questions come first, then a table of the drives and one \"del\";\n"
    "      a progress line per drive, Ctrl+C interrupts all, a summary table ends it.\n"
    "  tui [--report DIR] [--loop] [--power-off-command CMD] [--source TEXT]\n"
    "        [--destination ...] [--operator NAME] [--organisation NAME]\n"
    "        [--validator NAME] [--simulate FILE]\n"
    "      a full-screen view (Linux): every disk with its record, whether it can\n"
    "      purge itself, and why it may not be erased; select disks (space), a\n"
    "      method (m) and the read-back (v), type \"del\", one bar per disk, then\n"
    "      a summary naming each report. --loop lists loop devices too; p in the\n"
    "      summary runs CMD (given only then). The certificate options are\n"
    "      erase's. English or Japanese, as the locale says.\n"
    "  report list [--report DIR] / report show FILE / report check FILE [--key PUBLIC_KEY]\n"
    "      the past reports; the facts of one; whether one was changed since it\n"
    "      was written: its SHA-256 digest and its signature (exit 0 unchanged and\n"
    "      signed, naming the key's fingerprint; 1 changed, or signed by another key\n"
    "      than PUBLIC_KEY, a PEM or DER file). An unsigned report passes with a\n"
    "      warning (its digest shows only accidental change), and fails with --key.\n"
    "  report canonical FILE\n"
    "      the exact bytes the digest and the signature are taken over (no line\n"
    "      break added), for checking a report with openssl.\n"
    "  report keygen [--replace] [--simulate FILE]\n"
    "      makes the organisation's signing key (ECDSA P-256), which signs every\n"
    "      report from then on; prints its fingerprint and the public key's file.\n"
    "      Kept readable only by you: on Linux in $XDG_CONFIG_HOME/plexiscrub/\n"
    "      (mode 0600), on Windows beside the program (DPAPI, for your user),\n"
    "      FILE's .files with --simulate. A key there is kept unless --replace.\n"
    "  report export [--report DIR] [--csv FILE] [--json FILE]\n"
    "      every report of the folder for an asset system: a CSV file (UTF-8\n"
    "      with a byte order mark; date, asset, serial, model, capacity, method,\n"
    "      outcome, category, signer) and a JSON array of their facts.\n"
    "  dump TARGET SECTOR [--count N] [--simulate FILE]\n"
    "      the hex dump of sector SECTOR (and of the N - 1 sectors after it) as the\n"
    "      sector viewer shows it: the header line, then 32 lines for the sector's\n"
    "      first 512 bytes; a blank line between sectors. The drive is only read.\n"
    "      A drive letter is sized like a volume of the partition view.\n"
    "  protect TARGET [--simulate FILE] / allow TARGET [--simulate FILE]\n"
    "      forbid or allow erasing TARGET, as the program's list menu does (\"not\"\n"
    "      in list; erase refuses it); a number in the physical view, a letter in\n"
    "      the partition view. Kept in drvnotlist.txt: beside the program\n"
    "      (Windows), in $XDG_CONFIG_HOME/plexiscrub or ~/.config/plexiscrub\n"
    "      (Linux), in FILE's .files folder with --simulate. The system drive is\n"
    "      refused.\n"
    "  probe [--out FILE] [--keep-serials] [--simulate FILE]\n"
    "      asks every disk and volume each question the program asks of drives\n"
    "      (descriptors, geometry, length, partition and extents, device number,\n"
    "      seek penalty, the NVMe and ATA identify data a purge reads) and writes\n"
    "      the raw answers and error codes as JSON to FILE (default: standard\n"
    "      output). It only asks: nothing is opened for writing, no data is read.\n"
    "      Serial numbers and unique ids are masked unless --keep-serials. A\n"
    "      probe file is a machine for --simulate: every command runs on the\n"
    "      recorded answers (the data reads as zeros, nothing can be written).\n"

    "\n"
    "TARGET is a block device or an image file (Linux), a drive number or a\n"
    "drive letter (\"2\", \"F:\") or a device path (\\\\.\\PHYSICALDRIVE2) on Windows\n"
    "and on a simulated machine.\n"
    "  --simulate FILE   run on the simulated machine described in FILE, or\n"
    "                    replayed from the probe file FILE\n"
    "  --drive N|X:      the TARGET as a drive number or letter\n"
    "  --help            this text\n"
    "\n"
    "exit codes: 0 done (erase: completed), 1 failed (erase: a write, read,\n"
    "verification or record error after writing began), 2 bad arguments, 3 erase\n"
    "interrupted with its resume record saved, 4 nothing erased (declined,\n"
    "refused, or stopped before the first write), 5 erase interrupted after\n"
    "writing without a resume record: the drive is partly overwritten, 6 every\n"
    "pass written and recorded but the read-back was stopped (not verified),\n"
    "8 erased with exceptions: every pass went over the drive, but some sectors\n"
    "could not be written or read back (listed; no completion record, not\n"
    "Clear). With several drives: 0 when all completed, else the most serious\n"
    "among them (1, then 5, then 3, then 8, then 6); 7 when some were erased and\n"
    "others not started or not written; 4 only when nothing was written to any.\n";

namespace {

// The options that take no value, and the flag each sets.
struct FlagOption {
  const char* name;
  bool Options::*field;
};
constexpr FlagOption kFlagOptions[] = {
    {"--help", &Options::help},       {"-h", &Options::help},         {"--partitions", &Options::partitions},
    {"--loop", &Options::loop},       {"--all", &Options::every_disk}, {"--verify", &Options::verify},
    {"--no-history", &Options::no_history}, {"--yes", &Options::yes}, {"--keep-serials", &Options::keep_serials},
    {"--replace", &Options::replace},
};

enum class OptionRead { kNotAValueOption, kRead, kBad };

// The value after the option at args[i], with i moved onto it; nothing,
// with `missing` said, when the option is the last argument.
const std::string* ValueOf(const std::vector<std::string>& args, size_t& i, const std::string& missing,
                           std::ostream& err) {
  if (i + 1 >= args.size()) {
    err << "plexiscrub-cli: " << missing << "\n";
    return nullptr;
  }
  return &args[++i];
}

OptionRead ReadMethod(const std::vector<std::string>& args, size_t& i, Options& o, std::ostream& err) {
  const std::string* v = ValueOf(args, i, args[i] + Said(o, " needs a value", " には値が必要です"), err);
  if (!v) return OptionRead::kBad;
  if (*v != "0" && *v != "1" && *v != "2" && *v != "3") {
    err << "plexiscrub-cli: "
        << Said(o, "--method takes 0 (zeros), 1 (0xFF, zeros), 2 (random, 0xFF, zeros) or 3 (the drive's own purge)",
                "--method は 0（ゼロ）、1（0xFF、ゼロ）、2（乱数、0xFF、ゼロ）、3（ドライブ自身の消去）のいずれかです")
        << "\n";
    return OptionRead::kBad;
  }
  o.method = (*v)[0] - '0';
  return OptionRead::kRead;
}

OptionRead ReadCount(const std::vector<std::string>& args, size_t& i, Options& o, std::ostream& err) {
  std::optional<uint64_t> n = i + 1 < args.size() ? ParseDecimal(args[i + 1]) : std::nullopt;
  if (!n || *n == 0) {
    err << "plexiscrub-cli: " << Said(o, "--count takes a number of sectors from 1 up", "--count は 1 以上のセクタ数です")
        << "\n";
    return OptionRead::kBad;
  }
  o.count = *n;
  ++i;
  return OptionRead::kRead;
}

OptionRead ReadCheckpoint(const std::vector<std::string>& args, size_t& i, Options& o, std::ostream& err) {
  std::optional<uint64_t> n = i + 1 < args.size() ? ParseDecimal(args[i + 1]) : std::nullopt;
  if (!n || *n == 0 || *n > 3600) {
    err << "plexiscrub-cli: "
        << Said(o, "--checkpoint takes the seconds between two checkpoints, 1 to 3600",
                "--checkpoint は途中経過を記録する間隔の秒数（1 から 3600）です")
        << "\n";
    return OptionRead::kBad;
  }
  o.checkpoint_seconds = uint32_t(*n);
  ++i;
  return OptionRead::kRead;
}

OptionRead ReadReportField(const std::vector<std::string>& args, size_t& i, Options& o, std::ostream& err) {
  const std::string a = args[i];
  const std::string* v = ValueOf(args, i, a + Said(o, " needs a value", " には値が必要です"), err);
  if (!v) return OptionRead::kBad;
  if (a == "--asset") {
    if (v->empty()) {
      err << "plexiscrub-cli: " << Said(o, "--asset needs the drive's asset number", "--asset にはドライブの資産番号が必要です")
          << "\n";
      return OptionRead::kBad;
    }
    o.assets.push_back(*v);
    return OptionRead::kRead;
  }
  if (a == "--destination" && !report::IsDestinationCode(*v)) {
    err << "plexiscrub-cli: "
        << Said(o, "--destination is reuse, recycling, destruction or return, not '",
                "--destination は reuse、recycling、destruction、return のいずれかです（指定: '")
        << *v << Said(o, "'", "'）") << "\n";
    return OptionRead::kBad;
  }
  std::optional<std::string>& field = a == "--report"        ? o.report_dir
                                      : a == "--operator"    ? o.operator_name
                                      : a == "--validator"   ? o.validator
                                      : a == "--source"      ? o.media_source
                                      : a == "--destination" ? o.destination
                                                             : o.organisation;
  field = *v;
  if (a == "--report" && field->empty()) {
    err << "plexiscrub-cli: " << Said(o, "--report needs a folder", "--report にはフォルダが必要です") << "\n";
    return OptionRead::kBad;
  }
  return OptionRead::kRead;
}

const char* OutNeedsFile(const Options& o) {
  return Said(o, "--out needs a file to write the probe to", "--out には調査結果を書き込むファイルが必要です");
}

const char* PowerOffNeedsCommand(const Options& o) {
  return Said(o, "--power-off-command needs the command to run", "--power-off-command には実行するコマンドが必要です");
}

OptionRead ReadOutFile(const std::vector<std::string>& args, size_t& i, Options& o, std::ostream& err) {
  const std::string* v = ValueOf(args, i, OutNeedsFile(o), err);
  if (!v) return OptionRead::kBad;
  if (v->empty()) {
    err << "plexiscrub-cli: " << OutNeedsFile(o) << "\n";
    return OptionRead::kBad;
  }
  o.out_file = *v;
  return OptionRead::kRead;
}

OptionRead ReadValueOption(const std::vector<std::string>& args, size_t& i, Options& o, std::ostream& err) {
  const std::string& a = args[i];
  if (a == "--method") return ReadMethod(args, i, o, err);
  if (a == "--count") return ReadCount(args, i, o, err);
  if (a == "--checkpoint") return ReadCheckpoint(args, i, o, err);
  if (a == "--report" || a == "--operator" || a == "--organisation" || a == "--validator" || a == "--asset" ||
      a == "--source" || a == "--destination")
    return ReadReportField(args, i, o, err);
  if (a == "--drive") {
    const std::string* v = ValueOf(args, i,
                                   Said(o, "--drive needs a drive number or letter (2, F:)",
                                        "--drive にはドライブの番号か文字（2、F:）が必要です"),
                                   err);
    if (v) o.drive = *v;
    return v ? OptionRead::kRead : OptionRead::kBad;
  }
  if (a == "--out") return ReadOutFile(args, i, o, err);
  if (a == "--power-off-command") {
    const std::string* v = ValueOf(args, i, PowerOffNeedsCommand(o), err);
    if (v && v->empty()) err << "plexiscrub-cli: " << PowerOffNeedsCommand(o) << "\n";
    if (!v || v->empty()) return OptionRead::kBad;
    o.power_off_command = *v;
    return OptionRead::kRead;
  }
  if (a == "--key") {
    const std::string* v = ValueOf(args, i, Said(o, "--key needs a public key file", "--key には公開鍵のファイルが必要です"), err);
    if (v) o.key_file = *v;
    return v ? OptionRead::kRead : OptionRead::kBad;
  }
  if (a == "--csv" || a == "--json") {
    const std::string* v = ValueOf(args, i, a + Said(o, " needs the file to write", " には書き込むファイルが必要です"), err);
    if (v && v->empty())
      err << "plexiscrub-cli: " << a << Said(o, " needs the file to write", " には書き込むファイルが必要です") << "\n";
    if (!v || v->empty()) return OptionRead::kBad;
    (a == "--csv" ? o.csv_file : o.json_file) = *v;
    return OptionRead::kRead;
  }
  if (a == "--simulate") {
    const std::string* v = ValueOf(
        args, i,
        Said(o, "--simulate needs a machine description file", "--simulate には模擬マシンの記述ファイルが必要です"),
        err);
    if (v) o.simulate = *v;
    return v ? OptionRead::kRead : OptionRead::kBad;
  }
  return OptionRead::kNotAValueOption;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, Language language, std::ostream& err) {
  Options o;
  o.language = language;  // for the complaints about the options too
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto flag = std::find_if(std::begin(kFlagOptions), std::end(kFlagOptions),
                                   [&](const FlagOption& f) { return a == f.name; });
    if (flag != std::end(kFlagOptions)) {
      o.*(flag->field) = true;
      continue;
    }
    if (a == "--resume" || a == "--no-resume") {
      o.resume = a == "--resume";
      continue;
    }
    const OptionRead read = ReadValueOption(args, i, o, err);
    if (read == OptionRead::kBad) return std::nullopt;
    if (read == OptionRead::kRead) continue;
    if (a.size() > 1 && a.substr(0, 2) == "--") {
      err << "plexiscrub-cli: " << Said(o, "unknown option '", "知らないオプションです: '") << a << "'\n";
      return std::nullopt;
    } else if (o.command.empty()) {
      o.command = a;
    } else {
      o.positional.push_back(a);
    }
  }
  return o;
}

int ListCommand(const Options& o, std::ostream& out, std::ostream& err) {
  if (!o.positional.empty()) {
    err << "plexiscrub-cli: " << Said(o, "list takes no target", "list には TARGET を指定しません") << "\n";
    return kUsage;
  }
  if (!o.simulate) {
    if (std::optional<int> listed = ListHostDisks(o, out, err)) return *listed;
  }
  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return kFailed;
  StreamNotifier notifier(err);
  const ViewMode view = o.partitions ? ViewMode::kPartition : ViewMode::kPhysical;
  // "not" as the program shows it: the system drive and the protection list.
  std::optional<ProtectionList> protection = OpenProtectionList(o, *machine, notifier, err);
  std::function<bool(const DriveRow&)> is_protected;
  if (protection)
    is_protected = [&](const DriveRow& row) { return protection->forbidden->IsForbidden(row, view); };
  DriveDiscovery discovery(*machine, notifier, is_protected);
  std::vector<DriveRow> rows = discovery.Refresh(view, o.every_disk);
  out << ListHeader(o) << "\n";
  for (const DriveRow& row : rows) {
    out << row.caption;
    for (int i = 0; i < 8; ++i)
      out << " | " << (i == 3 && row.method ? EraseMethodText(*row.method, MethodTextForm::kShort, o.language)
                                            : row.SubItem(i));
    out << "\n";
  }
  if (rows.empty()) err << "plexiscrub-cli: " << Said(o, "no drives found", "ドライブが見つかりません") << "\n";
  return kOk;
}

const char* KindName(RecordKind erase_reading, RecordKind kind, Language language) {
  const auto in = [language](const char* english, const char* japanese) {
    return InLanguage(language, english, japanese);
  };
  if (kind == RecordKind::kComplete) return in("completion record", "完了の記録");
  if (kind == RecordKind::kResume)
    return erase_reading == RecordKind::kResume ? in("resume record", "再開情報")
                                                : in("resume record without a resume point", "再開位置のない再開情報");
  return in("no record", "記録なし");
}

// What a drive's own purge can do, asked through a handle of `access`;
// nothing, said on `out`, when the drive cannot be opened so.
std::optional<PurgeCapability> PurgeCapabilityThrough(platform::Machine& machine, const std::string& path,
                                                      platform::Access access, Language language, std::ostream& out) {
  const auto in = [language](const char* english, const char* japanese) {
    return InLanguage(language, english, japanese);
  };

  platform::Result<std::unique_ptr<platform::Device>> device = machine.OpenDevice(path, access);
  if (!device.ok()) {
    const bool denied = device.error() == winconst::kErrorAccessDenied;
    out << in("purge: unknown (", "ファームウェア消去: 不明（")
        << (denied ? in("access denied", "アクセスが拒否されました") : OneLine(SystemErrorText(machine, device.error())))
        << in(")", "）") << "\n";
    return std::nullopt;
  }
  const std::optional<DescriptorFacts> d = QueryDescriptor(**device);
  return QueryPurgeCapability(**device, d ? d->bus_type : 0, machine.System());
}

// Firmware commands go to whole drives only.
bool NamesVolume(const std::string& target, const std::string& path) {
  const std::optional<DriveDesignator> designator = DesignatorOfTarget(target);
  return (designator && !designator->IsPhysical()) || IsVolumePath(path);
}

// What the drive's own purge can do; asked with identify commands only.
// A read handle serves where the identify command needs no more; ATA
// pass-through needs read and write access ("IOCTL_ATA_PASS_THROUGH",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddscsi/ni-ntddscsi-ioctl_ata_pass_through),
// so a drive that refuses it on a read handle is asked again through a
// read-write one, as the erase asks it; nothing but the identify commands
// is sent through either.
void ShowPurgeCapability(platform::Machine& machine, const std::string& target, const std::string& path,
                         Language language, std::ostream& out) {
  const auto in = [language](const char* english, const char* japanese) {
    return InLanguage(language, english, japanese);
  };
  if (NamesVolume(target, path)) {
    out << in("purge: no (a volume; only a whole drive can purge itself)",
              "ファームウェア消去: 不可（ボリューム。自身を消去できるのはドライブ全体だけです）")
        << "\n";
    return;
  }
  std::optional<PurgeCapability> cap = PurgeCapabilityThrough(machine, path, platform::Access::kRead, language, out);
  if (cap && cap->identify_denied)
    cap = PurgeCapabilityThrough(machine, path, platform::Access::kReadWrite, language, out);
  if (!cap) return;
  if (cap->identify_denied) {
    out << in("purge: unknown (access denied)", "ファームウェア消去: 不明（アクセスが拒否されました）") << "\n";
    return;
  }
  if (cap->Usable())
    out << in("purge: yes (", "ファームウェア消去: 可 (") << PurgeCommandName(cap->command, language) << ")\n";
  else
    out << in("purge: no (", "ファームウェア消去: 不可 (") << PurgeBlockText(cap->block, language) << ")\n";
  for (const std::string& line : PurgeCapabilityLines(*cap, language)) out << "  " << line << "\n";
}

// The sectors the drive hides from the host, asked as the purge capability
// is (READ NATIVE MAX ADDRESS EXT and DEVICE CONFIGURATION IDENTIFY change
// nothing): through a read handle, and a read-write one where ATA
// pass-through needs it.
void ShowHiddenArea(platform::Machine& machine, const std::string& target, const std::string& path,
                    Language language, std::ostream& out) {
  const auto in = [language](const char* english, const char* japanese) {
    return InLanguage(language, english, japanese);
  };
  if (NamesVolume(target, path)) {
    out << in("hidden: not asked (a volume)", "隠し領域: 調べていません（ボリューム）") << "\n";
    return;
  }
  HiddenArea area;
  for (platform::Access access : {platform::Access::kRead, platform::Access::kReadWrite}) {
    platform::Result<std::unique_ptr<platform::Device>> device = machine.OpenDevice(path, access);
    if (!device.ok()) break;
    const std::optional<DescriptorFacts> d = QueryDescriptor(**device);
    area = QueryHiddenArea(**device, d ? d->bus_type : 0, machine.System());
    if (!area.access_denied) break;
  }
  if (!area.asked) {
    out << in("hidden: not asked (not an ATA drive)", "隠し領域: 調べていません（ATA ドライブではありません）") << "\n";
    return;
  }
  if (!area.answered) {
    out << in("hidden: unknown (", "隠し領域: 不明（")
        << (area.access_denied ? in("access denied", "アクセスが拒否されました")
                               : in("the drive did not answer", "ドライブが答えません"))
        << in(")", "）") << "\n";
    return;
  }
  out << in("hidden: ", "隠し領域: ") << area.HiddenSectors() << in(" sectors (host protected area ", " セクタ（HPA ")
      << area.HpaSectors() << in(", device configuration overlay ", "、DCO ") << area.DcoSectors() << in(")", "）")
      << "\n";
  for (const std::string& line : HiddenAreaLines(area, language)) out << "  " << line << "\n";
}

// The drive's names as its descriptor gives them, and where they came from.
void ShowDriveNames(platform::Machine& machine, const std::string& path, Language language, std::ostream& out) {
  const auto in = [language](const char* english, const char* japanese) {
    return InLanguage(language, english, japanese);
  };

  platform::Result<std::unique_ptr<platform::Device>> device = machine.OpenDevice(path, platform::Access::kRead);
  const std::optional<DescriptorFacts> d = device.ok() ? QueryDescriptor(**device) : std::nullopt;
  if (!d || !d->has_header) {
    out << in("model: unknown (no descriptor)", "製品名: 不明（記述子がありません）") << "\n";
    return;
  }
  out << in("model: ", "製品名: ") << d->vendor << (d->vendor.empty() ? "" : " ") << d->product << "\n";
  out << in("serial: ", "シリアル番号: ") << (d->serial.empty() ? in("none", "なし") : d->serial) << "\n";
  out << in("firmware revision: ", "ファームウェア版: ") << (d->revision.empty() ? in("none", "なし") : d->revision)
      << "\n";
  out << in("identity source: ", "識別情報の出所: ") << d->identity_source << "\n";
}

int InspectCommand(const Options& o, std::ostream& out, std::ostream& err) {
  if (o.positional.size() != 1) {
    err << "plexiscrub-cli: " << Said(o, "inspect needs exactly one TARGET", "inspect には TARGET を一つだけ指定して下さい")
        << "\n";
    return kUsage;
  }
  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return kFailed;
  const std::string path = DevicePathOf(o.positional[0]);
  std::string problem;
  const std::optional<FirstSector> first = ReadFirstSector(*machine, path, &problem, o.language);
  if (!first) {
    err << "plexiscrub-cli: " << problem << "\n";
    return kFailed;
  }
  const std::vector<uint8_t>& sector = first->bytes;
  const DriveExtent* extent = &first->extent;
  // The list's reading (kind and method) and the erase's (resume point).
  ListRecord list = RecogniseForList(sector.data(), sector.size());
  EraseRecordFields fields;
  const RecordKind resume = RecogniseForErase(sector.data(), sector.size(), fields);

  out << Said(o, "target: ", "対象: ") << path << "\n";
  out << Said(o, "sector size: ", "セクタサイズ: ") << extent->sector_size << "\n";
  out << Said(o, "sectors: ", "セクタ数: ") << extent->sector_count << " ("
      << FormatSize(extent->sector_count * extent->sector_size) << ")\n";
  ShowDriveNames(*machine, path, o.language, out);
  out << Said(o, "kind: ", "記録: ") << int(list.kind) << " (" << KindName(resume, list.kind, o.language) << ")\n";
  if (list.method)
    out << Said(o, "method: ", "消去方式: ") << *list.method << " ("
        << EraseMethodText(*list.method, MethodTextForm::kLong, o.language) << ")\n";
  else
    out << Said(o, "method: none", "消去方式: なし") << "\n";
  if (list.kind == RecordKind::kResume)
    out << Said(o, "resume point: pass ", "再開位置: 工程 ") << fields.ResumePass << Said(o, ", chunk ", "、区切り ")
        << fields.ResumeChunk << (resume == RecordKind::kResume ? "" : Said(o, " (nothing to resume)", "（再開するものなし）"))
        << (fields.Checkpoint ? Said(o, " (a checkpoint: the erase that wrote it ended unexpectedly)",
                                     "（途中経過の記録: 書き込んだ消去は予期せず終了しました）")
                              : "")
        << "\n";
  else
    out << Said(o, "resume point: none", "再開位置: なし") << "\n";
  // The erase's own check; its reason, if any, goes to standard error.
  const bool is_protected = TargetIsProtected(o, *machine, o.positional[0], err);
  out << Said(o, "protected: ", "消去禁止: ") << (is_protected ? Said(o, "yes", "はい") : Said(o, "no", "いいえ")) << "\n";
  ShowPurgeCapability(*machine, o.positional[0], path, o.language, out);
  ShowHiddenArea(*machine, o.positional[0], path, o.language, out);
  return kOk;
}

}  // namespace

namespace {

// An option given to a command it does not belong to, in the user's words.
std::optional<std::string> MisplacedOption(const Options& o) {
  const std::string& c = o.command;
  if ((o.partitions || o.every_disk) && c != "list")
    return Said(o, "--partitions and --all belong to list", "--partitions、--all は list のオプションです");
  if (o.loop && c != "list" && c != "tui")
    return Said(o, "--loop belongs to list and tui", "--loop は list、tui のオプションです");
  if (o.power_off_command && c != "tui")
    return Said(o, "--power-off-command belongs to tui", "--power-off-command は tui のオプションです");
  if ((o.method || o.verify || o.no_history || o.yes || o.resume || o.checkpoint_seconds) && c != "erase")
    return Said(o, "--method, --verify, --no-history, --yes, --resume and --checkpoint belong to erase",
                "--method、--verify、--no-history、--yes、--resume、--checkpoint は erase のオプションです");
  if ((o.operator_name || o.organisation || o.validator || o.media_source || o.destination) && c != "erase" &&
      c != "tui")
    return Said(o, "--operator, --organisation, --validator, --source and --destination belong to erase and tui",
                "--operator、--organisation、--validator、--source、--destination は erase、tui のオプションです");
  if (!o.assets.empty() && c != "erase") return Said(o, "--asset belongs to erase", "--asset は erase のオプションです");
  // --drive is the first target (it is put before the others below).
  if (!o.assets.empty() && o.assets.size() != o.positional.size() + (o.drive ? 1 : 0))
    return Said(o, "--asset is given once for each TARGET, in their order", "--asset は TARGET ごとに、その順で一つずつ指定します");
  if (o.report_dir && c != "erase" && c != "report" && c != "tui")
    return Said(o, "--report belongs to erase, report and tui", "--report は erase、report、tui のオプションです");
  if (o.count && c != "dump") return Said(o, "--count belongs to dump", "--count は dump のオプションです");
  if ((o.key_file || o.replace) && c != "report")
    return Said(o, "--key and --replace belong to report", "--key、--replace は report のオプションです");
  if ((o.csv_file || o.json_file) && c != "report")
    return Said(o, "--csv and --json belong to report export", "--csv、--json は report export のオプションです");
  if ((o.out_file || o.keep_serials) && c != "probe")
    return Said(o, "--out and --keep-serials belong to probe", "--out、--keep-serials は probe のオプションです");
  if (o.drive && c != "inspect" && c != "erase" && c != "dump" && c != "protect" && c != "allow")
    return Said(o, "--drive belongs to inspect, erase, dump, protect and allow",
                "--drive は inspect、erase、dump、protect、allow のオプションです");
  return std::nullopt;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool interactive,
           ConsoleInterrupt& interrupt) {
  const Language language = ToolLanguage();
  std::optional<Options> options = ParseOptions(args, language, err);
  if (!options) {
    err << InLanguage(language, "Try 'plexiscrub-cli --help'.", "'plexiscrub-cli --help' で使い方を表示します。") << "\n";
    return kUsage;
  }
  options->interactive = interactive;
  options->interrupt = &interrupt;
  if (options->help) {
    out << kUsageText;
    return kOk;
  }
  using Command = std::function<int(const Options&, std::ostream&, std::ostream&)>;
  static const std::map<std::string, Command> kCommands = {
      {"list", ListCommand},
      {"inspect", InspectCommand},
      {"erase", EraseCommand},
      {"dump", DumpCommand},
      {"protect", ProtectCommand},
      {"allow", AllowCommand},
      {"report", ReportCommand},
      {"probe", ProbeCommand},
      {"tui", TuiCommand},
  };
  auto found = kCommands.find(options->command);
  if (found == kCommands.end()) {
    if (options->command.empty())
      err << "plexiscrub-cli: " << Said(*options, "no command given", "コマンドが指定されていません") << "\n";
    else
      err << "plexiscrub-cli: " << Said(*options, "unknown command '", "知らないコマンドです: '") << options->command
          << "'\n";
    err << kUsageText;
    return kUsage;
  }
  if (std::optional<std::string> misplaced = MisplacedOption(*options)) {
    err << "plexiscrub-cli: " << *misplaced << "\n";
    return kUsage;
  }
  // --drive N names the target the way the program's list does; it comes
  // first among the positional arguments.
  if (options->drive) options->positional.insert(options->positional.begin(), *options->drive);
  return found->second(*options, out, err);
}

}  // namespace plexi::cli
