// The message another running copy sends (any length, any bytes) as the
// receiver takes it: decoded, then applied to the drive list of a simulated
// machine. Only a well-formed message of this program for a row that
// exists may change a row, and no message ever makes the receiver write a
// file.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "record/erase_method.h"
#include "app/drive_view.h"
#include "drives/row_change.h"
#include "fuzz_support.h"

using namespace plexi;

namespace {

constexpr char kMachine[] =
    "disk 0 size=1G bus=11 product=\"System\" serial=\"S0\"\n"
    "volume C: disk=0 offset=1M length=500M\n"
    "volume D: disk=0 offset=501M\n"
    "disk 1 size=2G bus=11 product=\"Data\" serial=\"S1\"\n"
    "volume E: disk=1 offset=1M\n"
    "record disk=1 kind=complete method=1\n"
    "disk 2 size=1G bus=7 product=\"Stick\" serial=\"S2\" removable=yes\n"
    "volume F: disk=2 type=removable\n";

struct Receiver {
  Receiver() : machine(Machine()), view(*machine, files, notifier) {
    files.files[files.ProgramDirectory() + kForbiddenListFileName] = "#DRIVE|%20|Stick|S2=USB\r\n";
    view.SpeedButton3Click();
    physical = view.Rows();
    view.SetView(ViewMode::kPartition);
    view.SpeedButton3Click();
    partition = view.Rows();
    FUZZ_CHECK(physical.size() >= 2 && partition.size() >= 2);
    files.writes_forbidden = true;
  }
  static std::unique_ptr<sim::SimMachine> Machine() {
    std::string error;
    auto machine = sim::SimMachine::Parse(kMachine, "", &error);
    FUZZ_CHECK(machine != nullptr);
    return machine;
  }

  fuzz::MemoryFileStore files;
  fuzz::KeptMessages notifier;
  std::unique_ptr<sim::SimMachine> machine;
  app::DriveView view;
  std::vector<DriveRow> physical, partition;
};

bool SameRow(const DriveRow& a, const DriveRow& b) {
  return a.caption == b.caption && a.bus_type == b.bus_type && a.letters == b.letters &&
         a.size_text == b.size_text && a.method_text == b.method_text && a.designator == b.designator &&
         a.record_kind == b.record_kind && a.not_erasable == b.not_erasable && a.identity == b.identity &&
         a.vendor == b.vendor && a.product == b.product && a.serial == b.serial && a.root == b.root;
}

// The message's shape, told independently of the decoder.
bool WellFormed(const uint8_t* data, size_t size) {
  static const uint8_t kSignature[6] = {'Q', 'a', 'n', 'd', 'Z', 0};
  return size == RowChangeMessage::kSize && std::memcmp(data, kSignature, 6) == 0 && data[6] <= 1 &&
         data[8] <= RowChangeMessage::kForbiddenState && data[10] <= 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Receiver receiver;
  for (ViewMode mode : {ViewMode::kPhysical, ViewMode::kPartition}) {
    const std::vector<DriveRow>& before = mode == ViewMode::kPhysical ? receiver.physical : receiver.partition;
    receiver.view.SetView(mode);
    receiver.view.MutableRows() = before;

    const std::optional<RowChangeMessage> message = RowChangeMessage::Decode(data, size);
    FUZZ_CHECK(message.has_value() == WellFormed(data, size));
    const bool changed = message && receiver.view.ApplyRowChange(*message);
    const std::vector<DriveRow>& after = receiver.view.Rows();
    FUZZ_CHECK(after.size() == before.size());

    // Which row may change: the indexed row of an erase result sent from
    // the same view. A forbidden-state change re-reads the list, which has
    // not changed here.
    std::optional<size_t> may_change;
    if (message && message->kind == RowChangeMessage::kEraseResult &&
        message->partition_view == (mode == ViewMode::kPartition) && message->row_index < before.size())
      may_change = message->row_index;
    if (!may_change) FUZZ_CHECK(!changed);
    for (size_t i = 0; i < before.size(); ++i) {
      if (may_change == i) {
        FUZZ_CHECK(after[i].record_kind == message->record_kind);
        FUZZ_CHECK(after[i].method_text == EraseMethodText(message->value));
        continue;
      }
      FUZZ_CHECK(SameRow(before[i], after[i]));
    }
    if (message) {
      const auto bytes = message->Encode();
      FUZZ_CHECK(RowChangeMessage::Decode(bytes.data(), bytes.size()) ==
                 (message->kind == RowChangeMessage::kForbiddenState
                      ? RowChangeMessage{message->partition_view, message->row_index, message->kind,
                                         message->value, 0}
                      : *message));
    }
  }
  FUZZ_CHECK(receiver.files.writes == 0);
  return 0;
}
