// What a drive's own purge commands can do: NVMe sanitize and format, ATA
// sanitize and security erase. The identify data is parsed here, the
// strongest usable command chosen, and the commands built as raw task files
// and admin commands, so that every backend only carries them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/firmware_codes.h"
#include "platform/platform.h"
#include "util/language.h"

namespace plexi {

// How the drive is attached, as far as its firmware commands go.
enum class Transport { kOther, kNvme, kAta, kUsbBridge };
// From the STORAGE_BUS_TYPE the drive's descriptor gives.
Transport TransportOfBus(uint32_t bus_type);

// The purge commands, strongest first.
enum class PurgeCommand {
  kNone,
  kNvmeSanitizeCrypto,
  kNvmeSanitizeBlock,
  kNvmeSanitizeOverwrite,
  kNvmeFormatCrypto,
  kNvmeFormatUserData,
  kAtaSanitizeCrypto,
  kAtaSanitizeBlock,
  kAtaSanitizeOverwrite,
  kAtaEnhancedSecureErase,
  kAtaSecureErase,
};

// Why no purge command can be used now.
enum class PurgeBlock {
  kNone,              // one can
  kNotSupported,      // the drive has none, or did not answer the identify command
  kFrozen,            // ATA security is frozen: suspend and resume, or re-plug the drive
  kFrozenReplug,      // ... where the system cannot suspend (Windows PE): re-plug it
  kUsbBridge,         // behind a USB bridge that does not pass the commands
  kPasswordSet,       // an ATA password is already set (or the drive is locked)
  kAttemptsExpired,   // the drive counted too many wrong passwords: power it off and on
  kOtherNamespaces,   // the command would also erase other namespaces of the controller
  kNeedsWindowsPe,    // this Windows carries the command only in Windows PE
  kNotOnThisWindows,  // this Windows does not carry it at all
  kNamespaceUnknown,  // the disk's namespace is not known for certain
};

// Identify Controller and Identify Namespace, as far as a purge needs them.
struct NvmeFacts {
  bool format_supported = false;        // OACS bit 1
  bool format_all_namespaces = false;   // FNA bit 0: a format always covers every namespace
  bool crypto_all_namespaces = false;   // FNA bit 1: so does a crypto erase
  bool format_crypto = false;           // FNA bit 2
  bool sanitize_crypto = false;         // SANICAP bits 0-2
  bool sanitize_block = false;
  bool sanitize_overwrite = false;
  // SANICAP bit 29: the drive cannot be asked not to deallocate after a
  // sanitize (No-Deallocate Inhibited).
  bool no_deallocate_inhibited = false;
  // SANICAP bits 31:30: 1 the media is left as the sanitize left it, 2 the
  // drive modifies it further when asked not to deallocate, 0 not told.
  uint8_t no_deallocate_modifies_media = 0;
  uint32_t namespace_limit = 0;         // NN
  // Namespaces attached now (identify CNS 2); none when unknown.
  std::optional<uint32_t> active_namespaces;
  uint32_t nsid = 0;  // the disk's namespace; 0 when not known for certain
  // Identify Namespace: the format in use, kept by a format command.
  bool namespace_answered = false;
  uint8_t lba_format = 0;               // FLBAS, both parts
  bool metadata_extended = false;       // FLBAS bit 4
  uint8_t protection = 0;               // DPS: type in bits 0-2, bit 3 first bytes
  uint8_t dealloc_read = 0;             // DLFEAT bits 0-2: 1 zeros, 2 0xFF, 0 not told
};

// IDENTIFY DEVICE, as far as a purge needs it.
struct AtaFacts {
  bool sanitize_supported = false;  // word 59 bit 12
  bool sanitize_crypto = false;     // bit 13
  bool sanitize_overwrite = false;  // bit 14
  bool sanitize_block = false;      // bit 15
  bool security_supported = false;  // word 128 bit 0 (word 82 bit 1)
  bool security_enabled = false;    // bit 1: a password is set
  bool security_locked = false;     // bit 2
  bool security_frozen = false;     // bit 3
  bool security_count_expired = false;  // bit 4
  bool enhanced_erase_supported = false;  // bit 5
  // Words 89 and 90: minutes the erase is said to take; 0 when not told.
  uint32_t erase_minutes = 0;
  uint32_t enhanced_erase_minutes = 0;
  bool trim_supported = false;       // word 169 bit 0
  bool trim_reads_zeros = false;     // word 69 bit 5
};

NvmeFacts ParseNvmeIdentify(const uint8_t* controller4096, const uint8_t* namespace4096);
// The number of namespace ids in an active namespace list (CNS 2).
uint32_t CountActiveNamespaces(const uint8_t* list4096);
AtaFacts ParseAtaIdentify(const uint8_t* identify512);

// What the drive offers and what would run.
struct PurgeCapability {
  Transport transport = Transport::kOther;
  std::optional<NvmeFacts> nvme;  // the drive answered the NVMe identify commands
  std::optional<AtaFacts> ata;    // ... or IDENTIFY DEVICE
  PurgeCommand command = PurgeCommand::kNone;  // the strongest usable now
  PurgeBlock block = PurgeBlock::kNotSupported;
  // The drive promises that its sectors read as zeros after the command, so
  // no zero pass is written after it (a verification still reads them).
  bool zeros_guaranteed = false;
  // The sanitize is sent with No-Deallocate After Sanitize: the blocks stay
  // mapped, so what a read-back reads afterwards is the media, not the
  // drive's answer for deallocated blocks.
  bool no_deallocate = false;
  // An identify command was refused for the handle's access, not by the
  // drive: what the drive supports is not known.
  bool identify_denied = false;
  // Commands the drive has that are not used here, stronger than the one
  // chosen, and why (the system does not carry them, ...).
  std::vector<std::pair<PurgeCommand, PurgeBlock>> withheld;
  // The user password an ATA security erase sets and clears.
  std::string ata_password;
  bool Usable() const { return command != PurgeCommand::kNone; }
};

// The choice, from what the drive said: sanitize crypto erase, block erase,
// overwrite; format with crypto erase, then user-data erase; for ATA the
// same sanitize order, then enhanced and normal security erase. Only what
// `host` carries is chosen; a format only with the namespace's own identify
// data.
PurgeCapability ChoosePurge(Transport transport, const std::optional<NvmeFacts>& nvme,
                            const std::optional<AtaFacts>& ata, const platform::HostSystem& host);

// Asks the drive (identify commands only, nothing that changes it). ATA
// pass-through wants a handle with read and write access on Windows.
PurgeCapability QueryPurgeCapability(platform::Device& device, uint32_t bus_type, const platform::HostSystem& host);

// Texts for the inspect output, the confirmation and the report.
std::string PurgeCommandName(PurgeCommand command, Language language = Language::kJapanese);
// A sanitize (NVMe or ATA), which covers every place the drive keeps user
// data; a format or a security erase is a weaker command.
bool IsSanitize(PurgeCommand command);
// "nvme_sanitize_crypto_erase", "nvme_format_user_data_erase", ...: the
// command and its technique, for the report.
std::string PurgeTechniqueCode(PurgeCommand command);
std::string PurgeBlockText(PurgeBlock block, Language language = Language::kJapanese);
// "NVMe フォーマット (ユーザーデータ消去): 可" and so on, one line per fact.
std::vector<std::string> PurgeCapabilityLines(const PurgeCapability& capability,
                                              Language language = Language::kJapanese);

// The raw commands (their codes: platform/firmware_codes.h).
namespace nvme {
platform::NvmeAdminCommand Identify(uint8_t cns, uint32_t nsid, uint8_t* reply4096);
platform::NvmeAdminCommand SanitizeStatusLog(uint8_t* reply512);
// `no_deallocate`: No-Deallocate After Sanitize (CDW10 bit 9).
platform::NvmeAdminCommand Sanitize(uint32_t action, bool no_deallocate = false);
platform::NvmeAdminCommand Format(uint32_t nsid, const NvmeFacts& facts, uint32_t ses);

// The sanitize status log (log page 81h): state 0 never sanitized, 1 done,
// 2 in progress, 3 failed, 4 done but the blocks deallocated although the
// command asked otherwise; progress of 65536.
struct SanitizeStatus {
  uint16_t progress = 0;
  uint8_t state = 0;
  uint8_t overwrite_passes = 0;     // SSTAT bits 7:3
  bool global_data_erased = false;  // SSTAT bit 8
  uint32_t command_dword10 = 0;     // SCDW10: the command that began it
  // Estimated seconds (FFFFFFFFh: none told): overwrite, block erase, crypto
  // erase, then the same when asked not to deallocate.
  uint32_t estimates[6] = {};
};
SanitizeStatus ParseSanitizeLog(const uint8_t* log512);
// The estimate the log gives for a sanitize sent with `command_dword10`;
// nothing when the drive gives none.
std::optional<uint32_t> EstimatedSeconds(const SanitizeStatus& status, uint32_t command_dword10,
                                         uint8_t no_deallocate_modifies_media);
}  // namespace nvme

namespace ata {
// The password the program sets for a security erase and clears after it.
// It is fixed and known, so that a drive left locked by a power loss during
// the erase can still be unlocked. Windows PE takes only its own.
inline constexpr char kTemporaryPassword[] = "Plexiscrub";
std::string TemporaryPassword(const platform::HostSystem& host);

platform::AtaCommand Identify(uint8_t* reply512);
platform::AtaCommand Sanitize(uint16_t feature);
// SET PASSWORD, ERASE UNIT and DISABLE PASSWORD with the user password
// `password` (at most 32 bytes, zero-padded) in `block512` (filled here).
platform::AtaCommand SetPassword(uint8_t* block512, const std::string& password);
platform::AtaCommand ErasePrepare();
platform::AtaCommand EraseUnit(uint8_t* block512, const std::string& password, bool enhanced,
                               uint32_t timeout_seconds);
platform::AtaCommand DisablePassword(uint8_t* block512, const std::string& password);

// SANITIZE STATUS EXT: the count field says done or under way, the LBA
// field the progress of 65536.
struct SanitizeStatus {
  bool completed = false;
  bool in_progress = false;
  uint16_t progress = 0;
};
SanitizeStatus ParseSanitizeStatus(const platform::AtaReply& reply);
}  // namespace ata

}  // namespace plexi
