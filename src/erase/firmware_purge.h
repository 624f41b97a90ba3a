// Runs a drive's own purge command and waits for it to end: NVMe sanitize
// (progress from the sanitize status log) and format, ATA sanitize
// (progress from SANITIZE STATUS EXT) and security erase (a temporary
// password set first and always cleared afterwards, also when the erase
// fails). Nothing here can be cancelled: the drive carries the command out
// whatever the program does.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "drives/purge_capability.h"
#include "platform/platform.h"

namespace plexi {

// What the drive itself says of a purge that ended, for the report.
struct PurgeEvidence {
  // NVMe: the sanitize status log read when the sanitize had ended.
  std::optional<nvme::SanitizeStatus> sanitize_log;
  // ATA: SANITIZE STATUS EXT's count and LBA fields when it had ended.
  struct AtaStatus {
    uint16_t count = 0;
    uint64_t lba = 0;
  };
  std::optional<AtaStatus> ata_status;
  // The command asked the drive not to deallocate its blocks.
  bool no_deallocate_requested = false;
  // The blocks were left deallocated, so a read-back without a zero pass
  // reads the drive's answer for such blocks; nothing when not known.
  std::optional<bool> deallocated;
  // What the drive said the command would take; what it took (measured).
  std::optional<uint32_t> estimated_seconds;
  uint64_t duration_ms = 0;
};

// How the purge command went.
struct PurgeRun {
  // The command went to the drive (which may still have refused it).
  bool sent = false;
  // The drive accepted the command: its contents may be gone, whatever
  // follows.
  bool accepted = false;
  // The drive reported the command done without an error.
  bool completed = false;
  std::string error_text;  // why not, in the user's words
  uint32_t error_code = 0;  // the Windows code behind it; 0 when the drive said so
  // ATA: the temporary password is still set (the drive refused to clear it).
  bool password_left_set = false;
  // The drive took a sanitize but the system will not return its status
  // log: how far it got is not known, and the zero pass and a read-back
  // must tell what the drive holds (not a failure).
  bool progress_unknown = false;
  PurgeEvidence evidence;
};

// Where the purge reports what the drive says while it works.
class PurgeView {
 public:
  virtual ~PurgeView() = default;
  // The drive's progress, of 65536; nothing when the drive does not report any.
  virtual void SetPurgeProgress(std::optional<uint32_t> progress) = 0;
};

struct PurgePacing {
  // Between two status polls of a sanitize.
  int poll_ms = 1000;
  // Status polls that may fail in a row before the wait gives up.
  int failed_polls = 30;
};

// Sends the chosen command (cap.command) and waits for it. `sleep` waits
// between polls (tests pass one that returns at once).
PurgeRun RunFirmwarePurge(platform::Device& device, const PurgeCapability& cap, PurgeView& view,
                          const PurgePacing& pacing, const std::function<void(int ms)>& sleep);

// Whether the drive's sectors read as zeros after this purge without a
// zero pass: what the confirmation promised, unless the drive deallocated
// blocks it was asked to keep and does not say such blocks read as zeros.
bool PurgeLeavesZeros(const PurgeCapability& cap, const PurgeRun& run);

namespace purge_text {
inline constexpr char kRefused[] = "ドライブがファームウェア消去のコマンドを受け付けませんでした。ドライブのデータは消去されていません。";
inline constexpr char kFailed[] = "ドライブがファームウェア消去に失敗したと報告しました。";
// The command left but no answer came back (a time-out, a lost link): the
// drive may have erased or not.
inline constexpr char kNoReply[] =
    "ファームウェア消去のコマンドにドライブからの応答がありませんでした（時間切れか通信の失敗）。"
    "ドライブが消去を行ったかどうかは分かりません。";
inline constexpr char kNoStatus[] = "ファームウェア消去の状態をドライブから読み出せなくなりました。";
// The ATA password could not be cleared; the drive keeps it until it is.
std::string PasswordLeft(const std::string& password);
}  // namespace purge_text

}  // namespace plexi
