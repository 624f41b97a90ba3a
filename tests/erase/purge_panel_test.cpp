#include "erase/purge_panel.h"

#include <gtest/gtest.h>

#include "drives/purge_capability.h"

namespace plexi {
namespace {

ConfirmRequest RequestFor(const PurgeCapability& cap, bool offered) {
  ConfirmRequest request;
  request.purge_offered = offered;
  request.purge_lines = PurgeCapabilityLines(cap);
  if (offered) request.purge_lines.push_back(erase_text::kPurgeWarning);
  return request;
}

TEST(PurgePanelTest, AnOfferedPurgeShowsItsFactsAndTheWarning) {
  NvmeFacts nvme;
  nvme.namespace_limit = 1;
  nvme.active_namespaces = 1;
  nvme.sanitize_crypto = true;
  nvme.namespace_answered = true;
  nvme.dealloc_read = 1;
  const PurgeCapability cap = ChoosePurge(Transport::kNvme, nvme, std::nullopt, platform::HostSystem{});
  ASSERT_TRUE(cap.Usable());
  const PurgePanelText panel = PurgePanelOf(RequestFor(cap, true));
  EXPECT_EQ(panel.warning, erase_text::kPurgeWarning);
  EXPECT_TRUE(panel.reason.empty());
  EXPECT_NE(panel.facts.find("NVMe サニタイズ"), std::string::npos);
  EXPECT_NE(panel.facts.find("実行するコマンド: " + PurgeCommandName(cap.command)), std::string::npos);
  EXPECT_EQ(panel.facts.find(erase_text::kPurgeWarning), std::string::npos);
}

TEST(PurgePanelTest, AnUnusablePurgeShowsWhyAndNoWarning) {
  AtaFacts ata;
  ata.security_supported = true;
  ata.security_frozen = true;
  const PurgeCapability frozen = ChoosePurge(Transport::kAta, std::nullopt, ata, platform::HostSystem{});
  ASSERT_FALSE(frozen.Usable());
  PurgePanelText panel = PurgePanelOf(RequestFor(frozen, false));
  EXPECT_EQ(panel.reason, PurgeBlockText(PurgeBlock::kFrozen));
  EXPECT_TRUE(panel.warning.empty());
  EXPECT_NE(panel.facts.find("ATA セキュリティ消去"), std::string::npos);
  EXPECT_EQ(panel.facts.find("使用できません"), std::string::npos);

  // A drive that can purge, in an erase that cannot (it is being resumed).
  NvmeFacts nvme;
  nvme.namespace_limit = 1;
  nvme.active_namespaces = 1;
  nvme.sanitize_block = true;
  const PurgeCapability usable = ChoosePurge(Transport::kNvme, nvme, std::nullopt, platform::HostSystem{});
  ASSERT_TRUE(usable.Usable());
  ConfirmRequest resumed = RequestFor(usable, false);
  panel = PurgePanelOf(resumed);
  EXPECT_EQ(panel.reason, erase_text::kPurgeNotOffered);
  EXPECT_TRUE(panel.warning.empty());

  // Nothing known at all.
  panel = PurgePanelOf(ConfirmRequest{});
  EXPECT_EQ(panel.reason, erase_text::kPurgeNotOffered);
  EXPECT_TRUE(panel.facts.empty());
}

}  // namespace
}  // namespace plexi
