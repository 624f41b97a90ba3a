// Byte layouts of the Win32 structures the device control calls exchange,
// read and written explicitly (little-endian, no struct packing games).
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace plexi::layout {

inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t Load64(const uint8_t* p) { return Load32(p) | uint64_t(Load32(p + 4)) << 32; }
inline void Store32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void Store64(uint8_t* p, uint64_t v) {
  Store32(p, uint32_t(v));
  Store32(p + 4, uint32_t(v >> 32));
}

// DISK_GEOMETRY, 24 bytes.
struct DiskGeometry {
  int64_t cylinders = 0;
  uint32_t media_type = 0;
  uint32_t tracks_per_cylinder = 0;
  uint32_t sectors_per_track = 0;
  uint32_t bytes_per_sector = 0;

  uint64_t SectorCount() const {
    return uint64_t(cylinders) * tracks_per_cylinder * sectors_per_track;
  }
  static DiskGeometry Decode(const uint8_t* p) {
    return {int64_t(Load64(p)), Load32(p + 8), Load32(p + 12), Load32(p + 16), Load32(p + 20)};
  }
  void Encode(uint8_t* p) const {
    Store64(p, uint64_t(cylinders));
    Store32(p + 8, media_type);
    Store32(p + 12, tracks_per_cylinder);
    Store32(p + 16, sectors_per_track);
    Store32(p + 20, bytes_per_sector);
  }
};

// PARTITION_INFORMATION, 32 bytes.
struct PartitionInformation {
  int64_t starting_offset = 0;
  int64_t partition_length = 0;
  uint32_t hidden_sectors = 0;
  uint32_t partition_number = 0;
  uint8_t partition_type = 0;
  uint8_t boot_indicator = 0;
  uint8_t recognized = 0;
  uint8_t rewrite = 0;

  static PartitionInformation Decode(const uint8_t* p) {
    return {int64_t(Load64(p)), int64_t(Load64(p + 8)), Load32(p + 16), Load32(p + 20),
            p[24], p[25], p[26], p[27]};
  }
  void Encode(uint8_t* p) const {
    Store64(p, uint64_t(starting_offset));
    Store64(p + 8, uint64_t(partition_length));
    Store32(p + 16, hidden_sectors);
    Store32(p + 20, partition_number);
    p[24] = partition_type;
    p[25] = boot_indicator;
    p[26] = recognized;
    p[27] = rewrite;
  }
};

// STORAGE_DEVICE_DESCRIPTOR header, 40 bytes; the strings it points at and
// any trailing bytes follow it in the same reply.
struct StorageDescriptorHeader {
  uint32_t version = 0;
  uint32_t size = 0;
  uint8_t device_type = 0;
  uint8_t device_type_modifier = 0;
  uint8_t removable_media = 0;
  uint8_t command_queueing = 0;
  uint32_t vendor_id_offset = 0;
  uint32_t product_id_offset = 0;
  uint32_t product_revision_offset = 0;
  uint32_t serial_number_offset = 0;
  uint32_t bus_type = 0;
  uint32_t raw_properties_length = 0;

  static StorageDescriptorHeader Decode(const uint8_t* p) {
    StorageDescriptorHeader h;
    h.version = Load32(p);
    h.size = Load32(p + 4);
    h.device_type = p[8];
    h.device_type_modifier = p[9];
    h.removable_media = p[10];
    h.command_queueing = p[11];
    h.vendor_id_offset = Load32(p + 12);
    h.product_id_offset = Load32(p + 16);
    h.product_revision_offset = Load32(p + 20);
    h.serial_number_offset = Load32(p + 24);
    h.bus_type = Load32(p + 28);
    h.raw_properties_length = Load32(p + 32);
    return h;
  }
  void Encode(uint8_t* p) const {
    Store32(p, version);
    Store32(p + 4, size);
    p[8] = device_type;
    p[9] = device_type_modifier;
    p[10] = removable_media;
    p[11] = command_queueing;
    Store32(p + 12, vendor_id_offset);
    Store32(p + 16, product_id_offset);
    Store32(p + 20, product_revision_offset);
    Store32(p + 24, serial_number_offset);
    Store32(p + 28, bus_type);
    Store32(p + 32, raw_properties_length);
    std::memset(p + 36, 0, 4);
  }
};

// VOLUME_DISK_EXTENTS: the extent count at 0, then DISK_EXTENT entries of 24
// bytes each starting at 8 (disk number, starting offset, length).
inline constexpr uint32_t kDiskExtentsHeaderSize = 8;
inline constexpr uint32_t kDiskExtentSize = 24;
struct DiskExtent {
  uint32_t disk_number = 0;
  int64_t starting_offset = 0;
  int64_t extent_length = 0;
};

}  // namespace plexi::layout
