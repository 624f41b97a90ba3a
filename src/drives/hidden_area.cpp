#include "drives/hidden_area.h"

#include "drives/purge_capability.h"
#include "platform/firmware_codes.h"
#include "platform/firmware_routes.h"
#include "platform/winconst.h"

namespace plexi {
namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool AnswersAta(uint32_t bus_type) {
  const Transport t = TransportOfBus(bus_type);
  return t == Transport::kAta || t == Transport::kUsbBridge;
}

std::optional<uint64_t> AskNativeSectors(platform::Device& device) {
  platform::Result<platform::AtaReply> r = device.AtaPassThrough(ata::ReadNativeMaxAddress());
  if (!r.ok() || r->Failed()) return std::nullopt;
  return (r->lba & 0xFFFFFFFFFFFFull) + 1;
}

std::optional<uint64_t> AskDcoSectors(platform::Device& device) {
  std::vector<uint8_t> dco(512);
  platform::Result<platform::AtaReply> r = device.AtaPassThrough(ata::DcoIdentify(dco.data()));
  if (!r.ok() || r->Failed()) return std::nullopt;
  return ata::ParseDcoSectors(dco.data());
}

}  // namespace

HiddenArea QueryHiddenArea(platform::Device& device, uint32_t bus_type, const platform::HostSystem& host) {
  HiddenArea area;
  if (!AnswersAta(bus_type)) return area;
  area.asked = true;
  std::vector<uint8_t> id(512);
  platform::Result<platform::AtaReply> identified = device.AtaPassThrough(ata::Identify(id.data()));
  area.access_denied = !identified.ok() && identified.error() == winconst::kErrorAccessDenied;
  if (!identified.ok() || identified->Failed()) return area;
  const std::optional<uint64_t> native = AskNativeSectors(device);
  if (!native) return area;
  area.answered = true;
  area.sector_size = ata::IdentifySectorSize(id.data());
  area.host_sectors = ata::IdentifySectors(id.data());
  area.native_sectors = *native;
  // Word 83 bit 11: the overlay feature set; a drive without it aborts.
  const uint16_t w83 = Le16(id.data() + 2 * 83);
  if (w83 != 0xFFFF && (w83 >> 11 & 1)) area.dco_sectors = AskDcoSectors(device);
  area.liftable = area.HpaSectors() > 0 && platform::AtaCommandCarried(host, ata::SetMaxAddress(*native - 1));
  return area;
}

bool SetHostSectors(platform::Device& device, uint64_t sectors) {
  if (sectors == 0) return false;
  platform::Result<platform::AtaReply> read = device.AtaPassThrough(ata::ReadNativeMaxAddress());
  if (!read.ok() || read->Failed()) return false;
  platform::Result<platform::AtaReply> set = device.AtaPassThrough(ata::SetMaxAddress(sectors - 1));
  return set.ok() && !set->Failed();
}

uint64_t SectorsBeyond(const HiddenArea& area, uint64_t erased_bytes) {
  if (!area.answered) return 0;
  const uint64_t erased = erased_bytes / area.sector_size;
  const uint64_t medium = area.MediumSectors();
  return medium > erased ? medium - erased : 0;
}

std::vector<std::string> HiddenAreaLines(const HiddenArea& area, Language language) {
  const auto in = [language](const char* english, const char* japanese) {
    return std::string(InLanguage(language, english, japanese));
  };
  if (!area.asked) return {in("hidden area: not asked (not an ATA drive)", "隠し領域: 調べていません（ATA ドライブではありません）")};
  if (!area.answered)
    return {in("hidden area: unknown (the drive does not answer the maximum address query)",
               "隠し領域: 不明（ドライブが最大アドレスの問い合わせに答えません）")};
  std::vector<std::string> lines;
  lines.push_back(in("hidden area: ", "隠し領域: ") + std::to_string(area.HiddenSectors()) +
                  in(" sectors (HPA ", " セクタ (HPA ") + std::to_string(area.HpaSectors()) + " / DCO " +
                  std::to_string(area.DcoSectors()) + ")");
  lines.push_back(in("sectors the host sees: ", "ホストから見えるセクタ数: ") + std::to_string(area.host_sectors));
  lines.push_back(in("native maximum sectors (READ NATIVE MAX): ", "本来の最大セクタ数 (READ NATIVE MAX): ") +
                  std::to_string(area.native_sectors));
  lines.push_back(in("DCO maximum sectors: ", "DCO の最大セクタ数: ") +
                  (area.dco_sectors ? std::to_string(*area.dco_sectors) : in("unknown", "不明")));
  if (area.HpaSectors() > 0)
    lines.push_back(area.liftable
                        ? in("HPA: can be lifted for a while from this system (until the drive is switched off)",
                             "HPA: このシステムから一時的に解除できます（電源を入れ直すと戻ります）")
                        : in("HPA: cannot be lifted from this system", "HPA: このシステムからは解除できません"));
  if (area.DcoSectors() > 0)
    lines.push_back(in("the area a DCO hides cannot be lifted for a while", "DCO で隠された領域は、一時的には解除できません"));
  return lines;
}

namespace ata {

platform::AtaCommand ReadNativeMaxAddress() {
  platform::AtaCommand c;
  c.command = kCmdReadNativeMaxExt;
  return c;
}

platform::AtaCommand SetMaxAddress(uint64_t max_lba) {
  platform::AtaCommand c;
  c.command = kCmdSetMaxAddressExt;
  c.lba = max_lba & 0xFFFFFFFFFFFFull;
  c.count = 0;  // VV clear: volatile
  return c;
}

platform::AtaCommand DcoIdentify(uint8_t* reply512) {
  platform::AtaCommand c;
  c.command = kCmdDeviceConfiguration;
  c.feature = kDcoIdentify;
  c.direction = platform::AtaCommand::Data::kIn;
  c.data = reply512;
  c.data_length = 512;
  return c;
}

uint64_t IdentifySectors(const uint8_t* id) {
  auto word = [id](int n) { return uint64_t(Le16(id + 2 * n)); };
  const uint16_t w83 = uint16_t(word(83));
  const bool lba48 = w83 != 0xFFFF && (w83 >> 10 & 1);
  if (lba48) return word(100) | word(101) << 16 | word(102) << 32 | word(103) << 48;
  return word(60) | word(61) << 16;
}

uint32_t IdentifySectorSize(const uint8_t* id) {
  // Word 106 is valid with bit 14 set and bit 15 clear; bit 12: the
  // logical sector is longer than 256 words, and words 117-118 say how many.
  const uint16_t w106 = Le16(id + 2 * 106);
  if ((w106 & 0xC000) != 0x4000 || !(w106 >> 12 & 1)) return 512;
  const uint32_t words = uint32_t(Le16(id + 2 * 117)) | uint32_t(Le16(id + 2 * 118)) << 16;
  // Nothing but a power of two from 512 bytes to 64 KiB is taken as a size.
  const bool plausible = words >= 256 && words <= 32768 && (words & (words - 1)) == 0;
  return plausible ? words * 2 : 512;
}

std::optional<uint64_t> ParseDcoSectors(const uint8_t* dco) {
  // Word 255: signature A5h in bits 7:0, and a checksum that makes all 512
  // bytes sum to zero.
  uint8_t sum = 0;
  for (int i = 0; i < 512; ++i) sum = uint8_t(sum + dco[i]);
  if (dco[510] != kDcoSignature || sum != 0) return std::nullopt;
  uint64_t max_lba = 0;
  for (int i = 3; i >= 0; --i) max_lba = max_lba << 16 | Le16(dco + 6 + 2 * i);
  return (max_lba & 0xFFFFFFFFFFFFull) + 1;
}

}  // namespace ata
}  // namespace plexi
