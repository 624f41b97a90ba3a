// The record an erase leaves in the drive's first sector: a completion record
// that names the method, or a resume record that says where an interrupted
// erase stopped.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "errors/error_report.h"
#include "platform/platform.h"

namespace plexi {

// Record kinds found in a drive's first sector.
enum class RecordKind : int32_t { kNone = 0, kResume = 1, kComplete = 2 };

inline constexpr char kCompleteMarker[] = "plexi scrub ok";  // 14 bytes
inline constexpr char kResumeMarker[] = "plexi scrub";       // 11 bytes

// The erase parameters the record carries. A resume record also names the
// layout its chunk index counts in: the drive's sector count and the
// sectors per chunk when it was interrupted (both 0 in records written
// before they were kept).
struct EraseRecordFields {
  int32_t EraseMethod = 0;
  uint32_t ResumeChunk = 0;
  int32_t ResumePass = 0;
  uint64_t TotalSectors = 0;
  uint32_t SectorsPerChunk = 0;
  // Written while the erase was still running, as a checkpoint: found on
  // the drive, the erase that wrote it never ended (a power cut, a crash).
  // Records of a stopped erase, and those of copies that kept no
  // checkpoints, have it clear.
  bool Checkpoint = false;

  bool HasLayout() const { return TotalSectors != 0 || SectorsPerChunk != 0; }
  // Whether the chunk index means the same bytes on the drive as it is now.
  bool LayoutMatches(uint64_t total_sectors, uint32_t sectors_per_chunk) const {
    return !HasLayout() || (TotalSectors == total_sectors && SectorsPerChunk == sectors_per_chunk);
  }
};

// Sector images of the two records and of a blank first sector.
std::vector<uint8_t> BuildCompletionRecord(uint32_t sector_size, int32_t method);
std::vector<uint8_t> BuildResumeRecord(uint32_t sector_size, const EraseRecordFields& fields);

// How the drive list reads a first sector: kind and method code.
struct ListRecord {
  RecordKind kind = RecordKind::kNone;
  std::optional<int32_t> method;
};
ListRecord RecogniseForList(const uint8_t* sector, size_t size);

// How the erase workflow reads it: a completion record, a resume record
// that holds a resume point (kResume), or none for anything else, a resume
// record without a resume point included. Updates `fields` as read.
RecordKind RecogniseForErase(const uint8_t* sector, size_t size, EraseRecordFields& fields);

enum class RecordMode { kFinish = 0, kInterrupt = 1, kRead = 2 };

struct [[nodiscard]] RecordAccessResult {
  RecordKind result = RecordKind::kNone;  // kRead: as RecogniseForErase; other modes none
  bool io_ok = true;        // false when the write or read failed or was short
  bool positioned = true;   // false when the handle could not be placed at byte 0
  uint32_t error = 0;       // Windows error code of that failure
};

// Writes (finish, interrupt) or reads the record at byte 0 of `device`.
// A failed or short transfer is reported in the result, never passed off as
// done; a failed read reads as no record. The caller says what failed.
RecordAccessResult AccessEraseRecord(platform::Device& device, uint32_t sector_size,
                                     RecordMode mode, bool save_history,
                                     EraseRecordFields& fields);

}  // namespace plexi
