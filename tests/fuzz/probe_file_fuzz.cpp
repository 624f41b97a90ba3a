// A probe file a user sends (any text): one that is not a probe is refused
// with the member at fault named, never a crash or a hang; one that is
// replays as a machine that answers the list's first questions.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "probe/replay_machine.h"

using namespace plexi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  std::unique_ptr<probe::ReplayMachine> machine = probe::ReplayMachine::Parse(text, &error);
  if (!machine) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  machine->LogicalDriveStrings();
  const platform::VolumeList volumes = machine->Volumes();
  for (const platform::VolumeEntry& volume : volumes.volumes) {
    auto opened = machine->OpenDevice(volume.path, platform::Access::kRead);
    if (!opened.ok()) continue;
    uint8_t reply[512];
    static_cast<void>(opened.value()->Control(0x00070000, nullptr, 0, reply, sizeof reply));  // geometry
    static_cast<void>(opened.value()->Read(reply, sizeof reply));
  }
  return 0;
}
