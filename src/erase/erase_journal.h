// What one erase did, as the workflow saw it happen: the drive, the method,
// the resume point it started from, the read-back, the first-sector record,
// the times and the outcome with every error. The erase report is made from
// it; nothing here is worked out afterwards from the settings or the list.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drives/discovery.h"
#include "drives/drive_types.h"
#include "drives/hidden_area.h"
#include "erase/erase_outcome.h"
#include "erase/firmware_purge.h"
#include "erase/sector_exceptions.h"
#include "record/erase_method.h"
#include "platform/platform.h"

namespace plexi {

enum class VerifyResult { kNotAsked, kPassed, kFailed, kNotFinished };

struct JournalError {
  std::string message;                 // as the user saw it
  uint32_t code = 0;                   // Windows error code; 0 when none
  std::optional<uint64_t> sector;      // where on the drive, when known
};

// The drive as its own descriptor and queries describe it.
struct JournalDrive {
  bool answered = false;  // the storage descriptor answered
  std::string vendor, product, serial, revision;
  uint32_t bus_type = 0;
  bool removable = false;
  MediaKind media = MediaKind::kUnknown;
  std::string identity_source;  // DescriptorFacts::identity_source
};

struct EraseJournal {
  // False when the user declined before anything was confirmed: no report.
  bool due = false;
  // The target as erased.
  std::string device_path;
  std::optional<DriveDesignator> designator;
  std::string label;
  ViewMode view = ViewMode::kPhysical;
  // The organisation's asset number of the drive and where it came from,
  // as given for this erase (empty when not given).
  std::string asset_number, media_source;
  JournalDrive drive;
  uint32_t sector_size = 0;
  uint64_t sector_count = 0;
  uint64_t capacity_bytes = 0;
  // Known once the confirmation was given.
  bool confirmed = false;
  OverwriteMethod method = OverwriteMethod::kZeros;
  // A firmware purge: the command the drive was sent (empty when none was),
  // whether the drive reported it done, and whether a zero pass followed.
  std::string purge_command;
  bool purge_completed = false;
  bool purge_zero_pass = false;
  PurgeCommand purge_kind = PurgeCommand::kNone;  // the command the drive was sent
  PurgeEvidence purge_evidence;  // what the drive said of it, and its times
  bool resumed = false;
  // The drive held a checkpoint: the erase before this one ended without
  // stopping (a power cut, a crash, a killed process).
  bool earlier_run_ended_unexpectedly = false;
  uint32_t resume_chunk = 0;
  int32_t resume_pass = 0;
  uint32_t sectors_per_chunk = 0;
  uint32_t chunk_count = 0;
  bool verify_requested = false;
  VerifyResult verify = VerifyResult::kNotAsked;
  uint64_t verify_bytes_read = 0;
  uint64_t verify_ms = 0;  // how long the read-back took
  std::optional<uint64_t> first_nonzero_sector;
  // What the erase's own record write left in the first sector, and
  // whether that write failed.
  RecordLeft record = RecordLeft::kNone;
  bool record_failed = false;
  bool history_kept = true;  // the user's choice of a completion record
  platform::LocalTime started, ended;
  double seconds = 0;  // measured, not taken from the wall clock
  uint64_t bytes_written = 0;
  // Sectors that failed every write, and every read of the read-back.
  std::vector<SectorRange> unwritten, unreadable;
  EraseOutcome outcome = EraseOutcome::kRefused;
  std::vector<JournalError> errors;
  // What the drive hid from the host when it was opened (asked of whole
  // ATA drives only).
  HiddenArea hidden_area;
  // The user had its host protected area lifted for the erase (until the
  // next power cycle), and the system saw the drive grow by it.
  bool hidden_area_lifted = false;
};

// The sectors of the medium the erase did not reach: those the drive hides
// beyond the ones erased. 0 for a volume and for a drive that hides none or
// did not say.
inline uint64_t HiddenSectorsNotErased(const EraseJournal& e) {
  if (e.view != ViewMode::kPhysical) return 0;
  return SectorsBeyond(e.hidden_area, e.sector_count * e.sector_size);
}

}  // namespace plexi
