// The sectors an ATA drive keeps from the host: a host protected area (SET
// MAX ADDRESS) below its native maximum, and a device configuration overlay
// below the medium's real maximum. Asked with READ NATIVE MAX ADDRESS EXT and
// DEVICE CONFIGURATION IDENTIFY, which change nothing on the drive.
#pragma once
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "util/language.h"

namespace plexi {

struct HiddenArea {
  bool asked = false;          // an ATA drive, or one behind a bridge: the commands were sent
  bool access_denied = false;  // the handle's access, not the drive, refused them
  // The drive answered READ NATIVE MAX ADDRESS EXT and IDENTIFY DEVICE;
  // nothing else here holds without it.
  bool answered = false;
  uint32_t sector_size = 512;   // the drive's logical sector, which its addresses count
  uint64_t host_sectors = 0;    // what the drive lets the host address now (IDENTIFY)
  uint64_t native_sectors = 0;  // the native maximum address + 1
  // The overlay's maximum LBA + 1; none where the drive has no overlay or
  // its data failed the integrity check.
  std::optional<uint64_t> dco_sectors;
  // This system carries SET MAX ADDRESS EXT, so the host protected area
  // could be lifted (volatile, until the next power cycle).
  bool liftable = false;

  uint64_t HpaSectors() const { return native_sectors > host_sectors ? native_sectors - host_sectors : 0; }
  uint64_t DcoSectors() const {
    const uint64_t top = std::max(native_sectors, host_sectors);
    return dco_sectors && *dco_sectors > top ? *dco_sectors - top : 0;
  }
  // Every sector of the medium that is known of.
  uint64_t MediumSectors() const { return std::max(host_sectors, native_sectors) + DcoSectors(); }
  uint64_t HiddenSectors() const { return answered ? HpaSectors() + DcoSectors() : 0; }
};

// Asks an ATA drive (or one behind a bridge that passes ATA commands); a
// drive of another bus, or one that does not answer, is `answered` false.
HiddenArea QueryHiddenArea(platform::Device& device, uint32_t bus_type, const platform::HostSystem& host);

// Lets the host address `sectors` sectors until the next power cycle: READ
// NATIVE MAX ADDRESS EXT, then right after it the volatile SET MAX ADDRESS
// EXT the drive takes only so. False when the drive refused either.
bool SetHostSectors(platform::Device& device, uint64_t sectors);

// The medium's sectors (of the drive's own size) beyond the first
// `erased_bytes`: what an erase of those bytes does not reach (0 when the
// drive did not answer). Bytes, because a bridge may show the host sectors
// of another size than the drive's.
uint64_t SectorsBeyond(const HiddenArea& area, uint64_t erased_bytes);

// "隠し領域: 2048 セクタ (HPA 1024 / DCO 1024)" and the facts behind it, one line each.
std::vector<std::string> HiddenAreaLines(const HiddenArea& area, Language language = Language::kJapanese);

namespace ata {
platform::AtaCommand ReadNativeMaxAddress();
// Volatile: the drive forgets it at the next power cycle.
platform::AtaCommand SetMaxAddress(uint64_t max_lba);
platform::AtaCommand DcoIdentify(uint8_t* reply512);
// The user-addressable sectors IDENTIFY DEVICE reports (words 100-103 where
// 48-bit addressing is supported, else 60-61).
uint64_t IdentifySectors(const uint8_t* identify512);
// The logical sector size IDENTIFY DEVICE reports (words 106, 117-118); 512
// where it says none.
uint32_t IdentifySectorSize(const uint8_t* identify512);
// Words 3-6 + 1; none when the signature or the checksum of word 255 is wrong.
std::optional<uint64_t> ParseDcoSectors(const uint8_t* dco512);
}  // namespace ata

}  // namespace plexi
