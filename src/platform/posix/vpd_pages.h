// The SCSI vital product data pages Linux keeps in sysfs (vpd_pg80,
// vpd_pg89): the unit serial number, and the ATA drive's own IDENTIFY
// DEVICE strings that a SCSI-to-ATA translation (libata) carries in the
// ATA Information page. The pages are binary, as the drive or the
// translation answered them.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace plexi::posix {

// The serial of a Unit Serial Number page (80h), blanks trimmed; empty when
// the bytes are not such a page or the serial is blank.
std::string SerialOfVpd80(std::string_view page);

// Serial number, firmware revision and model as the drive's IDENTIFY data
// holds them (words 10-19, 23-26, 27-46), trimmed; the model is never cut
// at the 16 characters of the SCSI inquiry.
struct AtaStrings {
  std::string serial, firmware, model;
};
// Nothing when the bytes are not an ATA Information page (89h) holding
// IDENTIFY data.
std::optional<AtaStrings> AtaStringsOfVpd89(std::string_view page);

}  // namespace plexi::posix
