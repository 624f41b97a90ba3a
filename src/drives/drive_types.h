// The drive designator, the query result and the drive row, with the small
// text helpers the row is built from.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace plexi {

// What to open: a physical drive by number or a volume by letter. The kind is
// explicit, so drive 67 is never mistaken for C:.
class DriveDesignator {
 public:
  enum class Kind : uint8_t { kPhysical, kLetter };

  static DriveDesignator Physical(uint32_t number) { return {Kind::kPhysical, number}; }
  static DriveDesignator Letter(char letter);

  Kind kind() const { return kind_; }
  bool IsPhysical() const { return kind_ == Kind::kPhysical; }
  uint32_t number() const { return value_; }     // physical drives
  char letter() const { return char(value_); }   // volumes
  // "\\.\PHYSICALDRIVE3" or "\\.\E:".
  std::string DevicePath() const;
  // The value handed to the identify library and shown in the row: the drive
  // number, or the letter's character code (67 for C).
  int32_t Code() const { return int32_t(value_); }
  bool operator==(const DriveDesignator&) const = default;

 private:
  DriveDesignator(Kind k, uint32_t v) : kind_(k), value_(v) {}
  Kind kind_;
  uint32_t value_;
};

struct TDriveInfo {
  std::string ProductName;
  std::string VendorName;
  std::string SerialNumber;
  std::string ReportedSerial;  // the descriptor's, where SerialNumber replaced it
  std::string BusType;
  std::string Identity;
  uint64_t SizeBytes = 0;
  std::optional<int32_t> MarkerValue;  // erase method code of the record
  int32_t MarkerKind = 0;

  // Starting values of a refresh: bus type "0", the rest empty or zero.
  static TDriveInfo ForRefresh();
};

// One list row: the caption and the eight sub-items, plus the typed
// designator the row was built for.
struct DriveRow {
  std::string caption;
  std::string bus_type;      // sub-item 0
  std::string letters;       // sub-item 1: "C: D:"
  std::string size_text;     // sub-item 2
  std::string method_text;   // sub-item 3
  std::optional<int32_t> method;  // the record's method code, which method_text names
  DriveDesignator designator = DriveDesignator::Physical(0);  // sub-item 4
  int32_t record_kind = 0;   // sub-item 5
  bool not_erasable = false; // sub-item 6 ("not")
  std::string identity;      // sub-item 7
  // The descriptor's own strings, trimmed: what names the drive whatever
  // its firmware revision or the bridge in front of it.
  std::string vendor, product, serial;
  std::string reported_serial;  // the descriptor's serial, where `serial` replaced it
  // The vendor and model earlier copies knew the drive by, where they differ.
  std::optional<std::string> reported_vendor, reported_product;
  std::string root;          // "C:\": the shell icon of the first letter

  // Sub-item texts as the list carries them.
  std::string SubItem(int index) const;
  // Identity hex + letters + size text: the key of the protection list.
  std::string IdentityKey() const { return identity + letters + size_text; }
};

// "465.76GB", "1TB", "512B".
std::string FormatSize(uint64_t bytes);

// STORAGE_BUS_TYPE as a name; empty for unknown values.
std::string BusTypeName(uint32_t code);

// Upper-case hexadecimal, two digits per byte, no separators.
std::string HexOfBytes(const uint8_t* bytes, size_t count);

}  // namespace plexi
