#include "drives/purge_capability.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "drives/hidden_area.h"
#include "platform/firmware_routes.h"
#include "platform/winconst.h"
#include "support/test_support.h"

namespace plexi {
namespace {

// A system without storage rules of its own: every command is carried.
const platform::HostSystem kLinux{};

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, uint16_t(v));
  Put16(b, at + 2, uint16_t(v >> 16));
}

struct NvmeIdentify {
  std::vector<uint8_t> ctrl = std::vector<uint8_t>(4096), ns = std::vector<uint8_t>(4096);
  NvmeIdentify(uint16_t oacs, uint8_t fna, uint32_t sanicap, uint32_t nn, uint8_t dlfeat, uint8_t flbas = 0) {
    Put16(ctrl, 256, oacs);
    ctrl[524] = fna;
    Put32(ctrl, 328, sanicap);
    Put32(ctrl, 516, nn);
    ns[26] = flbas;
    ns[33] = dlfeat;
  }
  NvmeFacts Facts(std::optional<uint32_t> active = 1) const {
    NvmeFacts f = ParseNvmeIdentify(ctrl.data(), ns.data());
    f.active_namespaces = active;
    return f;
  }
};

std::vector<uint8_t> AtaIdentify(uint16_t w59, uint16_t w82, uint16_t w128, uint16_t w89 = 0) {
  std::vector<uint8_t> id(512);
  Put16(id, 2 * 59, w59);
  Put16(id, 2 * 82, w82);
  Put16(id, 2 * 128, w128);
  Put16(id, 2 * 89, w89);
  return id;
}

TEST(PurgeCapability, NvmeChoosesTheStrongestCommandInOrder) {
  struct Case {
    uint16_t oacs;
    uint8_t fna;
    uint32_t sanicap;
    PurgeCommand expected;
  } cases[] = {
      {0x0002, 0x04, 0x7, PurgeCommand::kNvmeSanitizeCrypto},
      {0x0002, 0x04, 0x6, PurgeCommand::kNvmeSanitizeBlock},
      {0x0002, 0x04, 0x4, PurgeCommand::kNvmeSanitizeOverwrite},
      {0x0002, 0x04, 0x0, PurgeCommand::kNvmeFormatCrypto},
      {0x0002, 0x00, 0x0, PurgeCommand::kNvmeFormatUserData},
      // The crypto-erase bit means nothing without Format NVM itself.
      {0x0000, 0x04, 0x0, PurgeCommand::kNone},
  };
  for (const Case& c : cases) {
    const PurgeCapability cap = ChoosePurge(Transport::kNvme, NvmeIdentify(c.oacs, c.fna, c.sanicap, 1, 0).Facts(), {}, kLinux);
    EXPECT_EQ(cap.command, c.expected) << int(c.oacs) << " " << int(c.fna) << " " << c.sanicap;
    EXPECT_EQ(cap.block, c.expected == PurgeCommand::kNone ? PurgeBlock::kNotSupported : PurgeBlock::kNone);
  }
}

// A sanitize asks the drive to keep its blocks mapped where SANICAP allows
// it and the system's route carries the bit; the zero pass then depends on
// what the media holds, not on what deallocated blocks read as.
TEST(PurgeCapability, NoDeallocateWhereTheDriveAndTheSystemAllowIt) {
  platform::HostSystem server2022{.windows = true, .windows_pe = false, .build = 20348};
  platform::HostSystem pe2004{.windows = true, .windows_pe = true, .build = 19041};
  constexpr uint32_t kNdi = 1u << 29, kModifies = 2u << 30, kKeeps = 1u << 30;
  const struct {
    const char* what;
    uint32_t sanicap;
    platform::HostSystem host;
    PurgeCommand command;
    bool no_deallocate, zeros;
  } cases[] = {
      {"crypto erase kept: ciphertext on the media", 0x1 | kKeeps, kLinux, PurgeCommand::kNvmeSanitizeCrypto, true, false},
      {"cannot be asked: deallocated zeros", 0x1 | kNdi, kLinux, PurgeCommand::kNvmeSanitizeCrypto, false, true},
      {"overwrite kept: its zero pattern", 0x4 | kKeeps, kLinux, PurgeCommand::kNvmeSanitizeOverwrite, true, true},
      {"overwrite, media modified afterwards", 0x4 | kModifies, kLinux, PurgeCommand::kNvmeSanitizeOverwrite, true, false},
      {"full Windows: its sanitize has no such option", 0x2, server2022, PurgeCommand::kNvmeSanitizeBlock, false, true},
      {"Windows PE passes the command as it is", 0x2, pe2004, PurgeCommand::kNvmeSanitizeBlock, true, false},
      {"a format deallocates", 0x0, kLinux, PurgeCommand::kNvmeFormatUserData, false, true},
  };
  for (const auto& c : cases) {
    const PurgeCapability cap = ChoosePurge(Transport::kNvme, NvmeIdentify(2, 0, c.sanicap, 1, 0x09).Facts(), {}, c.host);
    EXPECT_EQ(cap.command, c.command) << c.what;
    EXPECT_EQ(cap.no_deallocate, c.no_deallocate) << c.what;
    EXPECT_EQ(cap.zeros_guaranteed, c.zeros) << c.what;
  }
  // The route never drops the bit: asked for, full Windows has no way to send it.
  EXPECT_EQ(platform::RouteOfNvme(server2022, nvme::Sanitize(nvme::kSanitizeBlockErase, true)),
            platform::NvmeRoute::kNone);
}

TEST(PurgeCapability, ZeroPassDependsOnWhatDeallocatedBlocksReadAs) {
  EXPECT_TRUE(ChoosePurge(Transport::kNvme, NvmeIdentify(2, 0, 0, 1, 0x09).Facts(), {}, kLinux).zeros_guaranteed);
  EXPECT_FALSE(ChoosePurge(Transport::kNvme, NvmeIdentify(2, 0, 0, 1, 0x02).Facts(), {}, kLinux).zeros_guaranteed);
  EXPECT_FALSE(ChoosePurge(Transport::kNvme, NvmeIdentify(2, 0, 0, 1, 0x00).Facts(), {}, kLinux).zeros_guaranteed);
  // ATA drives never promise zeros after these commands.
  const AtaFacts ata = ParseAtaIdentify(AtaIdentify(0xB000, 0x0002, 0x0021).data());
  EXPECT_FALSE(ChoosePurge(Transport::kAta, {}, ata, kLinux).zeros_guaranteed);
}

// A sanitize covers the whole subsystem, and a format may cover every
// namespace: neither may reach namespaces other than the confirmed drive.
TEST(PurgeCapability, CommandsThatReachOtherNamespacesAreHeldBack) {
  const NvmeIdentify sanitize_and_format(0x0002, 0x00, 0x3, 4, 1);
  PurgeCapability cap = ChoosePurge(Transport::kNvme, sanitize_and_format.Facts(2), {}, kLinux);
  EXPECT_EQ(cap.command, PurgeCommand::kNvmeFormatUserData);  // per namespace: allowed
  const NvmeIdentify format_all(0x0002, 0x01, 0x3, 4, 1);
  cap = ChoosePurge(Transport::kNvme, format_all.Facts(2), {}, kLinux);
  EXPECT_EQ(cap.command, PurgeCommand::kNone);
  EXPECT_EQ(cap.block, PurgeBlock::kOtherNamespaces);
  // Unknown attachment: the controller's namespace limit decides.
  EXPECT_EQ(ChoosePurge(Transport::kNvme, format_all.Facts(std::nullopt), {}, kLinux).block, PurgeBlock::kOtherNamespaces);
  const NvmeIdentify single(0x0002, 0x01, 0x3, 1, 1);
  EXPECT_EQ(ChoosePurge(Transport::kNvme, single.Facts(std::nullopt), {}, kLinux).command, PurgeCommand::kNvmeSanitizeCrypto);
}

TEST(PurgeCapability, AtaSanitizeThenSecurityEraseAndTheReasonsWhyNot) {
  struct Case {
    uint16_t w59, w82, w128;
    PurgeCommand command;
    PurgeBlock block;
  } cases[] = {
      {0xF000, 0x0002, 0x0021, PurgeCommand::kAtaSanitizeCrypto, PurgeBlock::kNone},
      {0x9000, 0x0002, 0x0021, PurgeCommand::kAtaSanitizeBlock, PurgeBlock::kNone},
      {0x5000, 0x0000, 0x0000, PurgeCommand::kAtaSanitizeOverwrite, PurgeBlock::kNone},
      // Sanitize modes without the feature set bit are not believed.
      {0xE000, 0x0002, 0x0021, PurgeCommand::kAtaEnhancedSecureErase, PurgeBlock::kNone},
      {0x0000, 0x0002, 0x0001, PurgeCommand::kAtaSecureErase, PurgeBlock::kNone},
      {0x0000, 0x0002, 0x0029, PurgeCommand::kNone, PurgeBlock::kFrozen},
      {0x0000, 0x0002, 0x0023, PurgeCommand::kNone, PurgeBlock::kPasswordSet},
      {0x0000, 0x0002, 0x0011, PurgeCommand::kNone, PurgeBlock::kAttemptsExpired},
      {0x0000, 0x0000, 0x0021, PurgeCommand::kNone, PurgeBlock::kNotSupported},
      // A frozen security set does not stop a sanitize.
      {0x9000, 0x0002, 0x0029, PurgeCommand::kAtaSanitizeBlock, PurgeBlock::kNone},
  };
  for (const Case& c : cases) {
    const PurgeCapability cap = ChoosePurge(Transport::kAta, {}, ParseAtaIdentify(AtaIdentify(c.w59, c.w82, c.w128).data()), kLinux);
    EXPECT_EQ(cap.command, c.command) << std::hex << c.w59 << " " << c.w128;
    EXPECT_EQ(cap.block, c.block) << std::hex << c.w59 << " " << c.w128;
  }
}

// Each Windows offers only what its drivers carry, and says why not.
TEST(PurgeCapability, WhatEachSystemCarries) {
  const platform::HostSystem windows10{true, false, 10, 0, 19045}, windows10_pe{true, true, 10, 0, 19045},
      windows11{true, false, 10, 0, 22631}, windows7_pe{true, true, 6, 1, 7601};
  const NvmeIdentify everything(0x0002, 0x04, 0x7, 1, 1);       // sanitize all three, format with crypto
  const NvmeIdentify overwrite_only(0x0002, 0x00, 0x4, 1, 1);   // sanitize overwrite, user-data format
  NvmeFacts unknown_namespace = ParseNvmeIdentify(everything.ctrl.data(), nullptr);
  unknown_namespace.active_namespaces = 1;
  const AtaFacts security_only = ParseAtaIdentify(AtaIdentify(0x0000, 0x0002, 0x0021).data());
  const AtaFacts security_frozen = ParseAtaIdentify(AtaIdentify(0x0000, 0x0002, 0x0029).data());
  const AtaFacts sanitize_all = ParseAtaIdentify(AtaIdentify(0xF000, 0x0002, 0x0021).data());
  struct Case {
    const char* what;
    platform::HostSystem host;
    std::optional<NvmeFacts> nvme;
    std::optional<AtaFacts> ata;
    PurgeCommand command;
    PurgeBlock block;
    PurgeCommand first_withheld;  // kNone: nothing withheld
    PurgeBlock withheld_why;
  } cases[] = {
      {"Windows 10: the crypto format only", windows10, everything.Facts(), {}, PurgeCommand::kNvmeFormatCrypto,
       PurgeBlock::kNone, PurgeCommand::kNvmeSanitizeCrypto, PurgeBlock::kNeedsWindowsPe},
      {"Windows 10 PE: sanitize", windows10_pe, everything.Facts(), {}, PurgeCommand::kNvmeSanitizeCrypto,
       PurgeBlock::kNone, PurgeCommand::kNone, PurgeBlock::kNone},
      {"Windows 11: sanitize", windows11, everything.Facts(), {}, PurgeCommand::kNvmeSanitizeCrypto, PurgeBlock::kNone,
       PurgeCommand::kNone, PurgeBlock::kNone},
      {"Windows 10: no overwrite, no user-data format", windows10, overwrite_only.Facts(), {}, PurgeCommand::kNone,
       PurgeBlock::kNeedsWindowsPe, PurgeCommand::kNvmeSanitizeOverwrite, PurgeBlock::kNeedsWindowsPe},
      {"Windows 11: an overwrite only in Windows PE", windows11, overwrite_only.Facts(), {}, PurgeCommand::kNone,
       PurgeBlock::kNeedsWindowsPe, PurgeCommand::kNvmeSanitizeOverwrite, PurgeBlock::kNeedsWindowsPe},
      {"namespace not known: no format", windows10, unknown_namespace, {}, PurgeCommand::kNone,
       PurgeBlock::kNeedsWindowsPe, PurgeCommand::kNvmeSanitizeCrypto, PurgeBlock::kNeedsWindowsPe},
      {"namespace not known, Linux: sanitize still", kLinux, unknown_namespace, {}, PurgeCommand::kNvmeSanitizeCrypto,
       PurgeBlock::kNone, PurgeCommand::kNone, PurgeBlock::kNone},
      {"Windows: no security erase", windows11, {}, security_only, PurgeCommand::kNone, PurgeBlock::kNeedsWindowsPe,
       PurgeCommand::kAtaEnhancedSecureErase, PurgeBlock::kNeedsWindowsPe},
      {"Windows: frozen by Windows itself", windows10, {}, security_frozen, PurgeCommand::kNone,
       PurgeBlock::kNeedsWindowsPe, PurgeCommand::kAtaEnhancedSecureErase, PurgeBlock::kNeedsWindowsPe},
      {"Windows PE: security erase", windows10_pe, {}, security_only, PurgeCommand::kAtaEnhancedSecureErase,
       PurgeBlock::kNone, PurgeCommand::kNone, PurgeBlock::kNone},
      {"Windows PE, frozen: re-plug only", windows10_pe, {}, security_frozen, PurgeCommand::kNone,
       PurgeBlock::kFrozenReplug, PurgeCommand::kNone, PurgeBlock::kNone},
      {"Linux, frozen: suspend or re-plug", kLinux, {}, security_frozen, PurgeCommand::kNone, PurgeBlock::kFrozen,
       PurgeCommand::kNone, PurgeBlock::kNone},
      {"Windows 7 PE: nothing of security", windows7_pe, {}, security_only, PurgeCommand::kNone,
       PurgeBlock::kNotOnThisWindows, PurgeCommand::kAtaEnhancedSecureErase, PurgeBlock::kNotOnThisWindows},
      {"Windows: no crypto scramble, block erase", windows11, {}, sanitize_all, PurgeCommand::kAtaSanitizeBlock,
       PurgeBlock::kNone, PurgeCommand::kAtaSanitizeCrypto, PurgeBlock::kNeedsWindowsPe},
  };
  for (const Case& c : cases) {
    const Transport transport = c.nvme ? Transport::kNvme : Transport::kAta;
    const PurgeCapability cap = ChoosePurge(transport, c.nvme, c.ata, c.host);
    EXPECT_EQ(cap.command, c.command) << c.what;
    EXPECT_EQ(cap.block, c.block) << c.what;
    if (c.first_withheld == PurgeCommand::kNone) {
      EXPECT_TRUE(cap.withheld.empty()) << c.what;
    } else {
      ASSERT_FALSE(cap.withheld.empty()) << c.what;
      EXPECT_EQ(cap.withheld.front().first, c.first_withheld) << c.what;
      EXPECT_EQ(cap.withheld.front().second, c.withheld_why) << c.what;
    }
  }
  // The purge frame names what this Windows cannot send and why.
  const std::vector<std::string> lines = PurgeCapabilityLines(ChoosePurge(Transport::kNvme, everything.Facts(), {}, windows10));
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      PurgeCommandName(PurgeCommand::kNvmeSanitizeCrypto) + ": " +
                          PurgeBlockText(PurgeBlock::kNeedsWindowsPe)),
            lines.end());
  // Windows PE's password is the one the security erase sets, and the texts name it.
  const PurgeCapability pe = ChoosePurge(Transport::kAta, {}, security_only, windows10_pe);
  EXPECT_EQ(pe.ata_password, platform::kWindowsPePassword);
  EXPECT_EQ(ChoosePurge(Transport::kAta, {}, security_only, kLinux).ata_password, ata::kTemporaryPassword);
  const std::vector<std::string> pe_lines = PurgeCapabilityLines(pe);
  EXPECT_TRUE(std::any_of(pe_lines.begin(), pe_lines.end(), [](const std::string& l) {
    return l.find("AutoATAWindowsString12345678901") != std::string::npos;
  }));
}

TEST(PurgeCapability, TransportAndUnansweredIdentify) {
  EXPECT_EQ(TransportOfBus(winconst::kBusTypeNvme), Transport::kNvme);
  EXPECT_EQ(TransportOfBus(winconst::kBusTypeSata), Transport::kAta);
  EXPECT_EQ(TransportOfBus(winconst::kBusTypeUsb), Transport::kUsbBridge);
  EXPECT_EQ(TransportOfBus(winconst::kBusTypeFileBackedVirtual), Transport::kOther);
  EXPECT_EQ(ChoosePurge(Transport::kUsbBridge, {}, {}, kLinux).block, PurgeBlock::kUsbBridge);
  EXPECT_EQ(ChoosePurge(Transport::kNvme, {}, {}, kLinux).block, PurgeBlock::kNotSupported);
  EXPECT_FALSE(PurgeBlockText(PurgeBlock::kFrozen).empty());
}

TEST(PurgeCapability, AtaEraseTimesInBothFormats) {
  EXPECT_EQ(ParseAtaIdentify(AtaIdentify(0, 2, 1, 30).data()).erase_minutes, 60u);
  EXPECT_EQ(ParseAtaIdentify(AtaIdentify(0, 2, 1, 0x8000 | 300).data()).erase_minutes, 600u);
  EXPECT_EQ(ParseAtaIdentify(AtaIdentify(0, 2, 1, 0x0F1E).data()).erase_minutes, 60u);  // short format: 8 bits
}

TEST(PurgeCommands, FormatKeepsTheFormatInUseAndSanitizeCarriesItsKeys) {
  NvmeIdentify id(2, 0, 0, 1, 0, /*flbas=*/0x32);  // index 0x12, extended metadata
  NvmeFacts f = id.Facts();
  f.protection = 0x09;  // type 1, in the first bytes
  const platform::NvmeAdminCommand format = nvme::Format(7, f, nvme::kSesCrypto);
  EXPECT_EQ(format.opcode, 0x80);
  EXPECT_EQ(format.nsid, 7u);
  EXPECT_EQ(format.cdw10, 0x2u | 1u << 4 | 1u << 5 | 1u << 8 | 2u << 9 | 1u << 12);
  EXPECT_EQ(nvme::Sanitize(nvme::kSanitizeCryptoErase).cdw10, 4u);
  EXPECT_EQ(nvme::Sanitize(nvme::kSanitizeOverwrite).cdw10, 3u | 1u << 4);
  uint8_t log[512] = {};
  EXPECT_EQ(nvme::SanitizeStatusLog(log).cdw10, 0x81u | 127u << 16);

  uint8_t block[512];
  const platform::AtaCommand erase = ata::EraseUnit(block, platform::kWindowsPePassword, true, 120);
  EXPECT_EQ(erase.command, 0xF4);
  EXPECT_EQ(block[0], 0x02);  // enhanced, user password
  // The password bytes in the order they are typed (not swapped as ATA
  // strings are), zero-padded to 32.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(block + 2), 31), "AutoATAWindowsString12345678901");
  EXPECT_EQ(block[33], 0);
  ata::SetPassword(block, ata::kTemporaryPassword);
  EXPECT_EQ(block[2], 'P');
  EXPECT_EQ(block[12], 0);
  EXPECT_EQ(ata::Sanitize(ata::kSanitizeBlock).lba, 0x426B4572u);
  const ata::SanitizeStatus s = ata::ParseSanitizeStatus({0x40, 0, 0x4000, 0x8000});
  EXPECT_TRUE(s.in_progress);
  EXPECT_FALSE(s.completed);
  EXPECT_EQ(s.progress, 0x8000);
}

// The hidden areas of simulated ATA drives: what the queries find, the
// rules a SET MAX ADDRESS EXT follows, and that a lift reaches the sectors
// that were hidden.
TEST(HiddenArea, WhatDrivesHideAndTheSetMaxRules) {
  auto m = test::MakeMachine(R"(
disk 0 sectors=4096 bus=sata product="Plain" security=normal
disk 1 sectors=4096 bus=sata product="Hpa" hpa=1024
disk 2 sectors=4096 bus=sata product="Both" hpa=512 dco=256
disk 3 sectors=4096 bus=sata product="Frozen" hpa=64 hpa-frozen=yes
disk 4 sectors=4096 bus=nvme product="Nvme" sanitize=crypto
disk 5 sectors=4096 bus=usb product="Blocks" hpa=8
disk 6 sectors=1000 sector-size=4096 bus=sata product="FourK" hpa=10
windows-version 10.0.19045
)");
  struct Case {
    uint32_t disk;
    bool answered;
    uint64_t hpa, dco;
    std::optional<uint64_t> dco_sectors;
    bool liftable;
  } cases[] = {
      {0, true, 0, 0, std::nullopt, false},  {1, true, 1024, 0, std::nullopt, true},
      {2, true, 512, 256, 4096 + 768, true}, {3, true, 64, 0, std::nullopt, true},
      {4, false, 0, 0, std::nullopt, false}, {5, false, 0, 0, std::nullopt, false},
  };
  for (const Case& c : cases) {
    const std::string path = "\\\\.\\PHYSICALDRIVE" + std::to_string(c.disk);
    auto device = m->OpenDevice(path, platform::Access::kReadWrite);
    ASSERT_TRUE(device.ok()) << c.disk;
    const uint32_t bus = c.disk == 4 ? winconst::kBusTypeNvme : c.disk == 5 ? winconst::kBusTypeUsb : winconst::kBusTypeSata;
    const HiddenArea area = QueryHiddenArea(**device, bus, m->System());
    EXPECT_EQ(area.answered, c.answered) << c.disk;
    EXPECT_EQ(area.HpaSectors(), c.hpa) << c.disk;
    EXPECT_EQ(area.DcoSectors(), c.dco) << c.disk;
    EXPECT_EQ(area.dco_sectors, c.dco_sectors) << c.disk;
    EXPECT_EQ(area.liftable, c.liftable) << c.disk;
    EXPECT_EQ(area.host_sectors, c.answered ? 4096u : 0u) << c.disk;
    EXPECT_EQ(SectorsBeyond(area, 4096 * 512), c.hpa + c.dco) << c.disk;
  }
  // A drive of 4 KiB sectors counts its addresses in them; what an erase
  // leaves is counted from its bytes.
  auto large_sectors = m->OpenDevice("\\\\.\\PHYSICALDRIVE6", platform::Access::kReadWrite);
  ASSERT_TRUE(large_sectors.ok());
  const HiddenArea four_k = QueryHiddenArea(**large_sectors, winconst::kBusTypeSata, m->System());
  EXPECT_EQ(four_k.sector_size, 4096u);
  EXPECT_EQ(four_k.host_sectors, 1000u);
  EXPECT_EQ(SectorsBeyond(four_k, 1000ull * 4096), 10u);
  EXPECT_EQ(SectorsBeyond(four_k, 8000ull * 512), 10u);
  auto drive = m->OpenDevice("\\\\.\\PHYSICALDRIVE2", platform::Access::kReadWrite);
  ASSERT_TRUE(drive.ok());
  platform::Device& d = **drive;
  auto send = [&d](const platform::AtaCommand& c) {
    platform::Result<platform::AtaReply> r = d.AtaPassThrough(c);
    return r.ok() ? *r : platform::AtaReply{0x41, 0x04, 0, 0};
  };
  // Not right after READ NATIVE MAX ADDRESS EXT: refused, the size kept.
  EXPECT_TRUE(send(ata::SetMaxAddress(4607)).Failed());
  // Past the native maximum (into the overlay's part): not found.
  EXPECT_FALSE(send(ata::ReadNativeMaxAddress()).Failed());
  const platform::AtaReply past = send(ata::SetMaxAddress(4608));
  EXPECT_TRUE(past.Failed());
  EXPECT_EQ(past.error, ata::kErrorIdNotFound);
  // A non-volatile one is not kept by this drive.
  EXPECT_FALSE(send(ata::ReadNativeMaxAddress()).Failed());
  platform::AtaCommand keep = ata::SetMaxAddress(4607);
  keep.count = ata::kSetMaxNonVolatile;
  EXPECT_TRUE(send(keep).Failed());
  EXPECT_EQ(m->DiskSize(2), 4096u * 512);
  // Bytes planted in the hidden area come into reach with the lift.
  const std::vector<uint8_t> planted(512, 0xC3);
  ASSERT_TRUE(m->PokeDisk(2, 4600ull * 512, planted.data(), planted.size()));
  std::vector<uint8_t> sector(512);
  EXPECT_FALSE(d.SetPosition(4600ull * 512).ok() && d.Read(sector.data(), 512).ok() && sector == planted);
  EXPECT_FALSE(send(ata::ReadNativeMaxAddress()).Failed());
  EXPECT_FALSE(send(ata::SetMaxAddress(4607)).Failed());
  EXPECT_EQ(m->DiskSize(2), 4608u * 512);
  ASSERT_TRUE(d.SetPosition(4600ull * 512).ok());
  ASSERT_TRUE(d.Read(sector.data(), 512).ok());
  EXPECT_EQ(sector, planted);
  const HiddenArea lifted = QueryHiddenArea(d, winconst::kBusTypeSata, m->System());
  EXPECT_EQ(lifted.host_sectors, 4608u);
  EXPECT_EQ(lifted.HpaSectors(), 0u);
  EXPECT_EQ(lifted.DcoSectors(), 256u);  // the overlay's part stays out of reach
  // SET MAX FREEZE LOCK at start: every SET MAX refused.
  auto frozen = m->OpenDevice("\\\\.\\PHYSICALDRIVE3", platform::Access::kReadWrite);
  ASSERT_TRUE(frozen.ok());
  ASSERT_FALSE((*frozen)->AtaPassThrough(ata::ReadNativeMaxAddress())->Failed());
  EXPECT_TRUE((*frozen)->AtaPassThrough(ata::SetMaxAddress(4159))->Failed());
  EXPECT_EQ(m->DiskSize(3), 4096u * 512);
  const std::vector<std::string> journal = m->FirmwareJournal(3);
  EXPECT_EQ(journal.back(), "ata set-max lba=4159 volatile -> failed");
}

TEST(HiddenArea, OverlayDataMustPassItsIntegrityCheck) {
  std::vector<uint8_t> dco(512, 0);
  dco[6] = 0xFF;  // maximum LBA 255
  dco[510] = ata::kDcoSignature;
  uint8_t sum = 0;
  for (int i = 0; i < 511; ++i) sum = uint8_t(sum + dco[i]);
  dco[511] = uint8_t(-sum);
  EXPECT_EQ(ata::ParseDcoSectors(dco.data()), 256u);
  dco[100] ^= 1;  // one bit changed
  EXPECT_EQ(ata::ParseDcoSectors(dco.data()), std::nullopt);
  dco[100] ^= 1;
  dco[510] = 0x5A;  // no signature
  dco[511] = uint8_t(dco[511] + ata::kDcoSignature - 0x5A);
  EXPECT_EQ(ata::ParseDcoSectors(dco.data()), std::nullopt);
}

}  // namespace
}  // namespace plexi
