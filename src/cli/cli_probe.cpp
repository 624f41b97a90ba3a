// plexiscrub-cli probe: the raw answers of every drive query, to one JSON
// file that a user can send, and that --simulate replays as a machine.
#include <ostream>

#include "cli/cli_common.h"
#include "platform/host.h"
#include "platform/sim/file_util.h"
#include "plexiscrub_version.h"
#include "probe/probe_writer.h"
#include "report/json.h"

namespace plexi::cli {

int ProbeCommand(const Options& o, std::ostream& out, std::ostream& err) {
  if (!o.positional.empty()) {
    err << "plexiscrub-cli: "
        << Said(o, "probe takes no target; it asks every drive of the machine",
                "probe に TARGET は付けません。マシンのすべてのドライブに問い合わせます")
        << "\n";
    return kUsage;
  }
  std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
  if (!machine) return kFailed;
  probe::ProbeChoice choice;
  choice.keep_serials = o.keep_serials;
  if (!o.simulate) choice.host_paths = HostProbePaths();
  choice.tool = std::string("plexiscrub-cli ") + PLEXISCRUB_VERSION_TEXT;
  choice.system = o.simulate ? "simulated" : platform::DescribeHost().operating_system;
  const std::string text = json::Write(probe::TakeProbe(*machine, choice, probe::SerialMask()), 1) + "\n";
  if (!o.out_file) {
    out << text;
    return kOk;
  }
  const uint32_t error = sim::ReplaceFile(sim::PathFromUtf8(*o.out_file), sim::PathFromUtf8(*o.out_file + ".tmp"), text);
  if (error != 0) {
    err << "plexiscrub-cli: " << Said(o, "cannot write the probe to ", "プローブを書き込めません: ") << *o.out_file << ": "
        << OneLine(SystemErrorText(*machine, error)) << "\n";
    return kFailed;
  }
  out << Said(o, "probe: ", "プローブ: ") << *o.out_file << "\n";
  return kOk;
}

}  // namespace plexi::cli
