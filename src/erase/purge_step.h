// The drive's own purge as a step of an erase: what the drive can purge
// with, asked with identify commands only, and the command itself, sent
// after every check and lock of the erase.
#pragma once
#include <cstdint>
#include <string>

#include "drives/discovery.h"
#include "drives/purge_capability.h"
#include "erase/worker_interface.h"
#include "erase/erase_ui.h"
#include "erase/firmware_purge.h"
#include "platform/platform.h"

namespace plexi {

// What a whole drive can purge with now; nothing for a volume or when the
// purge is not to be offered.
PurgeCapability AskPurgeCapability(platform::Device& drive, ViewMode view, uint32_t bus_type, bool offer,
                                   const platform::HostSystem& host);

// What the purge step needs of the erase.
struct PurgeStepContext {
  platform::Device& drive;
  EraseUi& ui;
  const Pacing& pacing;
  uint32_t bus_type = 0;
  std::string drive_label;
  platform::HostSystem host;
  Language language = Language::kJapanese;
};

// Sends the purge the user confirmed (`confirmed`, updated to what the drive
// says now) and waits for it under the purge's dialog. The drive is asked
// once more right before: security may have frozen, or a password been
// set, since the confirmation.
PurgeRun RunPurgeStep(const PurgeStepContext& context, PurgeCapability& confirmed);

}  // namespace plexi
