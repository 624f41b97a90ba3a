// What the confirmation shows of the firmware purge beside its radio
// button: the drive's purge facts, and either why the purge cannot be
// chosen or the warning that it cannot be interrupted.
#pragma once
#include <string>

#include "erase/erase_workflow.h"

namespace plexi {

struct PurgePanelText {
  std::string facts;    // one fact a line
  std::string reason;   // why it cannot be chosen; empty when it can
  std::string warning;  // that it cannot be interrupted; empty when it cannot be chosen
};

PurgePanelText PurgePanelOf(const ConfirmRequest& request);

}  // namespace plexi
