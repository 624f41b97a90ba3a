// drvnotlist.txt as the program reads it for every lookup and change (any
// bytes, ANSI code page), with a drive row whose descriptor strings come
// from the fuzzer too: lookups, protecting and allowing the row, and the
// migration of old entries at the first run.
#include <cstdint>
#include <string>

#include "drives/forbidden_list.h"
#include "util/text_lines.h"
#include "fuzz_support.h"

using namespace plexi;

namespace {

constexpr char kPath[] = "C:\\Plexiscrub\\drvnotlist.txt";

size_t LineCount(const std::string& text) { return SplitTextLines(text).size(); }

// A row as discovery builds it: identity hex, letters "E: F:", a size text,
// and the descriptor's own strings, which are anything a device says.
DriveRow ConsumeRow(FuzzedDataProvider& data) {
  DriveRow row;
  const std::string identity = data.ConsumeRandomLengthString(64);
  row.identity = HexOfBytes(reinterpret_cast<const uint8_t*>(identity.data()), identity.size());
  const int letters = data.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < letters; ++i) {
    if (!row.letters.empty()) row.letters += " ";
    row.letters += std::string{char('D' + data.ConsumeIntegralInRange(0, 22)), ':'};
  }
  row.size_text = FormatSize(data.ConsumeIntegral<uint64_t>());
  row.bus_type = BusTypeName(data.ConsumeIntegralInRange<uint32_t>(0, 20));
  row.vendor = data.ConsumeRandomLengthString(32);
  row.product = data.ConsumeRandomLengthString(32);
  row.serial = data.ConsumeRandomLengthString(32);
  return row;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<sim::SimMachine> machine = fuzz::QuietMachine();
  FuzzedDataProvider provider(data, size);
  const uint8_t mode = provider.ConsumeIntegral<uint8_t>();
  const ViewMode view = (mode & 1) ? ViewMode::kPartition : ViewMode::kPhysical;
  const bool unreadable = (mode & 0x0E) == 0x0E;
  const bool missing = (mode & 0x70) == 0x70;
  const DriveRow row = ConsumeRow(provider);
  const std::string key = provider.ConsumeRandomLengthString(300);
  // Today's identity of a drive is the hex of its descriptor.
  const std::string raw_identity = provider.ConsumeRandomLengthString(40);
  const std::string identity_now =
      HexOfBytes(reinterpret_cast<const uint8_t*>(raw_identity.data()), raw_identity.size());
  const std::string file = provider.ConsumeRemainingBytesAsString();

  fuzz::MemoryFileStore files;
  if (!missing) files.files[kPath] = file;
  if (unreadable && !missing) files.read_error = 5;
  fuzz::KeptMessages notifier;
  ForbiddenList list(*machine, files, kPath, notifier);

  const bool key_forbidden = list.IsForbidden(key);
  const bool row_forbidden = list.IsForbidden(row, view);
  if (unreadable && !missing) {
    // A list that cannot be read protects every drive and is never written.
    FUZZ_CHECK(key_forbidden && row_forbidden);
    FUZZ_CHECK(list.AddForbidden(row, view) == ForbiddenList::Change::kFailed);
    FUZZ_CHECK(list.RemoveForbidden(row, view) == ForbiddenList::Change::kFailed);
    FUZZ_CHECK(!list.MigrateForbiddenList([](char) { return std::string("AB"); }));
    FUZZ_CHECK(files.writes == 0);
    return 0;
  }
  if (missing) FUZZ_CHECK(!key_forbidden && !row_forbidden);

  // First run: old entries rewritten, none lost or added.
  const size_t lines_before = files.Exists(kPath) ? LineCount(files.files[kPath]) : 0;
  const bool migrated = list.MigrateForbiddenList([&](char letter) {
    FUZZ_CHECK(letter >= 'A' && letter <= 'Z');
    return identity_now;
  });
  if (!migrated) FUZZ_CHECK(files.writes == 0);
  if (migrated) FUZZ_CHECK(LineCount(files.files[kPath]) == lines_before);

  const ProtectionKeys keys = ProtectionKeysOf(row, view);
  const bool has_key = !keys.legacy.empty() || !keys.stable.empty();
  // The stable key is plain ASCII with its separators escaped.
  for (char c : keys.stable) FUZZ_CHECK(c >= 0x20 && c < 0x7F && c != '=');

  // Protecting the row protects it; allowing it again frees it.
  const ForbiddenList::Change added = list.AddForbidden(row, view);
  FUZZ_CHECK(added != ForbiddenList::Change::kFailed);
  FUZZ_CHECK(list.IsForbidden(row, view) == has_key);
  if (added == ForbiddenList::Change::kUnchanged) FUZZ_CHECK(!has_key || row_forbidden || migrated);
  const ForbiddenList::Change removed = list.RemoveForbidden(row, view);
  FUZZ_CHECK(removed == (has_key ? ForbiddenList::Change::kChanged : ForbiddenList::Change::kUnchanged));
  FUZZ_CHECK(!list.IsForbidden(row, view));

  // A key of the old form, added and removed by name.
  if (!row.letters.empty()) {
    const std::string legacy = row.IdentityKey();
    list.AddForbidden(legacy, row.bus_type);
    FUZZ_CHECK(list.IsForbidden(legacy));
    list.RemoveForbidden(legacy);
  }
  FUZZ_CHECK(notifier.messages.empty());
  return 0;
}
