// The machine an erase test drives over the simulated machine whose bytes it
// scans: on Linux the simulated machine itself; in the Windows test program
// the Win32 backend over a model of the Windows storage stack that the
// simulated machine answers, so the same table runs through both.
#pragma once
#include <memory>

#include "platform/sim/sim_machine.h"
#ifdef _WIN32
#include "win/storage_model.h"
#endif

namespace plexi::test {

#ifdef _WIN32
using WindowsEdition = win::test::WindowsEdition;
#else
// The Windows the backend would be, which the simulated machine ignores.
struct WindowsEdition {
  bool windows_pe = false;
};
#endif

class MachineUnderTest {
 public:
  using Edition = WindowsEdition;
  explicit MachineUnderTest(sim::SimMachine& machine, Edition edition = {}) : machine_(&machine) {
#ifdef _WIN32
    backend_ = win::test::WinMachineOver(machine, edition);
    machine_ = backend_.get();
#else
    static_cast<void>(edition);
#endif
  }
  platform::Machine& get() { return *machine_; }
  // Whether the Win32 backend is what runs.
#ifdef _WIN32
  static constexpr bool kWin32 = true;
#else
  static constexpr bool kWin32 = false;
#endif

 private:
  std::unique_ptr<platform::Machine> backend_;
  platform::Machine* machine_;
};

}  // namespace plexi::test
