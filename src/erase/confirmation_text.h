// What the final confirmation says: the drive, its size, the method of a
// resumed erase, its partitions, and what the user must type; and the
// request the confirmation dialog is shown with.
#pragma once
#include <cstdint>
#include <string>

#include "drives/drive_types.h"
#include "drives/purge_capability.h"
#include "erase/worker_interface.h"
#include "erase/erase_ui.h"
#include "record/erase_method.h"
#include "record/erase_record.h"

namespace plexi {

// "C: D: E:" → 3: the letters in the bracket of a drive label.
int LetterCountOfLabel(const std::string& drive_label);

// The drive label: caption + " （" + letters + "）".
std::string DriveLabelOf(const DriveRow& row);

struct ConfirmationFacts {
  std::string drive_label;
  uint32_t bytes_per_sector = 0;
  uint64_t total_sectors = 0;
  bool resumed = false;
  OverwriteMethod method = OverwriteMethod::kZeros;
  bool show_partitions = false;  // no earlier record was found
  uint64_t hidden_sectors = 0;   // the drive hides them from the host: not erased
  Language language = Language::kJapanese;
};
std::string ConfirmationText(const ConfirmationFacts& facts);

// Everything the confirmation of one erase is made from.
struct ConfirmationInput {
  const EraseTarget& target;
  const EraseParameters& params;
  bool resumed = false;
  RecordKind earlier = RecordKind::kNone;  // the record the first sector held
  const PurgeCapability& purge;
  platform::Device* drive = nullptr;
  uint64_t hidden_sectors = 0;  // beyond the erased ones, hidden by the drive
  Language language = Language::kJapanese;
};
ConfirmRequest MakeConfirmRequest(const ConfirmationInput& input);

}  // namespace plexi
