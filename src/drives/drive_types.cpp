#include "drives/drive_types.h"

#include <cctype>
#include <cstdio>

namespace plexi {

DriveDesignator DriveDesignator::Letter(char letter) {
  return {Kind::kLetter, uint32_t(std::toupper(static_cast<unsigned char>(letter)))};
}

std::string DriveDesignator::DevicePath() const {
  if (IsPhysical()) return "\\\\.\\PHYSICALDRIVE" + std::to_string(value_);
  return std::string("\\\\.\\") + letter() + ":";
}

TDriveInfo TDriveInfo::ForRefresh() {
  TDriveInfo info;
  info.BusType = "0";
  return info;
}

std::string DriveRow::SubItem(int index) const {
  switch (index) {
    case 0: return bus_type;
    case 1: return letters.empty() ? "―" : letters;  // a drive without a lettered volume
    case 2: return size_text;
    case 3: return method_text;
    case 4: return std::to_string(designator.Code());
    case 5: return std::to_string(record_kind);
    case 6: return not_erasable ? "not" : "";
    case 7: return identity;
    default: return {};
  }
}

std::string FormatSize(uint64_t bytes) {
  struct Unit {
    double scale;
    const char* name;
  };
  static constexpr Unit kUnits[] = {
      {1099511627776.0, "TB"}, {1073741824.0, "GB"}, {1048576.0, "MB"}, {1024.0, "KB"}};
  double value = double(bytes);
  const char* unit = "B";
  for (const Unit& u : kUnits) {
    if (value >= u.scale) {
      value /= u.scale;
      unit = u.name;
      break;
    }
  }
  // At most two decimals; trailing zeros and a bare point dropped.
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string number = text;
  for (char& c : number)
    if (c == ',') c = '.';  // whatever the C locale says, the point is "."
  while (number.back() == '0') number.pop_back();
  if (number.back() == '.') number.pop_back();
  return number + unit;
}

std::string BusTypeName(uint32_t code) {
  static const char* const kNames[] = {
      "",      "SCSI",    "ATAPI", "ATA",  "1394",    "SSA",
      "FIBRE", "USB",     "RAID",  "iSCSI", "SAS",    "SATA",
      "SD",    "MMC",     "Virtual", "FileBackedVirtual", "Spaces", "NVMe",
      "SCM",   "UFS"};
  if (code >= sizeof kNames / sizeof kNames[0]) return {};
  return kNames[code];
}

std::string HexOfBytes(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 15]);
  }
  return hex;
}

}  // namespace plexi
