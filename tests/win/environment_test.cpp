// The program's command line and where a simulated machine keeps its files.
#include "app/environment_win.h"

#include <gtest/gtest.h>

namespace plexi::app {
namespace {

TEST(CommandLine, SimulateTakesTheNextArgument) {
  EXPECT_FALSE(ParseCommandLine({}).simulate_file);
  EXPECT_EQ(ParseCommandLine({"--simulate", "demo.machine"}).simulate_file, "demo.machine");
  // Anything else is ignored: the program takes no settings from its line.
  const CommandLine other = ParseCommandLine({"/s", "--simulate", "a.machine", "x"});
  EXPECT_EQ(other.simulate_file, "a.machine");
  EXPECT_TRUE(other.error.empty());

  EXPECT_FALSE(ParseCommandLine({"--simulate"}).error.empty());
  EXPECT_FALSE(ParseCommandLine({"--simulate", ""}).error.empty());
}

TEST(SimulationPaths, SettingsAndFilesLieBesideTheMachineFile) {
  const SimulationPaths paths = SimulationPathsFor("C:\\machines\\demo.machine");
  EXPECT_EQ(paths.machine_file, "C:\\machines\\demo.machine");
  EXPECT_EQ(paths.settings_file, "C:\\machines\\demo.machine.settings");
  EXPECT_EQ(paths.files_folder, "C:\\machines\\demo.files\\");

  // Only the last extension goes; a name without one keeps its name.
  EXPECT_EQ(SimulationPathsFor("C:\\m\\pc.v2.machine").files_folder, "C:\\m\\pc.v2.files\\");
  EXPECT_EQ(SimulationPathsFor("C:\\m.d\\pc").files_folder, "C:\\m.d\\pc.files\\");

  // A relative name is taken from the current folder.
  const SimulationPaths relative = SimulationPathsFor("demo.machine");
  EXPECT_EQ(relative.machine_file.substr(1, 2), ":\\");
  EXPECT_EQ(relative.files_folder,
            relative.machine_file.substr(0, relative.machine_file.size() - 12) + "demo.files\\");
}

}  // namespace
}  // namespace plexi::app
