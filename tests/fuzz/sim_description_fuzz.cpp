// The simulated machine's description (any text): every malformed line is
// refused with a message naming it, never a crash or a hang. Descriptions
// naming image files are only parsed, never opened.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/sim/sim_description.h"

using namespace plexi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const std::optional<sim::MachineDescription> description = sim::ParseDescription(text, &error);
  if (!description) {
    FUZZ_CHECK(error.rfind("line ", 0) == 0);
    return 0;
  }
  // Image files stay closed: the machine is built only from memory disks.
  for (const sim::DiskSpec& disk : description->disks)
    if (!disk.image.empty()) return 0;

  std::string machine_error;
  std::unique_ptr<sim::SimMachine> machine = sim::SimMachine::Parse(text, "", &machine_error);
  if (!machine) {
    FUZZ_CHECK(machine_error.rfind("line ", 0) == 0);
    return 0;
  }
  // What the list asks first of every machine.
  machine->LogicalDriveStrings();
  const platform::VolumeList volumes = machine->Volumes();
  FUZZ_CHECK(volumes.volumes.size() <= description->volumes.size());
  for (const sim::DiskSpec& disk : description->disks) FUZZ_CHECK(machine->DiskSize(disk.number) > 0);
  return 0;
}
