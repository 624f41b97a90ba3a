// The storage descriptor reply (IOCTL_STORAGE_QUERY_PROPERTY) of a device
// that answers with any bytes, read by QueryDescriptor and ReadDriveIdentity
// and, through a machine whose every reply the fuzzer chose, by the list's
// DriveDiscovery::QueryDrive.
#include <cstdint>
#include <string>

#include "drives/discovery.h"
#include "drives/target_check.h"
#include "fuzz_support.h"
#include "platform/ioctl_layout.h"

using namespace plexi;

namespace {

bool Trimmed(const std::string& text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  return text.empty() || (!blank(text.front()) && !blank(text.back()));
}

bool IsUpperHex(const std::string& text) {
  if (text.size() % 2 != 0) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

void CheckFacts(const DescriptorFacts& facts, const fuzz::Reply& reply) {
  for (const std::string* text : {&facts.vendor, &facts.product, &facts.serial}) {
    FUZZ_CHECK(text->find('\0') == std::string::npos);
    FUZZ_CHECK(Trimmed(*text));
    FUZZ_CHECK(text->size() < winconst::kStorageDescriptorBufferSize);
  }
  FUZZ_CHECK(IsUpperHex(facts.identity_hex));
  FUZZ_CHECK(facts.identity_hex.size() <= 2 * winconst::kStorageDescriptorBufferSize);
  if (!facts.has_header) {
    FUZZ_CHECK(reply.bytes.size() < winconst::kStorageDescriptorHeaderSize);
    FUZZ_CHECK(facts.vendor.empty() && facts.product.empty() && facts.serial.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const ViewMode view = provider.ConsumeBool() ? ViewMode::kPartition : ViewMode::kPhysical;
  const bool by_letter = provider.ConsumeBool();
  fuzz::ScriptedMachine machine;
  if (provider.ConsumeBool()) machine.identify = provider.ConsumeBytesAsString(512);
  fuzz::Replies replies = fuzz::ConsumeReplies(provider, 1200);
  const std::string sector = provider.ConsumeRandomLengthString(4096);
  // The descriptor reply itself: the rest of the input, as received.
  fuzz::Reply& descriptor = replies[winconst::kIoctlStorageQueryProperty];
  descriptor.ok = true;
  descriptor.error = 0;
  descriptor.bytes = provider.ConsumeRemainingBytesAsString();
  descriptor.bytes_claimed = uint32_t(descriptor.bytes.size());

  fuzz::ScriptedDevice device(replies, sector);
  const std::optional<DescriptorFacts> facts = QueryDescriptor(device);
  FUZZ_CHECK(facts.has_value() == !descriptor.bytes.empty());
  if (facts) CheckFacts(*facts, descriptor);
  const std::optional<DriveIdentity> identity = ReadDriveIdentity(device);
  FUZZ_CHECK(identity.has_value() == facts.has_value());
  if (identity) FUZZ_CHECK(identity->vendor == facts->vendor && identity->identity_hex == facts->identity_hex);

  // The list's query of one drive, every reply scripted.
  const DriveDesignator designator = by_letter ? DriveDesignator::Letter('E') : DriveDesignator::Physical(1);
  machine.devices[designator.DevicePath()] = {replies, sector};
  fuzz::KeptMessages notifier;
  DriveDiscovery discovery(machine, notifier);
  TDriveInfo info = TDriveInfo::ForRefresh();
  const std::string product = discovery.QueryDrive(designator, info, view);
  FUZZ_CHECK(product == info.ProductName || product.empty());
  if (!product.empty()) FUZZ_CHECK(info.BusType == BusTypeName(layout::Load32(reinterpret_cast<const uint8_t*>(descriptor.bytes.data()) + 28)) || info.BusType == "ATA");
  for (const std::string* text : {&info.ProductName, &info.VendorName, &info.SerialNumber})
    FUZZ_CHECK(text->find('\0') == std::string::npos && Trimmed(*text));
  FUZZ_CHECK(IsUpperHex(info.Identity));
  if (info.MarkerKind == 0) FUZZ_CHECK(!info.MarkerValue);
  return 0;
}
