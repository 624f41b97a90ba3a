// The probe: each query the program asks of drives, asked once of every disk
// and volume of a machine, with the raw answers and error codes written to
// one JSON value, which the replay (replay_machine.h) serves again as a
// machine. It only asks: every handle is opened with Access::kQuery or
// kRead, nothing is read from the drives' data, and the only firmware
// commands are the identify commands and the sanitize status log that a
// purge reads before it chooses a command.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"
#include "probe/serial_mask.h"
#include "report/json.h"

namespace plexi::probe {

struct ProbeChoice {
  bool keep_serials = false;
  // Devices the machine's own lists do not name (the Linux block devices).
  std::vector<std::string> host_paths;
  std::string tool;    // "plexiscrub-cli 1.1.0.2"
  std::string system;  // the operating system and its version
};

json::Value TakeProbe(platform::Machine& machine, const ProbeChoice& choice, const SerialMask& mask);

}  // namespace plexi::probe
