#include "record/erase_record.h"

#include <cstring>

#include "platform/aligned_buffer.h"
#include "platform/ioctl_layout.h"
#include "platform/winconst.h"

namespace plexi {

namespace {

constexpr size_t kCompleteLength = sizeof kCompleteMarker - 1;  // 14
constexpr size_t kResumeLength = sizeof kResumeMarker - 1;       // 11
constexpr size_t kCompleteMethodOffset = 15;
constexpr size_t kResumeChunkOffset = 16;
constexpr size_t kResumeMethodOffset = 20;
constexpr size_t kResumePassOffset = 24;
constexpr size_t kResumeTotalSectorsOffset = 28;
constexpr size_t kResumeSectorsPerChunkOffset = 36;
constexpr size_t kRecordBytes = 40;  // the shortest sector a record is read from
// After the fields every copy reads: 1 in a checkpoint, 0 (the sector's
// zeros) in every other record.
constexpr size_t kResumeCheckpointOffset = 40;
constexpr size_t kRecordBytesWritten = 44;

bool StartsWith(const uint8_t* sector, size_t size, const char* marker, size_t length) {
  return size >= length && std::memcmp(sector, marker, length) == 0;
}

int32_t Signed32(const uint8_t* p) { return int32_t(layout::Load32(p)); }

}  // namespace

std::vector<uint8_t> BuildCompletionRecord(uint32_t sector_size, int32_t method) {
  std::vector<uint8_t> sector(std::max<size_t>(sector_size, kRecordBytesWritten));
  std::memcpy(sector.data(), kCompleteMarker, kCompleteLength);
  layout::Store32(sector.data() + kCompleteMethodOffset, uint32_t(method));
  sector.resize(sector_size);
  return sector;
}

std::vector<uint8_t> BuildResumeRecord(uint32_t sector_size, const EraseRecordFields& fields) {
  std::vector<uint8_t> sector(std::max<size_t>(sector_size, kRecordBytesWritten));
  std::memcpy(sector.data(), kResumeMarker, kResumeLength);
  layout::Store32(sector.data() + kResumeChunkOffset, fields.ResumeChunk);
  layout::Store32(sector.data() + kResumeMethodOffset, uint32_t(fields.EraseMethod));
  layout::Store32(sector.data() + kResumePassOffset, uint32_t(fields.ResumePass));
  layout::Store64(sector.data() + kResumeTotalSectorsOffset, fields.TotalSectors);
  layout::Store32(sector.data() + kResumeSectorsPerChunkOffset, fields.SectorsPerChunk);
  layout::Store32(sector.data() + kResumeCheckpointOffset, fields.Checkpoint ? 1 : 0);
  sector.resize(sector_size);
  return sector;
}

ListRecord RecogniseForList(const uint8_t* sector, size_t size) {
  if (size < kRecordBytes) return {};
  if (StartsWith(sector, size, kCompleteMarker, kCompleteLength))
    return {RecordKind::kComplete, Signed32(sector + kCompleteMethodOffset)};
  if (StartsWith(sector, size, kResumeMarker, kResumeLength))
    return {RecordKind::kResume, Signed32(sector + kResumeMethodOffset)};
  return {};
}

RecordKind RecogniseForErase(const uint8_t* sector, size_t size, EraseRecordFields& fields) {
  if (size < kRecordBytes) return RecordKind::kNone;
  // The whole text up to the first zero byte must be the completion marker.
  if (StartsWith(sector, size, kCompleteMarker, kCompleteLength) && sector[kCompleteLength] == 0) {
    fields.EraseMethod = Signed32(sector + kCompleteMethodOffset);
    return RecordKind::kComplete;
  }
  if (StartsWith(sector, size, kResumeMarker, kResumeLength)) {
    fields.ResumeChunk = layout::Load32(sector + kResumeChunkOffset);
    fields.EraseMethod = Signed32(sector + kResumeMethodOffset);
    fields.ResumePass = Signed32(sector + kResumePassOffset);
    fields.TotalSectors = layout::Load64(sector + kResumeTotalSectorsOffset);
    fields.SectorsPerChunk = layout::Load32(sector + kResumeSectorsPerChunkOffset);
    fields.Checkpoint = size >= kRecordBytesWritten && layout::Load32(sector + kResumeCheckpointOffset) == 1;
    return (fields.ResumeChunk > 0 || fields.ResumePass > 0) ? RecordKind::kResume : RecordKind::kNone;
  }
  return RecordKind::kNone;
}

RecordAccessResult AccessEraseRecord(platform::Device& device, uint32_t sector_size,
                                     RecordMode mode, bool save_history,
                                     EraseRecordFields& fields) {
  RecordAccessResult result;
  if (sector_size < kRecordBytesWritten) {
    result.io_ok = false;
    result.error = winconst::kErrorInvalidParameter;
    return result;
  }
  // A transfer after a failed positioning would land anywhere: a read then
  // finds no record, a write is not made and is reported as failed.
  platform::Result<> positioned = device.SetPosition(0);
  if (!positioned.ok()) {
    result.io_ok = false;
    result.positioned = false;
    result.error = positioned.error();
    return result;
  }

  AlignedBuffer sector(sector_size);
  if (mode == RecordMode::kRead) {
    platform::IoResult r = device.Read(sector.data(), sector_size);
    if (!r.ok() || r.value() != sector_size) {
      result.io_ok = false;
      result.error = r.ok() ? winconst::kErrorReadFault : r.error();
      return result;  // an unreadable sector holds no record
    }
    result.result = RecogniseForErase(sector.data(), sector_size, fields);
    return result;
  }

  if (mode == RecordMode::kInterrupt) {
    std::vector<uint8_t> record = BuildResumeRecord(sector_size, fields);
    std::memcpy(sector.data(), record.data(), sector_size);
  } else if (save_history) {
    std::vector<uint8_t> record = BuildCompletionRecord(sector_size, fields.EraseMethod);
    std::memcpy(sector.data(), record.data(), sector_size);
  }
  platform::IoResult w = device.Write(sector.data(), sector_size);
  if (!w.ok() || w.value() != sector_size) {
    result.io_ok = false;
    result.error = w.ok() ? winconst::kErrorWriteFault : w.error();
    return result;
  }
  // The record is the erase's only lasting proof: make sure it is on the
  // medium, not in a cache, before the caller says it was written.
  platform::Result<> flushed = device.Flush();
  if (!flushed.ok()) {
    result.io_ok = false;
    result.error = flushed.error();
  }
  return result;
}

}  // namespace plexi
