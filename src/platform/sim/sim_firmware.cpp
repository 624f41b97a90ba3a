#include "platform/sim/sim_firmware.h"

#include <algorithm>
#include <cstring>

#include "platform/firmware_codes.h"
#include "platform/firmware_routes.h"
#include "platform/sim/sim_state.h"
#include "platform/winconst.h"

namespace plexi::sim {
namespace {

using platform::AtaCommand;
using platform::AtaReply;
using platform::NvmeAdminCommand;
using platform::NvmeCompletion;
using platform::Result;

// NVMe generic status codes (status code type 0).
constexpr uint8_t kInvalidOpcode = 0x01;
constexpr uint8_t kInvalidField = 0x02;
constexpr uint8_t kInternalError = 0x06;
constexpr uint8_t kInvalidNamespace = 0x0B;
constexpr uint8_t kSanitizeInProgress = 0x1D;

constexpr uint8_t kStatusReady = 0x40;  // DRDY
constexpr uint8_t kStatusError = 0x41;  // DRDY | ERR
constexpr uint8_t kErrorAbort = 0x04;

NvmeCompletion Status(uint8_t code) { return NvmeCompletion{0, code, 0}; }
AtaReply AtaOk() { return AtaReply{kStatusReady, 0, 0, 0}; }
AtaReply AtaAbort() { return AtaReply{kStatusError, kErrorAbort, 0, 0}; }

void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, uint16_t(v));
  Put16(p + 2, uint16_t(v >> 16));
}
void Put64(uint8_t* p, uint64_t v) {
  Put32(p, uint32_t(v));
  Put32(p + 4, uint32_t(v >> 32));
}
// NVMe strings: ASCII, space-padded.
void PutText(uint8_t* p, size_t width, const std::string& text) {
  for (size_t i = 0; i < width; ++i) p[i] = uint8_t(i < text.size() ? text[i] : ' ');
}
// ATA strings: two characters to a word, the first in the high byte.
void PutAtaText(uint8_t* id, int first_word, int words, const std::string& text) {
  for (int i = 0; i < words * 2; ++i) id[first_word * 2 + (i ^ 1)] = uint8_t(i < int(text.size()) ? text[size_t(i)] : ' ');
}
// The 32 password bytes of words 1-16, in the order they are sent.
std::string AtaPassword(const uint8_t* block) { return std::string(reinterpret_cast<const char*>(block + 2), 32); }

enum class Kind { kNone, kNvme, kAta };

// How the disk's driver carries firmware commands.
Kind KindOf(const DiskSpec& d) {
  if (!d.firmware) return Kind::kNone;
  if (d.bus_type == winconst::kBusTypeNvme) return Kind::kNvme;
  if (d.bus_type == winconst::kBusTypeSata || d.bus_type == winconst::kBusTypeAta) return Kind::kAta;
  if (d.bus_type == winconst::kBusTypeUsb && d.firmware->bridge_passes) return Kind::kAta;
  return Kind::kNone;
}

uint8_t Log2(uint32_t v) {
  uint8_t n = 0;
  while (v > 1) {
    v >>= 1;
    ++n;
  }
  return n;
}

}  // namespace

void PurgeContents(DiskState& disk, bool zeros) {
  std::lock_guard lock(disk.mutex);
  const uint64_t bytes = disk.Bytes();
  const uint32_t ss = disk.desc.sector_size;
  // Best effort, as a drive's purge of a write-protected image would be.
  static_cast<void>(disk.store->Clear(bytes));
  if (disk.power_cut) disk.power_cut->Commit();
  if (zeros || disk.Sectors() == 0) return;
  std::vector<uint8_t> garbage(ss);
  uint32_t state = 0x2545F491u;
  for (uint8_t& b : garbage) {
    state = state * 1664525u + 1013904223u;
    b = uint8_t(state >> 24 | 1);  // never zero
  }
  const uint64_t sectors = disk.Sectors();
  const uint64_t spots = std::min<uint64_t>(sectors, 64);
  for (uint64_t i = 0; i < spots; ++i) {
    const uint64_t sector = spots == 1 ? 0 : i * (sectors - 1) / (spots - 1);
    static_cast<void>(disk.store->Write(sector * ss, garbage.data(), ss));
  }
}

void SimFirmware::Note(const std::string& line) { journal_.push_back(line); }

std::vector<std::string> SimFirmware::Journal() const {
  std::lock_guard lock(mutex_);
  return journal_;
}

bool SimFirmware::Busy() const {
  std::lock_guard lock(mutex_);
  return sanitize_.running;
}

bool SimFirmware::PasswordSet() const {
  std::lock_guard lock(mutex_);
  return password_set_;
}

Result<NvmeCompletion> SimFirmware::Nvme(DiskState& disk, const NvmeAdminCommand& c, bool writable) {
  if (KindOf(disk.desc) != Kind::kNvme) return Result<NvmeCompletion>::Failure(winconst::kErrorNotSupported);
  std::lock_guard lock(mutex_);
  // What the modelled Windows does not carry never reaches the drive.
  if (platform::RouteOfNvme(disk.host, c) == platform::NvmeRoute::kNone) {
    Note("nvme opcode=" + std::to_string(c.opcode) + " cdw10=" + std::to_string(c.cdw10) + " -> not carried");
    return Result<NvmeCompletion>::Failure(winconst::kErrorNotSupported);
  }
  switch (c.opcode) {
    case 0x06: return NvmeIdentify(disk, c);
    case 0x02: return NvmeSanitizeLog(disk, c);
    case 0x84:
    case 0x80: {
      if (!writable) return Result<NvmeCompletion>::Failure(winconst::kErrorAccessDenied);
      Result<NvmeCompletion> r = c.opcode == 0x84 ? NvmeSanitize(disk, c) : NvmeFormat(disk, c);
      Note(std::string(c.opcode == 0x84 ? "nvme sanitize action=" + std::to_string(c.cdw10 & 7) +
                                              ((c.cdw10 & (1u << 9)) ? " no-deallocate" : "")
                                        : "nvme format ses=" + std::to_string(c.cdw10 >> 9 & 7)) +
           (!r.ok() ? " -> refused" : r->Succeeded() ? " -> ok" : " -> failed"));
      return r;
    }
    default:
      Note("nvme opcode=" + std::to_string(c.opcode) + " -> failed");
      return Status(kInvalidOpcode);
  }
}

NvmeCompletion SimFirmware::NvmeIdentify(const DiskState& disk, const NvmeAdminCommand& c) {
  const FirmwareSpec& f = *disk.desc.firmware;
  const uint32_t cns = c.cdw10 & 0xFF;
  Note("nvme identify cns=" + std::to_string(cns));
  if (!c.data || c.data_length < 4096) return Status(kInvalidField);
  uint8_t* d = c.data;
  std::memset(d, 0, 4096);
  if (cns == 1) {
    PutText(d + 4, 20, disk.desc.serial);
    PutText(d + 24, 40, disk.desc.product);
    PutText(d + 64, 8, disk.desc.revision);
    Put16(d + 256, f.format_user_data ? 0x0002 : 0);
    // SANICAP: the modes; NDI where the drive cannot be asked to keep its
    // blocks; NODMMAS 01b (media left as the sanitize left it) where it
    // keeps them when asked.
    const bool inhibited = f.no_deallocate == FirmwareSpec::NoDeallocate::kInhibited;
    const bool honoured = f.no_deallocate == FirmwareSpec::NoDeallocate::kHonoured;
    Put32(d + 328, uint32_t(f.sanitize_crypto) | uint32_t(f.sanitize_block) << 1 | uint32_t(f.sanitize_overwrite) << 2 |
                       uint32_t(inhibited) << 29 | uint32_t(honoured) << 30);
    Put32(d + 516, f.namespaces);
    d[524] = uint8_t(uint8_t(f.format_all_namespaces) | uint8_t(f.format_crypto) << 2);
    return Status(0);
  }
  if (cns == 0) {
    if (c.nsid == 0 || c.nsid > f.namespaces) return Status(kInvalidNamespace);
    Put64(d + 0, disk.Sectors());
    Put64(d + 8, disk.Sectors());
    Put64(d + 16, disk.Sectors());
    d[33] = f.dealloc_read;
    d[128 + 2] = Log2(disk.desc.sector_size);  // LBA format 0: the data size
    return Status(0);
  }
  if (cns == 2) {
    for (uint32_t n = 1; n <= f.namespaces; ++n) Put32(d + 4 * (n - 1), n);
    return Status(0);
  }
  return Status(kInvalidField);
}

NvmeCompletion SimFirmware::NvmeSanitizeLog(DiskState& disk, const NvmeAdminCommand& c) {
  if ((c.cdw10 & 0xFF) != 0x81 || !c.data || c.data_length < 512) return Status(kInvalidField);
  Step(disk);
  std::memset(c.data, 0, c.data_length);
  uint16_t progress = 0xFFFF;
  uint16_t state = 0;
  if (sanitize_.running) {
    state = 2;
    progress = uint16_t(uint64_t(sanitize_.steps_total - sanitize_.steps_left) * 65536 / (sanitize_.steps_total + 1));
  } else if (sanitize_.ever) {
    state = !sanitize_.last_ok ? 3 : sanitize_.deallocated_despite_request ? 4 : 1;
    if (sanitize_.last_ok) state |= 1u << 8;  // Global Data Erased: nothing written since
  }
  Put16(c.data, progress);
  Put16(c.data + 2, state);
  Put32(c.data + 4, sanitize_.cdw10);
  const FirmwareSpec& f = *disk.desc.firmware;
  for (int k = 0; k < 6; ++k) Put32(c.data + 8 + 4 * k, f.sanitize_estimate.value_or(0xFFFFFFFF));
  return Status(0);
}

void SimFirmware::Step(DiskState& disk) {
  if (!sanitize_.running) return;
  if (sanitize_.steps_left > 0) --sanitize_.steps_left;
  if (sanitize_.steps_left > 0) return;
  sanitize_.running = false;
  sanitize_.last_ok = !sanitize_.failing;
  if (sanitize_.last_ok) SanitizeContents(disk);
}

// Deallocated blocks read as DLFEAT says. Blocks kept mapped read as the
// media: the zero pattern of an overwrite, or what a block erase or a crypto
// erase leaves (erased cells, ciphertext under a new key), which is not
// zeros.
void SimFirmware::SanitizeContents(DiskState& disk) const {
  const bool nvme = KindOf(disk.desc) == Kind::kNvme;
  if (nvme && sanitize_.kept) {
    PurgeContents(disk, (sanitize_.cdw10 & 7) == 3);
    return;
  }
  PurgeContents(disk, nvme && disk.desc.firmware->dealloc_read == 1);
}

Result<NvmeCompletion> SimFirmware::NvmeSanitize(DiskState& disk, const NvmeAdminCommand& c) {
  const FirmwareSpec& f = *disk.desc.firmware;
  if (sanitize_.running) return Status(kSanitizeInProgress);
  const uint32_t action = c.cdw10 & 7;
  const bool supported = (action == 4 && f.sanitize_crypto) || (action == 2 && f.sanitize_block) ||
                         (action == 3 && f.sanitize_overwrite);
  // No-Deallocate Inhibited without the response mode: the request is refused.
  const bool no_deallocate = (c.cdw10 & (1u << 9)) != 0;
  if (!supported || (no_deallocate && f.no_deallocate == FirmwareSpec::NoDeallocate::kInhibited))
    return Status(kInvalidField);
  bool failing = false;
  if (auto fault = disk.faults.Fire({FaultOp::kSanitize})) {
    if (fault->error) return Result<NvmeCompletion>::Failure(fault->error);
    failing = true;
  }
  sanitize_ = Sanitize{};
  sanitize_.running = sanitize_.ever = true;
  sanitize_.failing = failing;
  sanitize_.steps_left = sanitize_.steps_total = f.sanitize_steps;
  sanitize_.cdw10 = c.cdw10;
  sanitize_.kept = no_deallocate && f.no_deallocate == FirmwareSpec::NoDeallocate::kHonoured;
  sanitize_.deallocated_despite_request = no_deallocate && !sanitize_.kept;
  if (f.sanitize_steps == 0) {
    sanitize_.steps_left = 1;
    Step(disk);
  }
  return Status(0);
}

Result<NvmeCompletion> SimFirmware::NvmeFormat(DiskState& disk, const NvmeAdminCommand& c) {
  const FirmwareSpec& f = *disk.desc.firmware;
  if (sanitize_.running) return Status(kSanitizeInProgress);
  if (!f.format_user_data) return Status(kInvalidOpcode);
  const uint32_t ses = c.cdw10 >> 9 & 7;
  if ((ses == 2 && !f.format_crypto) || ses > 2 || (c.cdw10 & 0x0F) != 0) return Status(kInvalidField);
  if (c.nsid != 0xFFFFFFFF && (c.nsid == 0 || c.nsid > f.namespaces)) return Status(kInvalidNamespace);
  if (auto fault = disk.faults.Fire({FaultOp::kFormat})) {
    if (fault->error) return Result<NvmeCompletion>::Failure(fault->error);
    return Status(kInternalError);
  }
  if (ses != 0) PurgeContents(disk, f.dealloc_read == 1);
  return Status(0);
}

Result<AtaReply> SimFirmware::Ata(DiskState& disk, const AtaCommand& c, bool writable) {
  if (KindOf(disk.desc) != Kind::kAta) return Result<AtaReply>::Failure(winconst::kErrorNotSupported);
  std::lock_guard lock(mutex_);
  if (!started_) {
    started_ = true;
    // A drive with a password set comes up locked.
    password_set_ = locked_ = disk.desc.firmware->password_set;
  }
  // ATA pass-through takes a handle with read and write access, identify
  // included ("IOCTL_ATA_PASS_THROUGH",
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddscsi/ni-ntddscsi-ioctl_ata_pass_through).
  if (!writable) return Result<AtaReply>::Failure(winconst::kErrorAccessDenied);
  // Windows PE lets SET PASSWORD set its own user password only.
  const bool foreign_password = disk.host.windows && c.command == 0xF1 && c.data != nullptr &&
                                AtaPassword(c.data) != std::string(platform::kWindowsPePassword).append(1, '\0');
  if (!platform::AtaCommandCarried(disk.host, c) || foreign_password) {
    Note("ata command=" + std::to_string(c.command) + " -> not carried");
    return Result<AtaReply>::Failure(winconst::kErrorNotSupported);
  }
  const bool after_prepare = prepared_;
  prepared_ = false;
  const bool after_native = native_read_;
  native_read_ = false;
  if (c.command == ata::kCmdReadNativeMaxExt || c.command == ata::kCmdSetMaxAddressExt ||
      c.command == ata::kCmdDeviceConfiguration)
    return AtaHiddenArea(disk, c, after_native);
  if (c.command == 0xEC) {
    Note("ata identify");
    return AtaIdentify(disk, c);
  }
  if (c.command == 0xB4) return AtaSanitize(disk, c);
  prepared_ = after_prepare;
  Result<AtaReply> r = AtaSecurity(disk, c);
  return r;
}

AtaReply SimFirmware::AtaIdentify(const DiskState& disk, const AtaCommand& c) const {
  if (!c.data || c.data_length < 512 || c.direction != AtaCommand::Data::kIn) return AtaAbort();
  const FirmwareSpec& f = *disk.desc.firmware;
  uint8_t* id = c.data;
  std::memset(id, 0, 512);
  auto word = [id](int n, uint16_t v) { Put16(id + 2 * n, v); };
  word(0, 0x0040);
  PutAtaText(id, 10, 10, disk.desc.serial);
  PutAtaText(id, 23, 4, disk.desc.revision);
  PutAtaText(id, 27, 20, disk.desc.product);
  // The capacity words say what the host can address now.
  const uint64_t sectors = disk.Sectors();
  const uint32_t lba28 = uint32_t(std::min<uint64_t>(sectors, 0x0FFFFFFF));
  word(60, uint16_t(lba28));
  word(61, uint16_t(lba28 >> 16));
  for (int i = 0; i < 4; ++i) word(100 + i, uint16_t(sectors >> (16 * i)));
  const bool sanitize = f.sanitize_crypto || f.sanitize_block || f.sanitize_overwrite;
  word(59, uint16_t(uint16_t(sanitize) << 12 | uint16_t(f.sanitize_crypto) << 13 |
                    uint16_t(f.sanitize_overwrite) << 14 | uint16_t(f.sanitize_block) << 15));
  const bool security = f.security != FirmwareSpec::Security::kNone;
  // Word 82 bit 10: the host protected area feature set (supported, and
  // enabled in word 85); word 83 bit 11: the configuration overlay.
  word(82, uint16_t(uint16_t(security) << 1 | 1u << 10));
  word(83, uint16_t(1u << 10 | uint16_t(f.dco_supported) << 11 | 1u << 14));  // 48-bit addressing; the word is valid
  word(85, uint16_t(uint16_t(password_set_) << 1 | 1u << 10));
  word(86, uint16_t(1u << 10 | uint16_t(f.dco_supported) << 11));
  // A logical sector other than 512 bytes: its size in words.
  if (disk.desc.sector_size != 512) {
    word(106, uint16_t(1u << 14 | 1u << 12));
    word(117, uint16_t(disk.desc.sector_size / 2));
    word(118, uint16_t(disk.desc.sector_size / 2 >> 16));
  }
  if (security) {
    const uint16_t minutes = uint16_t(std::min<uint32_t>(f.erase_minutes / 2, 0xFF));
    word(89, minutes);
    word(90, minutes);
    word(128, uint16_t(1u | uint16_t(password_set_) << 1 | uint16_t(locked_) << 2 | uint16_t(f.frozen) << 3 |
                       uint16_t(f.count_expired) << 4 |
                       uint16_t(f.security == FirmwareSpec::Security::kEnhanced) << 5));
  }
  return AtaOk();
}

AtaReply SimFirmware::AtaHiddenArea(DiskState& disk, const AtaCommand& c, bool after_native) {
  if (c.command == ata::kCmdSetMaxAddressExt) return AtaSetMax(disk, c, after_native);
  if (c.command == ata::kCmdDeviceConfiguration) return AtaDcoIdentify(disk, c);
  // The native maximum is the last address below the overlay's limit,
  // whatever SET MAX ADDRESS has set since.
  Note("ata read-native-max -> ok");
  native_read_ = true;
  AtaReply reply = AtaOk();
  reply.lba = disk.NativeSectors() - 1;
  return reply;
}

// A SET MAX ADDRESS EXT takes effect only right after a READ NATIVE MAX
// ADDRESS EXT, never after SET MAX FREEZE LOCK or during a sanitize; an
// address past the native maximum is not found (IDNF). This drive keeps
// volatile settings only: a power cycle would bring the old size back.
AtaReply SimFirmware::AtaSetMax(DiskState& disk, const AtaCommand& c, bool after_native) {
  const FirmwareSpec& f = *disk.desc.firmware;
  const bool keep = (c.count & ata::kSetMaxNonVolatile) != 0;
  const std::string line = "ata set-max lba=" + std::to_string(c.lba) + (keep ? " non-volatile" : " volatile");
  if (!after_native || f.hpa_frozen || keep || sanitize_.running) {
    Note(line + " -> failed");
    return AtaAbort();
  }
  if (c.lba >= disk.NativeSectors()) {
    Note(line + " -> failed");
    return AtaReply{kStatusError, ata::kErrorIdNotFound, 0, 0};
  }
  disk.visible_sectors = c.lba + 1;
  Note(line + " -> ok");
  return AtaOk();
}

// DEVICE CONFIGURATION IDENTIFY: the overlay's 512 bytes, the medium's
// real maximum LBA in words 3-6 and the integrity word last.
AtaReply SimFirmware::AtaDcoIdentify(const DiskState& disk, const AtaCommand& c) {
  const FirmwareSpec& f = *disk.desc.firmware;
  const bool ok = f.dco_supported && c.feature == ata::kDcoIdentify && c.data && c.data_length >= 512 &&
                  c.direction == AtaCommand::Data::kIn;
  Note(std::string("ata dco-identify") + (ok ? " -> ok" : " -> failed"));
  if (!ok) return AtaAbort();
  uint8_t* d = c.data;
  std::memset(d, 0, 512);
  Put16(d, 0x0002);                      // data structure revision
  Put16(d + 2, 0x0007);                  // multiword DMA modes
  Put16(d + 4, 0x007F);                  // Ultra DMA modes
  Put64(d + 6, disk.MediumSectors() - 1);
  Put16(d + 14, uint16_t(1u << 7 | 1u << 8));  // host protected area, 48-bit addressing
  d[510] = ata::kDcoSignature;
  uint8_t sum = 0;
  for (int i = 0; i < 511; ++i) sum = uint8_t(sum + d[i]);
  d[511] = uint8_t(-sum);  // all 512 bytes sum to zero
  return AtaOk();
}

Result<AtaReply> SimFirmware::AtaSanitize(DiskState& disk, const AtaCommand& c) {
  const FirmwareSpec& f = *disk.desc.firmware;
  if (c.feature == 0x0000) {
    Step(disk);
    AtaReply reply = AtaOk();
    if (sanitize_.running) {
      reply.count = 1u << 14;
      reply.lba = uint64_t(sanitize_.steps_total - sanitize_.steps_left) * 65536 / (sanitize_.steps_total + 1);
    } else if (sanitize_.ever && sanitize_.last_ok) {
      reply.count = 1u << 15;
    } else if (sanitize_.ever) {
      reply = AtaAbort();
    }
    return reply;
  }
  const bool supported = (c.feature == 0x0011 && f.sanitize_crypto && c.lba == 0x43727970) ||
                         (c.feature == 0x0012 && f.sanitize_block && c.lba == 0x426B4572) ||
                         (c.feature == 0x0014 && f.sanitize_overwrite && (c.lba >> 32) == 0x4F57);
  std::string line = "ata sanitize feature=" + std::to_string(c.feature);
  if (!supported || sanitize_.running) {
    Note(line + " -> failed");
    return AtaAbort();
  }
  bool failing = false;
  if (auto fault = disk.faults.Fire({FaultOp::kSanitize})) {
    if (fault->error) {
      Note(line + " -> refused");
      return Result<AtaReply>::Failure(fault->error);
    }
    failing = true;
  }
  Note(line + " -> ok");
  sanitize_ = Sanitize{};
  sanitize_.running = sanitize_.ever = true;
  sanitize_.failing = failing;
  sanitize_.steps_left = sanitize_.steps_total = std::max<uint32_t>(f.sanitize_steps, 1);
  return AtaOk();
}

Result<AtaReply> SimFirmware::AtaSecurity(DiskState& disk, const AtaCommand& c) {
  const FirmwareSpec& f = *disk.desc.firmware;
  const bool has_block = c.data && c.data_length >= 512 && c.direction == AtaCommand::Data::kOut;
  std::string name;
  FaultOp op = FaultOp::kSetPassword;
  switch (c.command) {
    case 0xF1: name = "security-set-password"; break;
    case 0xF3: name = "security-erase-prepare"; break;
    case 0xF4: name = "security-erase-unit"; op = FaultOp::kEraseUnit; break;
    case 0xF6: name = "security-disable-password"; op = FaultOp::kDisablePassword; break;
    default:
      prepared_ = false;
      Note("ata command=" + std::to_string(c.command) + " -> failed");
      return AtaAbort();
  }
  if (c.command == 0xF4 && has_block && (c.data[0] & 2)) name += " enhanced";
  bool ok = SecurityAccepted(f, c, has_block);
  prepared_ = false;
  if (ok && c.command != 0xF3) {
    if (auto fault = disk.faults.Fire({op})) {
      if (fault->error) {
        Note("ata " + name + " -> refused");
        return Result<AtaReply>::Failure(fault->error);
      }
      ok = false;
    }
  }
  Note("ata " + name + (ok ? " -> ok" : " -> failed"));
  if (!ok) return AtaAbort();
  ApplySecurity(disk, c);
  return AtaOk();
}

// Whether the drive, in its security state, takes a security command.
bool SimFirmware::SecurityAccepted(const FirmwareSpec& f, const AtaCommand& c, bool has_block) const {
  const bool usable = f.security != FirmwareSpec::Security::kNone && !f.frozen && !f.count_expired &&
                      !sanitize_.running;
  if (!usable || (c.command != 0xF3 && !has_block)) return false;
  switch (c.command) {
    case 0xF1: return !password_set_;
    case 0xF4:
      return prepared_ && password_set_ && AtaPassword(c.data) == password_ &&
             (!(c.data[0] & 2) || f.security == FirmwareSpec::Security::kEnhanced);
    case 0xF6: return password_set_ && !locked_ && AtaPassword(c.data) == password_;
    default: return true;  // 0xF3, the prepare
  }
}

void SimFirmware::ApplySecurity(DiskState& disk, const AtaCommand& c) {
  switch (c.command) {
    case 0xF1:
      password_set_ = true;
      password_ = AtaPassword(c.data);
      break;
    case 0xF3: prepared_ = true; break;
    case 0xF4:
      PurgeContents(disk, false);
      password_set_ = locked_ = false;
      password_.clear();
      break;
    case 0xF6:
      password_set_ = false;
      password_.clear();
      break;
  }
}

}  // namespace plexi::sim
