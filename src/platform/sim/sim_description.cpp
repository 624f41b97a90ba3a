// Line parser of the machine description. Each line is a directive followed by
// blank-separated words and key=value pairs; a value in double quotes may hold
// blanks, and inside quotes \" and \\ are the only escapes (other backslashes
// stay, so Windows paths need no doubling).
#include "platform/sim/sim_description.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <map>
#include <set>

#include "platform/winconst.h"
#include "util/ascii_text.h"
#include "util/text_lines.h"

namespace plexi::sim {
namespace {

struct Token {
  std::string key;    // the word, or the part before '='
  std::string value;  // the part after '=' (or a lone quoted word)
  bool has_value = false;
};

// Thrown only inside this file and caught by ParseDescription, so a deep
// helper can report an error without every caller checking it.
struct LineError {
  std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw LineError{message}; }

std::vector<Token> Tokenize(const std::string& line) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    Token token;
    std::string* into = &token.key;
    // Inside a word '#' is an ordinary character ("volume=#2").
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
      char c = line[i];
      if (c == '=' && !token.has_value) {
        token.has_value = true;
        into = &token.value;
        ++i;
      } else if (c == '"') {
        if (into == &token.key && token.key.empty()) {
          token.has_value = true;  // a lone quoted word
          into = &token.value;
        }
        ++i;
        bool closed = false;
        while (i < line.size()) {
          if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
            into->push_back(line[i + 1]);
            i += 2;
          } else if (line[i] == '"') {
            closed = true;
            ++i;
            break;
          } else {
            into->push_back(line[i++]);
          }
        }
        if (!closed) Fail("unterminated quote");
      } else {
        into->push_back(c);
        ++i;
      }
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

uint64_t ParseUnsigned(const std::string& text, const std::string& what) {
  if (text.empty()) Fail("missing value for '" + what + "'");
  uint64_t value = 0;
  int base = 10;
  size_t i = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  }
  for (; i < text.size(); ++i) {
    char c = char(std::tolower(static_cast<unsigned char>(text[i])));
    int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                       : -1;
    if (digit < 0) Fail("bad number '" + text + "' for '" + what + "'");
    if (value > (std::numeric_limits<uint64_t>::max() - uint64_t(digit)) / uint64_t(base))
      Fail("number '" + text + "' for '" + what + "' is too large");
    value = value * uint64_t(base) + uint64_t(digit);
  }
  return value;
}

uint32_t ParseU32(const std::string& text, const std::string& what) {
  uint64_t v = ParseUnsigned(text, what);
  if (v > std::numeric_limits<uint32_t>::max()) Fail("number '" + text + "' for '" + what + "' is too large");
  return uint32_t(v);
}

int32_t ParseI32(const std::string& text, const std::string& what) {
  bool negative = !text.empty() && text[0] == '-';
  uint64_t v = ParseUnsigned(negative ? text.substr(1) : text, what);
  if (v > (negative ? uint64_t(1) << 31 : (uint64_t(1) << 31) - 1))
    Fail("number '" + text + "' for '" + what + "' is out of range");
  return negative ? int32_t(-int64_t(v)) : int32_t(v);
}

// A byte count: a plain number or one with a binary suffix K, M, G or T.
uint64_t ParseSize(const std::string& text, const std::string& what) {
  static const std::map<char, int> shifts = {{'K', 10}, {'M', 20}, {'G', 30}, {'T', 40}};
  if (!text.empty()) {
    auto it = shifts.find(char(std::toupper(static_cast<unsigned char>(text.back()))));
    if (it != shifts.end()) {
      uint64_t v = ParseUnsigned(text.substr(0, text.size() - 1), what);
      if (v > (std::numeric_limits<uint64_t>::max() >> it->second)) Fail("size '" + text + "' is too large");
      return v << it->second;
    }
  }
  return ParseUnsigned(text, what);
}

bool ParseYesNo(const std::string& text, const std::string& what) {
  if (text == "yes") return true;
  if (text == "no") return false;
  Fail("'" + what + "' must be yes or no, not '" + text + "'");
}

std::vector<uint8_t> ParseHex(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::string digits;
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) Fail("bad hex digit '" + std::string(1, c) + "' in trailing-hex");
    digits.push_back(c);
  }
  if (digits.size() % 2 != 0) Fail("trailing-hex needs two digits per byte");
  for (size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(uint8_t(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

uint32_t ParseBus(const std::string& text) {
  static const std::map<std::string, uint32_t> names = {
      {"scsi", winconst::kBusTypeScsi},   {"atapi", winconst::kBusTypeAtapi}, {"ata", winconst::kBusTypeAta},
      {"ssa", winconst::kBusTypeSsa},     {"fibre", winconst::kBusTypeFibre},
      {"usb", winconst::kBusTypeUsb},     {"raid", winconst::kBusTypeRaid},   {"iscsi", winconst::kBusTypeIscsi},
      {"sas", winconst::kBusTypeSas},     {"sata", winconst::kBusTypeSata},   {"sd", winconst::kBusTypeSd},
      {"mmc", winconst::kBusTypeMmc},     {"virtual", winconst::kBusTypeVirtual},
      {"filebackedvirtual", winconst::kBusTypeFileBackedVirtual},
      {"spaces", winconst::kBusTypeSpaces}, {"nvme", winconst::kBusTypeNvme}, {"scm", winconst::kBusTypeScm},
      {"ufs", winconst::kBusTypeUfs}};
  std::string lower;
  for (char c : text) lower.push_back(char(std::tolower(static_cast<unsigned char>(c))));
  if (auto it = names.find(lower); it != names.end()) return it->second;
  return ParseU32(text, "bus");
}

// "C:" or "c:" as an upper-case letter.
char ParseLetter(const std::string& text) {
  if (text.size() == 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0])))
    return char(std::toupper(static_cast<unsigned char>(text[0])));
  Fail("bad drive letter '" + text + "' (expected e.g. C:)");
}

// Walks the key=value tokens after the directive, each key at most once.
class Pairs {
 public:
  Pairs(const std::vector<Token>& tokens, size_t first) {
    for (size_t i = first; i < tokens.size(); ++i) {
      const Token& t = tokens[i];
      if (!t.has_value || t.key.empty()) Fail("expected key=value, got '" + t.key + t.value + "'");
      if (!values_.emplace(t.key, t.value).second) Fail("key '" + t.key + "' given twice");
      order_.push_back(t.key);
    }
  }
  // Call Take for every known key, then Finish to reject the rest.
  std::optional<std::string> Take(const std::string& key) {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    std::string v = it->second;
    values_.erase(it);
    return v;
  }
  void Finish() {
    for (const std::string& key : order_)
      if (values_.count(key)) Fail("unknown key '" + key + "'");
  }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> order_;
};

// volume=C:, volume=#3 or volume=\\?\Volume{...}.
void ParseVolumeTarget(const std::string& text, Target& target) {
  if (!text.empty() && text[0] == '#') {
    target.position = ParseU32(text.substr(1), "volume");
    if (target.position == 0) Fail("volume positions start at #1");
  } else if (text.size() > 2 && text[0] == '\\') {
    bool trailing = false;
    target.position = ParseVolumeGuidPath(text, &trailing);
    if (target.position == 0 || trailing) Fail("bad volume GUID path '" + text + "'");
  } else {
    target.letter = ParseLetter(text);
  }
}

Target ParseTarget(Pairs& pairs) {
  auto disk = pairs.Take("disk");
  auto volume = pairs.Take("volume");
  if (disk.has_value() == volume.has_value()) Fail("give exactly one of disk= and volume=");
  Target target;
  if (disk) target.disk = ParseU32(*disk, "disk");
  if (volume) ParseVolumeTarget(*volume, target);
  return target;
}

// "crypto,block" into the sanitize flags; "none" for none.
void ParseSanitizeModes(const std::string& text, FirmwareSpec& f) {
  if (text == "none") return;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(',', start), text.size());
    const std::string mode = text.substr(start, end - start);
    if (mode == "crypto") f.sanitize_crypto = true;
    else if (mode == "block") f.sanitize_block = true;
    else if (mode == "overwrite") f.sanitize_overwrite = true;
    else Fail("sanitize modes are crypto, block and overwrite (or none), not '" + mode + "'");
    start = end + 1;
  }
}

// hpa=SECTORS, dco=SECTORS and hpa-frozen=yes|no: an ATA drive's hidden areas.
template <class Take>
void ParseHiddenArea(Take& take, FirmwareSpec& f) {
  if (auto v = take("hpa")) f.hpa_sectors = ParseUnsigned(*v, "hpa");
  if (auto v = take("dco")) {
    f.dco_sectors = ParseUnsigned(*v, "dco");
    f.dco_supported = true;
  }
  if (auto v = take("hpa-frozen")) f.hpa_frozen = ParseYesNo(*v, "hpa-frozen");
  // The hidden sectors' bytes are held with the disk's own: keep the whole
  // medium within 48-bit addressing.
  if (f.hpa_sectors > (1ull << 40) || f.dco_sectors > (1ull << 40)) Fail("hpa and dco are at most 2^40 sectors");
}

// The firmware keys of a disk line; any of them makes the drive answer
// firmware commands.
void ParseFirmware(Pairs& pairs, DiskSpec& disk) {
  FirmwareSpec f;
  bool any = false;
  auto take = [&](const char* key) {
    std::optional<std::string> v = pairs.Take(key);
    any = any || v.has_value();
    return v;
  };
  if (auto v = take("sanitize")) ParseSanitizeModes(*v, f);
  if (auto v = take("format")) {
    if (*v != "crypto" && *v != "user-data" && *v != "none")
      Fail("format must be crypto, user-data or none, not '" + *v + "'");
    f.format_crypto = *v == "crypto";
    f.format_user_data = *v != "none";
  }
  if (auto v = take("format-all")) f.format_all_namespaces = ParseYesNo(*v, "format-all");
  if (auto v = take("namespaces")) {
    f.namespaces = ParseU32(*v, "namespaces");
    if (f.namespaces == 0 || f.namespaces > 1024) Fail("namespaces is from 1 to 1024");
  }
  if (auto v = take("dlfeat")) {
    if (*v != "zeros" && *v != "ones" && *v != "none") Fail("dlfeat must be zeros, ones or none, not '" + *v + "'");
    f.dealloc_read = *v == "zeros" ? 1 : *v == "ones" ? 2 : 0;
  }
  if (auto v = take("security")) {
    if (*v != "normal" && *v != "enhanced" && *v != "none")
      Fail("security must be normal, enhanced or none, not '" + *v + "'");
    f.security = *v == "enhanced" ? FirmwareSpec::Security::kEnhanced
                 : *v == "normal" ? FirmwareSpec::Security::kNormal
                                  : FirmwareSpec::Security::kNone;
  }
  if (auto v = take("frozen")) f.frozen = ParseYesNo(*v, "frozen");
  if (auto v = take("password")) f.password_set = ParseYesNo(*v, "password");
  if (auto v = take("password-expired")) f.count_expired = ParseYesNo(*v, "password-expired");
  if (auto v = take("erase-minutes")) f.erase_minutes = ParseU32(*v, "erase-minutes");
  if (auto v = take("sanitize-steps")) {
    f.sanitize_steps = ParseU32(*v, "sanitize-steps");
    if (f.sanitize_steps > 1000) Fail("sanitize-steps is at most 1000");
  }
  if (auto v = take("no-deallocate")) {
    if (*v != "honoured" && *v != "ignored" && *v != "inhibited")
      Fail("no-deallocate must be honoured, ignored or inhibited, not '" + *v + "'");
    f.no_deallocate = *v == "honoured"  ? FirmwareSpec::NoDeallocate::kHonoured
                      : *v == "ignored" ? FirmwareSpec::NoDeallocate::kIgnored
                                        : FirmwareSpec::NoDeallocate::kInhibited;
  }
  if (auto v = take("sanitize-estimate")) f.sanitize_estimate = ParseU32(*v, "sanitize-estimate");
  if (auto v = take("bridge")) {
    if (*v != "passes" && *v != "blocks") Fail("bridge must be passes or blocks, not '" + *v + "'");
    f.bridge_passes = *v == "passes";
  }
  ParseHiddenArea(take, f);
  if (any) disk.firmware = f;
}

// eui64=0025385711B01234 (or an NGUID's 32 digits): the descriptor serial
// StorNVMe makes of it, "0025_3857_11B0_1234.".
std::string ParseNamespaceId(const std::string& text) {
  const bool hex = std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
  if (!hex || (text.size() != 16 && text.size() != 32))
    Fail("eui64= is 16 hex digits (an EUI-64) or 32 (an NGUID), not '" + text + "'");
  std::string serial;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i > 0 && i % 4 == 0) serial += '_';
    serial += char(std::toupper(static_cast<unsigned char>(text[i])));
  }
  return serial + ".";
}

void ParseDisk(const std::vector<Token>& tokens, DiskSpec& disk) {
  if (tokens.size() < 2 || tokens[1].has_value) Fail("disk needs a number: disk 0 sectors=...");
  disk.number = ParseU32(tokens[1].key, "disk");
  Pairs pairs(tokens, 2);
  if (auto v = pairs.Take("sector-size")) disk.sector_size = ParseU32(*v, "sector-size");
  auto sectors = pairs.Take("sectors");
  auto size = pairs.Take("size");
  if (sectors && size) Fail("give sectors= or size=, not both");
  if (sectors) disk.sectors = ParseUnsigned(*sectors, "sectors");
  if (auto v = pairs.Take("bus")) disk.bus_type = ParseBus(*v);
  if (auto v = pairs.Take("vendor")) disk.vendor = *v;
  if (auto v = pairs.Take("product")) disk.product = *v;
  if (auto v = pairs.Take("revision")) disk.revision = *v;
  if (auto v = pairs.Take("serial")) disk.serial = *v;
  if (auto v = pairs.Take("eui64")) disk.namespace_serial = ParseNamespaceId(*v);
  if (auto v = pairs.Take("trailing-hex")) disk.trailing = ParseHex(*v);
  for (auto [key, field] : {std::pair{"vendor-offset", &disk.vendor_offset},
                            std::pair{"product-offset", &disk.product_offset},
                            std::pair{"revision-offset", &disk.revision_offset},
                            std::pair{"serial-offset", &disk.serial_offset}}) {
    if (auto v = pairs.Take(key)) {
      if (!disk.trailing) Fail(std::string("'") + key + "' needs trailing-hex=");
      *field = ParseU32(*v, key);
    }
  }
  if (auto v = pairs.Take("removable")) disk.removable = ParseYesNo(*v, "removable");
  if (auto v = pairs.Take("attached")) disk.attached = ParseYesNo(*v, "attached");
  if (auto v = pairs.Take("ata")) disk.ata = ParseYesNo(*v, "ata");
  if (auto v = pairs.Take("image")) disk.image = *v;
  if (auto v = pairs.Take("heads")) disk.heads = ParseU32(*v, "heads");
  if (auto v = pairs.Take("sectors-per-track")) disk.sectors_per_track = ParseU32(*v, "sectors-per-track");
  if (auto v = pairs.Take("write-delay")) disk.write_delay_ms = ParseU32(*v, "write-delay");
  if (disk.write_delay_ms > 10000) Fail("write-delay is at most 10000 milliseconds");
  if (auto v = pairs.Take("media")) {
    if (*v != "ssd" && *v != "hdd" && *v != "unknown") Fail("media must be ssd, hdd or unknown, not '" + *v + "'");
    disk.media = *v == "ssd" ? DiskSpec::Media::kSsd : *v == "hdd" ? DiskSpec::Media::kHdd : DiskSpec::Media::kUnknown;
  }
  if (auto v = pairs.Take("table")) {
    if (*v != "mbr" && *v != "gpt") Fail("table must be mbr or gpt, not '" + *v + "'");
    disk.gpt = *v == "gpt";
  }
  ParseFirmware(pairs, disk);
  pairs.Finish();

  uint32_t ss = disk.sector_size;
  if (ss < 512 || ss > 65536 || (ss & (ss - 1)) != 0) Fail("sector-size must be a power of two from 512 to 65536");
  if (size) {
    uint64_t bytes = ParseSize(*size, "size");
    if (bytes % ss != 0) Fail("size is not a whole number of sectors");
    disk.sectors = bytes / ss;
  }
  if (!disk.namespace_serial.empty() && disk.bus_type != winconst::kBusTypeNvme) Fail("eui64= needs bus=nvme");
  if (disk.firmware && (disk.firmware->hpa_sectors || disk.firmware->dco_supported) &&
      disk.bus_type == winconst::kBusTypeNvme)
    Fail("hpa= and dco= are ATA features: they need bus=sata, ata or usb");
  if (disk.sectors == 0 && disk.image.empty()) Fail("disk needs sectors= or size= (or image=)");
  const uint64_t hidden = disk.firmware ? disk.firmware->hpa_sectors + disk.firmware->dco_sectors : 0;
  if (disk.sectors > std::numeric_limits<uint64_t>::max() / ss - hidden) Fail("disk is too large");
  if (disk.heads == 0 || disk.sectors_per_track == 0) Fail("heads and sectors-per-track must not be 0");
}

// "D:\Data\": a folder on a lettered drive, with its trailing backslash.
std::string ParseMountFolder(const std::string& text) {
  bool shape = text.size() > 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
               text[2] == '\\' && text[3] != '\\' && text.back() == '\\';
  if (!shape) Fail("mount= must be a folder with a trailing backslash, such as \"D:\\Data\\\", not '" + text + "'");
  return text;
}

void ParseVolume(const std::vector<Token>& tokens, VolumeSpec& volume) {
  if (tokens.size() < 2 || tokens[1].has_value)
    Fail("volume needs a letter or -: volume C: disk=0 ...");
  volume.letter = tokens[1].key == "-" ? 0 : ParseLetter(tokens[1].key);
  Pairs pairs(tokens, 2);
  if (auto v = pairs.Take("disk")) volume.disk = ParseU32(*v, "disk");
  if (auto v = pairs.Take("offset")) volume.offset = ParseSize(*v, "offset");
  if (auto v = pairs.Take("length")) volume.length = ParseSize(*v, "length");
  volume.type = volume.disk ? VolumeType::kFixed : VolumeType::kCdrom;
  if (auto v = pairs.Take("type")) {
    static const std::map<std::string, VolumeType> types = {
        {"fixed", VolumeType::kFixed}, {"removable", VolumeType::kRemovable},
        {"cdrom", VolumeType::kCdrom}, {"remote", VolumeType::kRemote},
        {"ramdisk", VolumeType::kRamdisk}};
    auto it = types.find(*v);
    if (it == types.end()) Fail("unknown volume type '" + *v + "'");
    volume.type = it->second;
  }
  if (auto v = pairs.Take("label")) volume.label = *v;
  if (auto v = pairs.Take("mounted")) {
    if (*v == "yes" || *v == "no") volume.mounted = *v == "yes";
    else Fail("mounted must be yes or no, not '" + *v + "'");
  }
  volume.extents = volume.disk ? ExtentMode::kOne : ExtentMode::kNone;
  if (auto v = pairs.Take("extents")) {
    if (*v == "one") volume.extents = ExtentMode::kOne;
    else if (*v == "two") volume.extents = ExtentMode::kTwo;
    else if (*v == "none") volume.extents = ExtentMode::kNone;
    else Fail("extents must be one, two or none, not '" + *v + "'");
  }
  if (auto v = pairs.Take("hidden")) {
    if (!volume.letter) Fail("hidden= needs a drive letter; a volume without one is never listed by letter");
    volume.hidden = ParseYesNo(*v, "hidden");
  }
  if (auto v = pairs.Take("boot")) volume.boot = ParseYesNo(*v, "boot");
  if (auto v = pairs.Take("mount")) volume.mount = ParseMountFolder(*v);
  pairs.Finish();
  if (!volume.letter && !volume.disk) Fail("a volume without a letter needs disk=");
  if (!volume.disk && volume.extents != ExtentMode::kNone) Fail("a volume without disk= has extents=none");
  if (!volume.disk && (volume.offset != 0 || volume.length)) Fail("offset= and length= need disk=");
}

void ParseRecord(const std::vector<Token>& tokens, RecordSpec& record) {
  Pairs pairs(tokens, 1);
  record.target = ParseTarget(pairs);
  auto kind = pairs.Take("kind");
  if (!kind) Fail("record needs kind=complete or kind=resume");
  if (*kind != "complete" && *kind != "resume") Fail("unknown record kind '" + *kind + "'");
  record.complete = *kind == "complete";
  if (auto v = pairs.Take("method")) record.method = ParseI32(*v, "method");
  if (!record.complete) {
    if (auto v = pairs.Take("chunk")) record.chunk = ParseU32(*v, "chunk");
    if (auto v = pairs.Take("pass")) record.pass = ParseI32(*v, "pass");
  }
  pairs.Finish();
}

// "fault disk=1 op=power-cut after=120 keep=last": when the power goes.
void ParsePowerCut(Pairs& pairs, FaultSpec& fault) {
  auto after = pairs.Take("after");
  auto after_ms = pairs.Take("after-ms");
  auto keep = pairs.Take("keep");
  if (fault.op != FaultOp::kPowerCut) {
    if (after || after_ms || keep) Fail("after=, after-ms= and keep= apply to power-cut faults only");
    return;
  }
  if (!fault.target.disk) Fail("a power cut applies to a disk (disk=)");
  if (fault.error != 0 || fault.short_bytes || fault.count) Fail("a power cut takes no error=, short= or count=");
  if (!after == !after_ms) Fail("a power cut needs after= (writes) or after-ms=, one of them");
  if (after) fault.after_writes = ParseUnsigned(*after, "after");
  if (after_ms) fault.after_ms = ParseU32(*after_ms, "after-ms");
  if (keep && *keep != "last" && *keep != "none") Fail("keep= is last or none");
  fault.keep_last = keep && *keep == "last";
}

void ParseFault(const std::vector<Token>& tokens, FaultSpec& fault) {
  static const std::map<std::string, FaultOp> ops = {
      {"open", FaultOp::kOpen},         {"open-write", FaultOp::kOpenWrite},
      {"geometry", FaultOp::kGeometry},
      {"partition-info", FaultOp::kPartitionInfo}, {"descriptor", FaultOp::kDescriptor},
      {"extents", FaultOp::kExtents},   {"read", FaultOp::kRead},
      {"write", FaultOp::kWrite},       {"lock", FaultOp::kLock},
      {"unlock", FaultOp::kUnlock},     {"drop-write", FaultOp::kDropWrite},
      {"length", FaultOp::kLength},     {"sanitize", FaultOp::kSanitize},
      {"format", FaultOp::kFormat},     {"set-password", FaultOp::kSetPassword},
      {"erase-unit", FaultOp::kEraseUnit}, {"disable-password", FaultOp::kDisablePassword},
      {"power-cut", FaultOp::kPowerCut}};
  Pairs pairs(tokens, 1);
  fault.target = ParseTarget(pairs);
  auto op = pairs.Take("op");
  if (!op) Fail("fault needs op=");
  auto it = ops.find(*op);
  if (it == ops.end()) Fail("unknown fault op '" + *op + "'");
  fault.op = it->second;
  bool io = fault.op == FaultOp::kRead || fault.op == FaultOp::kWrite || fault.op == FaultOp::kDropWrite;
  if (auto v = pairs.Take("sector")) {
    if (!io) Fail("sector= applies to read, write and drop-write faults only");
    fault.sector = ParseUnsigned(*v, "sector");
  }
  auto error = pairs.Take("error");
  auto short_bytes = pairs.Take("short");
  if (error && short_bytes) Fail("give error= or short=, not both");
  if (error) {
    if (fault.op == FaultOp::kDropWrite) Fail("a drop-write fault reports success; it takes no error=");
    fault.error = ParseU32(*error, "error");
    if (fault.error == 0) Fail("error=0 is not a failure");
  }
  if (short_bytes) {
    if (fault.op != FaultOp::kRead && fault.op != FaultOp::kWrite) Fail("short= applies to read and write faults only");
    fault.short_bytes = ParseU32(*short_bytes, "short");
  }
  if (auto v = pairs.Take("count")) {
    fault.count = ParseU32(*v, "count");
    if (*fault.count == 0) Fail("count must be at least 1");
  }
  ParsePowerCut(pairs, fault);
  pairs.Finish();
  if (fault.op == FaultOp::kPowerCut) return;
  if (fault.error == 0) fault.error = DefaultFaultError(fault.op);
  if (fault.error == 0 && fault.op != FaultOp::kDropWrite && !fault.target.disk)
    Fail("firmware command faults apply to a disk (disk=)");
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// Splits "2026-12-08" at `separator` into exactly three numbers.
std::vector<int> ThreeNumbers(const std::string& text, char separator, const std::string& what) {
  std::vector<int> parts;
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    size_t end = i < 2 ? text.find(separator, start) : text.size();
    if (end == std::string::npos) Fail("bad " + what + " '" + text + "'");
    std::string part = text.substr(start, end - start);
    if (part.empty() || part.size() > 4) Fail("bad " + what + " '" + text + "'");
    parts.push_back(int(ParseUnsigned(part, what)));
    start = end + 1;
  }
  return parts;
}

platform::LocalTime ParseClock(const std::vector<Token>& tokens) {
  if (tokens.size() != 3 || tokens[1].has_value || tokens[2].has_value)
    Fail("clock needs a date and a time: clock 2026-12-08 09:30:00");
  std::vector<int> d = ThreeNumbers(tokens[1].key, '-', "date");
  std::vector<int> t = ThreeNumbers(tokens[2].key, ':', "time");
  if (d[0] < 1601 || d[0] > 9999 || d[1] < 1 || d[1] > 12 || d[2] < 1 || d[2] > DaysInMonth(d[0], d[1]))
    Fail("bad date '" + tokens[1].key + "'");
  if (t[0] > 23 || t[1] > 59 || t[2] > 59) Fail("bad time '" + tokens[2].key + "'");
  return {d[0], d[1], d[2], t[0], t[1], t[2]};
}

// A directive with one value: system-directory "C:\Windows\system32".
std::string SingleValue(const std::vector<Token>& tokens, const std::string& directive) {
  if (tokens.size() != 2 || (tokens[1].has_value && !tokens[1].key.empty()))
    Fail(directive + " takes one value");
  return tokens[1].has_value ? tokens[1].value : tokens[1].key;
}

// windows-version 10.0.19045: major, minor and build.
void ParseWindowsVersion(const std::string& text, platform::HostSystem& host) {
  const size_t first = text.find('.');
  const size_t second = first == std::string::npos ? first : text.find('.', first + 1);
  if (second == std::string::npos || text.find('.', second + 1) != std::string::npos)
    Fail("windows-version is major.minor.build, such as 10.0.19045, not '" + text + "'");
  host.windows = true;
  host.major = ParseU32(text.substr(0, first), "windows-version");
  host.minor = ParseU32(text.substr(first + 1, second - first - 1), "windows-version");
  host.build = ParseU32(text.substr(second + 1), "windows-version");
}

// trace opens reads writes controls: one or more of the four words.
void ParseTrace(const std::vector<Token>& tokens, TraceKinds& kinds) {
  if (tokens.size() < 2) Fail("trace needs what to trace: opens, reads, writes, controls or commands");
  for (size_t i = 1; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.has_value) Fail("trace takes words, not '" + t.key + "=" + t.value + "'");
    if (t.key == "opens") kinds.opens = true;
    else if (t.key == "reads") kinds.reads = true;
    else if (t.key == "writes") kinds.writes = true;
    else if (t.key == "controls") kinds.controls = true;
    else if (t.key == "commands") kinds.commands = true;
    else Fail("trace opens, reads, writes, controls or commands, not '" + t.key + "'");
  }
}

void ParseLine(const std::vector<Token>& tokens, int line, MachineDescription& d) {
  const Token& head = tokens[0];
  if (head.has_value) Fail("expected a directive, got '" + head.key + "=" + head.value + "'");
  const std::string& directive = head.key;
  if (directive == "system-directory") {
    d.system_directory = SingleValue(tokens, directive);
  } else if (directive == "identify-library") {
    std::string v = SingleValue(tokens, directive);
    if (v != "present" && v != "absent") Fail("identify-library is present or absent, not '" + v + "'");
    d.identify_library = v == "present";
  } else if (directive == "clock") {
    d.clock = ParseClock(tokens);
  } else if (directive == "windows-version") {
    ParseWindowsVersion(SingleValue(tokens, directive), d.host);
  } else if (directive == "windows-pe") {
    const std::string v = SingleValue(tokens, directive);
    if (v != "yes" && v != "no") Fail("windows-pe is yes or no, not '" + v + "'");
    d.host.windows = true;
    d.host.windows_pe = v == "yes";
  } else if (directive == "disk") {
    DiskSpec disk;
    disk.line = line;
    ParseDisk(tokens, disk);
    d.disks.push_back(std::move(disk));
  } else if (directive == "volume") {
    VolumeSpec volume;
    volume.line = line;
    volume.position = uint32_t(d.volumes.size() + 1);
    ParseVolume(tokens, volume);
    d.volumes.push_back(std::move(volume));
  } else if (directive == "record") {
    RecordSpec record;
    record.line = line;
    ParseRecord(tokens, record);
    d.records.push_back(record);
  } else if (directive == "trace") {
    ParseTrace(tokens, d.trace);
  } else if (directive == "volumes") {
    // "volumes unlisted": the system cannot list its volumes.
    if (SingleValue(tokens, directive) != "unlisted") Fail("volumes takes one word: unlisted");
    d.volumes_listed = false;
  } else if (directive == "fault") {
    FaultSpec fault;
    fault.line = line;
    ParseFault(tokens, fault);
    d.faults.push_back(fault);
  } else {
    Fail("unknown directive '" + directive + "'");
  }
}

// "C:" or "#3", for messages.
std::string VolumeName(const VolumeSpec& v) {
  return v.letter ? std::string(1, v.letter) + ":" : "#" + std::to_string(v.position);
}

bool HasDisk(const MachineDescription& d, uint32_t number) {
  for (const DiskSpec& disk : d.disks)
    if (disk.number == number) return true;
  return false;
}

std::string Located(int line, const std::string& message) {
  return "line " + std::to_string(line) + ": " + message;
}

// Names, references and the combinations that only the whole text can show.
std::optional<std::string> CheckReferences(const MachineDescription& d) {
  std::set<uint32_t> numbers;
  for (const DiskSpec& disk : d.disks)
    if (!numbers.insert(disk.number).second)
      return Located(disk.line, "disk " + std::to_string(disk.number) + " defined twice");
  std::set<char> letters;
  std::set<std::string> mounts;
  const VolumeSpec* boot = nullptr;
  for (const VolumeSpec& v : d.volumes) {
    if (v.letter && !letters.insert(v.letter).second)
      return Located(v.line, std::string("volume ") + v.letter + ": defined twice");
    if (v.disk && !HasDisk(d, *v.disk)) return Located(v.line, "unknown disk " + std::to_string(*v.disk));
    if (!v.mount.empty() && !mounts.insert(UpperAscii(v.mount)).second)
      return Located(v.line, "mount point " + v.mount + " given twice");
    if (v.boot && boot) return Located(v.line, "boot=yes given twice (line " + std::to_string(boot->line) + ")");
    if (v.boot) boot = &v;
  }
  auto check_target = [&](const Target& t, int line) -> std::optional<std::string> {
    if (t.disk && !HasDisk(d, *t.disk)) return Located(line, "unknown disk " + std::to_string(*t.disk));
    if (t.disk || TargetVolume(d, t)) return std::nullopt;
    if (t.letter) return Located(line, std::string("unknown volume ") + t.letter + ":");
    return Located(line, "unknown volume #" + std::to_string(t.position));
  };
  for (const RecordSpec& r : d.records) {
    if (auto e = check_target(r.target, r.line)) return e;
    if (!r.target.disk && !TargetVolume(d, r.target)->disk)
      return Located(r.line, "volume " + VolumeName(*TargetVolume(d, r.target)) + " has no disk to hold a record");
  }
  for (const FaultSpec& f : d.faults)
    if (auto e = check_target(f.target, f.line)) return e;
  return std::nullopt;
}

}  // namespace

const VolumeSpec* TargetVolume(const MachineDescription& d, const Target& target) {
  if (target.disk) return nullptr;
  if (target.position) return target.position <= d.volumes.size() ? &d.volumes[target.position - 1] : nullptr;
  for (const VolumeSpec& v : d.volumes)
    if (v.letter && v.letter == target.letter) return &v;
  return nullptr;
}

namespace {
constexpr char kGuidStem[] = "Volume{5eed0000-0000-0000-0000-";
}

std::string VolumeGuidPath(uint32_t position) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%012x", static_cast<unsigned>(position));
  return std::string("\\\\?\\") + kGuidStem + digits + "}";
}

uint32_t ParseVolumeGuidPath(std::string text, bool* trailing) {
  if (trailing) *trailing = false;
  if (text.size() > 4 && text.back() == '\\') {
    text.pop_back();
    if (trailing) *trailing = true;
  }
  const std::string stem = UpperAscii(kGuidStem);
  if (text.size() != 4 + stem.size() + 12 + 1) return 0;
  if (text.compare(0, 4, "\\\\?\\") != 0 && text.compare(0, 4, "\\\\.\\") != 0) return 0;
  if (UpperAscii(text.substr(4, stem.size())) != stem || text.back() != '}') return 0;
  uint64_t position = 0;
  for (char c : text.substr(4 + stem.size(), 12)) {
    int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                                                : -1;
    if (digit < 0) return 0;
    position = position * 16 + uint64_t(digit);
  }
  return position <= 0xFFFFFFFFu ? uint32_t(position) : 0;
}

uint32_t DefaultFaultError(FaultOp op) {
  switch (op) {
    case FaultOp::kOpen:
    case FaultOp::kOpenWrite: return winconst::kErrorAccessDenied;
    case FaultOp::kRead: return winconst::kErrorCrc;
    case FaultOp::kWrite: return winconst::kErrorWriteFault;
    case FaultOp::kLock: return winconst::kErrorAccessDenied;
    case FaultOp::kUnlock: return winconst::kErrorNotLocked;
    case FaultOp::kDropWrite: return 0;
    // 0: the drive itself answers with a failure.
    case FaultOp::kSanitize:
    case FaultOp::kFormat:
    case FaultOp::kSetPassword:
    case FaultOp::kEraseUnit:
    case FaultOp::kDisablePassword: return 0;
    default: return winconst::kErrorInvalidFunction;  // a control call the driver refuses
  }
}

std::optional<MachineDescription> ParseDescription(const std::string& text, std::string* error) {
  MachineDescription d;
  int line = 0;
  for (const std::string& text_line : SplitTextLines(text)) {
    ++line;
    try {
      std::vector<Token> tokens = Tokenize(text_line);
      if (!tokens.empty()) ParseLine(tokens, line, d);
    } catch (const LineError& e) {
      if (error) *error = Located(line, e.message);
      return std::nullopt;
    }
  }
  if (auto e = CheckReferences(d)) {
    if (error) *error = *e;
    return std::nullopt;
  }
  return d;
}

}  // namespace plexi::sim
