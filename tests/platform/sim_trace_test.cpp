// The trace a simulated machine keeps for tests in another process: which
// devices were opened with what access, and every transfer.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/sim/sim_machine.h"
#include "platform/winconst.h"
#include "support/test_support.h"

namespace plexi::sim {
namespace {

constexpr char kDisks[] =
    "disk 0 size=1M bus=11 product=\"Disk\"\n"
    "volume E: disk=0 offset=64K\n";

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::unique_ptr<SimMachine> LoadWith(const test::TempDir& dir, const std::string& trace_line) {
  const std::string path = dir.file("m.machine");
  std::ofstream(path, std::ios::binary) << kDisks << trace_line;
  std::string error;
  auto machine = SimMachine::Load(path, &error);
  EXPECT_TRUE(machine) << error;
  return machine;
}

TEST(SimTrace, LogsOpensWithTheirAccessAndEveryTransferAtTheHandlesPosition) {
  test::TempDir dir;
  auto m = LoadWith(dir, "trace opens reads writes\n");
  ASSERT_TRUE(m);
  uint8_t sector[512] = {};
  {
    auto volume = m->OpenDevice("\\\\.\\E:", platform::Access::kRead).value();
    ASSERT_TRUE(volume);
    ASSERT_TRUE(volume->SetPosition(1024).ok());
    EXPECT_TRUE(volume->Read(sector, 512).ok());
    EXPECT_FALSE(volume->Write(sector, 512).ok());  // refused, and logged all the same
  }
  {
    auto disk = m->OpenDevice("\\\\.\\PHYSICALDRIVE0", platform::Access::kReadWrite).value();
    ASSERT_TRUE(disk);
    EXPECT_TRUE(disk->Write(sector, 512).ok());
  }
  EXPECT_FALSE(m->OpenDevice("\\\\.\\PHYSICALDRIVE9", platform::Access::kQuery).ok());
  EXPECT_EQ(ReadFile(dir.file("m.machine.trace")),
            "open \\\\.\\E: read\n"
            "read \\\\.\\E: at=1024 bytes=512\n"
            "write \\\\.\\E: at=1536 bytes=512\n"
            "open \\\\.\\PHYSICALDRIVE0 read-write\n"
            "write \\\\.\\PHYSICALDRIVE0 at=0 bytes=512\n"
            "open \\\\.\\PHYSICALDRIVE9 query error=2\n");
}

TEST(SimTrace, OnlyWhatTheLineNamesAndNothingWithoutIt) {
  test::TempDir dir;
  auto m = LoadWith(dir, "trace reads\n");
  ASSERT_TRUE(m);
  uint8_t sector[512] = {};
  auto disk = m->OpenDevice("\\\\.\\PHYSICALDRIVE0", platform::Access::kRead).value();
  ASSERT_TRUE(disk);
  EXPECT_TRUE(disk->Read(sector, 512).ok());
  EXPECT_EQ(ReadFile(dir.file("m.machine.trace")), "read \\\\.\\PHYSICALDRIVE0 at=0 bytes=512\n");

  test::TempDir quiet;
  auto untraced = LoadWith(quiet, "");
  ASSERT_TRUE(untraced);
  EXPECT_TRUE(untraced->OpenDevice("\\\\.\\E:", platform::Access::kRead).ok());
  EXPECT_FALSE(std::filesystem::exists(quiet.file("m.machine.trace")));
}

TEST(SimTrace, LineErrors) {
  std::string error;
  EXPECT_FALSE(SimMachine::Parse("trace\n", ".", &error));
  EXPECT_EQ(error, "line 1: trace needs what to trace: opens, reads, writes, controls or commands");
  EXPECT_FALSE(SimMachine::Parse("trace reads seeks\n", ".", &error));
  EXPECT_EQ(error, "line 1: trace opens, reads, writes, controls or commands, not 'seeks'");
}

}  // namespace
}  // namespace plexi::sim
