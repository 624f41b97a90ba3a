#include "erase/firmware_purge.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/winconst.h"

namespace plexi {
namespace {

// A format can take long on a large drive; the driver waits this long.
constexpr uint32_t kFormatTimeoutMs = 4u * 3600 * 1000;
// A security erase without an estimate: half a day.
constexpr uint32_t kEraseUnitDefaultSeconds = 12u * 3600;

PurgeRun Refused(uint32_t code) {
  PurgeRun run;
  run.error_text = purge_text::kRefused;
  run.error_code = code;
  return run;
}

PurgeRun FailedAfterAccepting(const char* text, uint32_t code = 0) {
  PurgeRun run;
  run.accepted = true;
  run.error_text = text;
  run.error_code = code;
  return run;
}

bool RefusedField(const platform::NvmeCompletion& c) {
  return c.status_type == 0 && c.status_code == nvme::kInvalidField;
}

PurgeRun Done() {
  PurgeRun run;
  run.accepted = run.completed = true;
  return run;
}

class Purger {
 public:
  Purger(platform::Device& device, const PurgeCapability& cap, PurgeView& view, const PurgePacing& pacing,
         const std::function<void(int)>& sleep)
      : device_(device),
        cap_(cap),
        password_(cap.ata_password.empty() ? ata::kTemporaryPassword : cap.ata_password),
        view_(view),
        pacing_(pacing),
        sleep_(sleep),
        no_deallocate_(cap.no_deallocate) {}

  PurgeRun Run() {
    const auto began = std::chrono::steady_clock::now();
    PurgeRun run = RunCommand();
    run.evidence.duration_ms = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - began)
                                            .count());
    return run;
  }

 private:
  PurgeRun RunCommand() {
    switch (cap_.command) {
      case PurgeCommand::kNvmeSanitizeCrypto: return NvmeSanitize(nvme::kSanitizeCryptoErase);
      case PurgeCommand::kNvmeSanitizeBlock: return NvmeSanitize(nvme::kSanitizeBlockErase);
      case PurgeCommand::kNvmeSanitizeOverwrite: return NvmeSanitize(nvme::kSanitizeOverwrite);
      case PurgeCommand::kNvmeFormatCrypto: return NvmeFormat(nvme::kSesCrypto);
      case PurgeCommand::kNvmeFormatUserData: return NvmeFormat(nvme::kSesUserData);
      case PurgeCommand::kAtaSanitizeCrypto: return AtaSanitize(ata::kSanitizeCrypto);
      case PurgeCommand::kAtaSanitizeBlock: return AtaSanitize(ata::kSanitizeBlock);
      case PurgeCommand::kAtaSanitizeOverwrite: return AtaSanitize(ata::kSanitizeOverwrite);
      case PurgeCommand::kAtaEnhancedSecureErase: return SecurityErase(true);
      case PurgeCommand::kAtaSecureErase: return SecurityErase(false);
      case PurgeCommand::kNone: break;
    }
    return Refused(winconst::kErrorNotSupported);
  }

  std::optional<std::vector<uint8_t>> ReadSanitizeLog(uint32_t* error) {
    std::vector<uint8_t> log(nvme::kSanitizeLogBytes);
    platform::Result<platform::NvmeCompletion> r = device_.NvmeAdmin(nvme::SanitizeStatusLog(log.data()));
    if (error) *error = r.ok() ? 0 : r.error();
    if (!r.ok() || !r->Succeeded()) return std::nullopt;
    return log;
  }

  // A drive that takes no request not to deallocate refuses the command
  // without starting it: the sanitize is then sent as the drive takes it.
  platform::Result<platform::NvmeCompletion> SendSanitize(uint32_t action, platform::NvmeAdminCommand& command) {
    command = nvme::Sanitize(action, no_deallocate_);
    platform::Result<platform::NvmeCompletion> sent = device_.NvmeAdmin(command);
    if (!sent.ok() || !RefusedField(*sent) || !no_deallocate_) return sent;
    no_deallocate_ = false;
    command = nvme::Sanitize(action, false);
    return device_.NvmeAdmin(command);
  }

  // The sanitize is done only when the log shows it ended after this
  // request: it was seen under way, or the log is no longer the one read
  // before (a log that said "done" before may tell of an earlier sanitize).
  PurgeRun NvmeSanitize(uint32_t action) {
    const std::optional<std::vector<uint8_t>> before = ReadSanitizeLog(nullptr);
    platform::NvmeAdminCommand command;
    platform::Result<platform::NvmeCompletion> sent = SendSanitize(action, command);
    if (!sent.ok()) return Refused(sent.error());
    if (!sent->Succeeded()) return Refused(0);
    view_.SetPurgeProgress(0);
    bool answered = false, seen_running = false;
    int failed_polls = 0, idle_polls = 0;
    for (;;) {
      sleep_(pacing_.poll_ms);
      uint32_t error = 0;
      const std::optional<std::vector<uint8_t>> log = ReadSanitizeLog(&error);
      if (!log) {
        // The system never returns the log: go on without it.
        if (!answered && error != 0) return ProgressUnknown();
        if (++failed_polls >= pacing_.failed_polls) return FailedAfterAccepting(purge_text::kNoStatus, error);
        continue;
      }
      answered = true;
      failed_polls = 0;
      const nvme::SanitizeStatus status = nvme::ParseSanitizeLog(log->data());
      const bool fresh = seen_running || !before || *before != *log;
      if (status.state == 2) {
        seen_running = true;
        view_.SetPurgeProgress(status.progress);
      } else if ((status.state == nvme::kSanitizeStateDone || status.state == nvme::kSanitizeStateDoneDeallocated) &&
                 fresh) {
        view_.SetPurgeProgress(65536);
        return SanitizeDone(status, command.cdw10);
      } else if (status.state == 3 && fresh) {
        return FailedAfterAccepting(purge_text::kFailed);
      } else if (++idle_polls >= pacing_.failed_polls) {
        // Not begun, for a while: the drive has not taken the command after all.
        return FailedAfterAccepting(purge_text::kNoStatus);
      }
    }
  }

  // The log is the drive's own account: kept whole for the report. State 1
  // after a request not to deallocate means the blocks stayed mapped.
  PurgeRun SanitizeDone(const nvme::SanitizeStatus& status, uint32_t cdw10) {
    PurgeRun run = Done();
    run.evidence.sanitize_log = status;
    run.evidence.no_deallocate_requested = no_deallocate_;
    run.evidence.deallocated = !no_deallocate_ || status.state == nvme::kSanitizeStateDoneDeallocated;
    run.evidence.estimated_seconds =
        nvme::EstimatedSeconds(status, cdw10, cap_.nvme ? cap_.nvme->no_deallocate_modifies_media : 0);
    return run;
  }

  PurgeRun ProgressUnknown() {
    view_.SetPurgeProgress(std::nullopt);
    PurgeRun run;
    run.accepted = run.progress_unknown = true;
    return run;
  }

  PurgeRun NvmeFormat(uint32_t ses) {
    const NvmeFacts& facts = *cap_.nvme;
    // A format that covers every namespace is sent to all of them, as the
    // controller requires; the choice allowed it only with one attached.
    const uint32_t nsid = facts.format_all_namespaces ? 0xFFFFFFFF : facts.nsid;
    platform::NvmeAdminCommand command = nvme::Format(nsid, facts, ses);
    command.timeout_ms = kFormatTimeoutMs;
    view_.SetPurgeProgress(std::nullopt);
    platform::Result<platform::NvmeCompletion> r = device_.NvmeAdmin(command);
    if (!r.ok()) {
      // A timeout leaves the drive formatting, or not: unknown either way.
      if (r.error() == winconst::kErrorNotSupported || r.error() == winconst::kErrorAccessDenied)
        return Refused(r.error());
      return FailedAfterAccepting(purge_text::kNoReply, r.error());
    }
    if (!r->Succeeded()) {
      const bool rejected = r->status_type == 0 &&
                            (r->status_code == nvme::kInvalidOpcode || r->status_code == nvme::kInvalidField);
      return rejected ? Refused(0) : FailedAfterAccepting(purge_text::kFailed);
    }
    // A format has no way to keep the blocks mapped.
    PurgeRun run = Done();
    run.evidence.deallocated = true;
    return run;
  }

  PurgeRun AtaSanitize(uint16_t feature) {
    platform::Result<platform::AtaReply> sent = device_.AtaPassThrough(ata::Sanitize(feature));
    if (!sent.ok()) return Refused(sent.error());
    if (sent->Failed()) return Refused(0);
    view_.SetPurgeProgress(0);
    int failed_polls = 0;
    for (;;) {
      sleep_(pacing_.poll_ms);
      platform::Result<platform::AtaReply> r = device_.AtaPassThrough(ata::Sanitize(ata::kSanitizeStatus));
      if (!r.ok()) {
        if (++failed_polls >= pacing_.failed_polls) return FailedAfterAccepting(purge_text::kNoStatus, r.error());
        continue;
      }
      failed_polls = 0;
      const ata::SanitizeStatus status = ata::ParseSanitizeStatus(*r);
      if (status.in_progress) {
        view_.SetPurgeProgress(status.progress);
        continue;
      }
      if (status.completed && !r->Failed()) {
        view_.SetPurgeProgress(65536);
        // The ATA sanitize has no request not to deallocate: whether the
        // blocks are left mapped is the drive's own choice.
        PurgeRun run = Done();
        run.evidence.ata_status = PurgeEvidence::AtaStatus{r->count, r->lba};
        return run;
      }
      return FailedAfterAccepting(purge_text::kFailed);
    }
  }

  // SET PASSWORD, ERASE PREPARE, ERASE UNIT; then, whatever happened, the
  // password is looked at and cleared if it is still set.
  PurgeRun SecurityErase(bool enhanced) {
    view_.SetPurgeProgress(std::nullopt);
    std::vector<uint8_t> block(512);
    PurgeRun run = SetPasswordAndErase(enhanced, block);
    if (!ClearPassword(block)) {
      run.password_left_set = true;
      run.completed = false;
      run.error_text += (run.error_text.empty() ? "" : "\n") + purge_text::PasswordLeft(password_);
    }
    return run;
  }

  PurgeRun SetPasswordAndErase(bool enhanced, std::vector<uint8_t>& block) {
    const std::string& password = password_;
    platform::Result<platform::AtaReply> r = device_.AtaPassThrough(ata::SetPassword(block.data(), password));
    if (!r.ok()) return Refused(r.error());
    if (r->Failed()) return Refused(0);
    r = device_.AtaPassThrough(ata::ErasePrepare());
    if (!r.ok()) return Refused(r.error());
    if (r->Failed()) return Refused(0);
    const uint32_t minutes = enhanced ? cap_.ata->enhanced_erase_minutes : cap_.ata->erase_minutes;
    const uint32_t timeout = minutes > 0 ? std::max<uint32_t>(minutes * 60 * 2, 600) : kEraseUnitDefaultSeconds;
    r = device_.AtaPassThrough(ata::EraseUnit(block.data(), password, enhanced, timeout));
    if (!r.ok()) return FailedAfterAccepting(purge_text::kNoReply, r.error());
    if (r->Failed()) return FailedAfterAccepting(purge_text::kFailed);
    PurgeRun run = Done();
    if (minutes > 0) run.evidence.estimated_seconds = minutes * 60;
    return run;
  }

  // Whether the drive is left without a password: read from IDENTIFY
  // DEVICE, cleared with DISABLE PASSWORD where it is still set.
  bool ClearPassword(std::vector<uint8_t>& block) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      std::optional<bool> set = PasswordSet();
      if (set && !*set) return true;
      // Sent also when the state cannot be read: the password clears or the
      // drive refuses, which changes nothing.
      static_cast<void>(device_.AtaPassThrough(ata::DisablePassword(block.data(), password_)));
    }
    std::optional<bool> set = PasswordSet();
    return set && !*set;
  }

  std::optional<bool> PasswordSet() {
    std::vector<uint8_t> id(512);
    platform::Result<platform::AtaReply> r = device_.AtaPassThrough(ata::Identify(id.data()));
    if (!r.ok() || r->Failed()) return std::nullopt;
    const AtaFacts facts = ParseAtaIdentify(id.data());
    return facts.security_enabled;
  }

  platform::Device& device_;
  const PurgeCapability& cap_;
  const std::string password_;
  PurgeView& view_;
  const PurgePacing& pacing_;
  const std::function<void(int)>& sleep_;
  bool no_deallocate_;  // the sanitize asks the drive to keep its blocks mapped
};

}  // namespace

PurgeRun RunFirmwarePurge(platform::Device& device, const PurgeCapability& cap, PurgeView& view,
                          const PurgePacing& pacing, const std::function<void(int ms)>& sleep) {
  return Purger(device, cap, view, pacing, sleep).Run();
}

bool PurgeLeavesZeros(const PurgeCapability& cap, const PurgeRun& run) {
  if (!cap.zeros_guaranteed) return false;
  if (!cap.no_deallocate || !run.evidence.deallocated.value_or(true)) return true;
  return cap.nvme && cap.nvme->namespace_answered && cap.nvme->dealloc_read == 1;
}

std::string purge_text::PasswordLeft(const std::string& password) {
  return std::string("ドライブに一時パスワード「") + password +
         "」が設定されたままです。このパスワードでセキュリティ機能を解除して下さい。";
}

}  // namespace plexi
