// The first sector of a drive as the list and the erase read it: any bytes,
// any length. The erase reads it through AccessEraseRecord, as the program
// does, from a device that answers with the fuzzer's bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "record/erase_record.h"
#include "fuzz_support.h"

using namespace plexi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ListRecord listed = RecogniseForList(data, size);
  EraseRecordFields fields;
  const RecordKind erase = RecogniseForErase(data, size, fields);
  FUZZ_CHECK(erase == RecordKind::kNone || erase == RecordKind::kResume || erase == RecordKind::kComplete);
  if (erase == RecordKind::kComplete) FUZZ_CHECK(listed.kind == RecordKind::kComplete && listed.method == fields.EraseMethod);
  if (listed.kind == RecordKind::kNone) FUZZ_CHECK(erase == RecordKind::kNone && !listed.method);

  // The sector as the erase reads it, at the sector sizes drives have.
  for (uint32_t sector_size : {512u, 4096u}) {
    fuzz::ScriptedDevice device({}, std::string(reinterpret_cast<const char*>(data), size));
    EraseRecordFields read;
    const RecordAccessResult result =
        AccessEraseRecord(device, sector_size, RecordMode::kRead, false, read);
    // A short sector holds no record; a whole one reads as the parser says.
    FUZZ_CHECK(result.io_ok == (size >= sector_size));
    if (!result.io_ok) FUZZ_CHECK(result.result == RecordKind::kNone);
    if (result.io_ok) {
      EraseRecordFields direct;
      FUZZ_CHECK(result.result == RecogniseForErase(data, sector_size, direct));
    }
  }

  // What the erase writes reads back as written.
  if (size >= 24) {
    EraseRecordFields written;
    std::memcpy(&written.ResumeChunk, data, 4);
    std::memcpy(&written.EraseMethod, data + 4, 4);
    std::memcpy(&written.ResumePass, data + 8, 4);
    std::memcpy(&written.TotalSectors, data + 12, 8);
    std::memcpy(&written.SectorsPerChunk, data + 20, 4);
    const std::vector<uint8_t> resume = BuildResumeRecord(512, written);
    EraseRecordFields back;
    const RecordKind kind = RecogniseForErase(resume.data(), resume.size(), back);
    FUZZ_CHECK(kind == ((written.ResumeChunk > 0 || written.ResumePass > 0) ? RecordKind::kResume : RecordKind::kNone));
    FUZZ_CHECK(back.ResumeChunk == written.ResumeChunk && back.EraseMethod == written.EraseMethod &&
               back.ResumePass == written.ResumePass && back.TotalSectors == written.TotalSectors &&
               back.SectorsPerChunk == written.SectorsPerChunk);
    const std::vector<uint8_t> complete = BuildCompletionRecord(512, written.EraseMethod);
    FUZZ_CHECK(RecogniseForErase(complete.data(), complete.size(), back) == RecordKind::kComplete);
    FUZZ_CHECK(back.EraseMethod == written.EraseMethod);
    FUZZ_CHECK(RecogniseForList(complete.data(), complete.size()).method == written.EraseMethod);
  }
  return 0;
}
