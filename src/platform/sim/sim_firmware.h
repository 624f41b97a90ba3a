// The firmware of a simulated drive: it answers NVMe admin commands and ATA
// task files as its description says (identify data, sanitize status, the
// security state, the host protected area and the configuration overlay), refuses what it does not support as a drive does, and
// carries out a purge on the disk's contents. Every command it is sent is
// kept in its journal.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_description.h"

namespace plexi::sim {

struct DiskState;

class SimFirmware {
 public:
  // `writable`: the handle was opened for writing; the commands that change
  // the drive need it.
  platform::Result<platform::NvmeCompletion> Nvme(DiskState& disk, const platform::NvmeAdminCommand& command,
                                                  bool writable);
  platform::Result<platform::AtaReply> Ata(DiskState& disk, const platform::AtaCommand& command, bool writable);
  // A sanitize is under way: the drive refuses reads and writes meanwhile.
  bool Busy() const;
  // "nvme sanitize action=4", "ata security-erase-unit enhanced" ..., each
  // with " -> ok", " -> failed" or " -> refused" after it.
  std::vector<std::string> Journal() const;
  // The ATA password state now, for tests that check it was cleared.
  bool PasswordSet() const;

 private:
  struct Sanitize {
    bool running = false;
    bool failing = false;  // ends failed
    bool ever = false;
    bool last_ok = false;
    uint32_t steps_left = 0;
    uint32_t steps_total = 0;
    uint32_t cdw10 = 0;      // NVMe: the command that began it
    bool kept = false;       // NVMe: the blocks stay mapped afterwards
    bool deallocated_despite_request = false;
  };
  // What the disk reads after a sanitize has ended well.
  void SanitizeContents(DiskState& disk) const;

  platform::NvmeCompletion NvmeIdentify(const DiskState& disk, const platform::NvmeAdminCommand& c);
  platform::NvmeCompletion NvmeSanitizeLog(DiskState& disk, const platform::NvmeAdminCommand& c);
  platform::Result<platform::NvmeCompletion> NvmeSanitize(DiskState& disk, const platform::NvmeAdminCommand& c);
  platform::Result<platform::NvmeCompletion> NvmeFormat(DiskState& disk, const platform::NvmeAdminCommand& c);
  platform::AtaReply AtaIdentify(const DiskState& disk, const platform::AtaCommand& c) const;
  platform::Result<platform::AtaReply> AtaSanitize(DiskState& disk, const platform::AtaCommand& c);
  platform::Result<platform::AtaReply> AtaSecurity(DiskState& disk, const platform::AtaCommand& c);
  // READ NATIVE MAX ADDRESS EXT, SET MAX ADDRESS EXT and DEVICE
  // CONFIGURATION IDENTIFY; `after_native` says the command right before
  // was a READ NATIVE MAX ADDRESS EXT.
  platform::AtaReply AtaHiddenArea(DiskState& disk, const platform::AtaCommand& c, bool after_native);
  platform::AtaReply AtaSetMax(DiskState& disk, const platform::AtaCommand& c, bool after_native);
  platform::AtaReply AtaDcoIdentify(const DiskState& disk, const platform::AtaCommand& c);
  bool SecurityAccepted(const FirmwareSpec& f, const platform::AtaCommand& c, bool has_block) const;
  void ApplySecurity(DiskState& disk, const platform::AtaCommand& c);
  // One status poll: the sanitize moves on a step, and is carried out on
  // the disk at its last one.
  void Step(DiskState& disk);
  void Note(const std::string& line);

  mutable std::mutex mutex_;
  bool started_ = false;  // the description's state was taken over
  bool password_set_ = false;
  bool locked_ = false;
  bool prepared_ = false;  // SECURITY ERASE PREPARE came right before
  bool native_read_ = false;  // READ NATIVE MAX ADDRESS EXT came right before
  std::string password_;
  Sanitize sanitize_;
  std::vector<std::string> journal_;
};

// What a completed purge leaves on the disk: zeros where the drive promises
// them; otherwise bytes that are not zero, spread over the disk (the first
// and last sectors among them), for the zero pass to find.
void PurgeContents(DiskState& disk, bool zeros);

}  // namespace plexi::sim
