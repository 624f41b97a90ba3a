// The VPD pages the kernel keeps in sysfs, as any bytes a drive or a bridge
// may have answered: the unit serial number page and the ATA Information
// page must give trimmed text within the page, or nothing.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/posix/vpd_pages.h"

using namespace plexi;

namespace {

bool Clean(const std::string& text, size_t most) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  return text.size() <= most && text.find('\0') == std::string::npos &&
         (text.empty() || (!blank(text.front()) && !blank(text.back())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const std::string serial = posix::SerialOfVpd80(page);
  FUZZ_CHECK(Clean(serial, size));
  if (const std::optional<posix::AtaStrings> ata = posix::AtaStringsOfVpd89(page)) {
    FUZZ_CHECK(size >= 572);
    FUZZ_CHECK(Clean(ata->serial, 20) && Clean(ata->firmware, 8) && Clean(ata->model, 40));
  }
  return 0;
}
