#include "app/erase_button.h"

#include "erase/confirmation_text.h"
#include "record/erase_method.h"

namespace plexi {

EraseTarget TargetOfRow(const DriveRow& row, ViewMode view, EraseButtonHost& host) {
  EraseTarget target;
  target.device_path = row.designator.DevicePath();
  target.designator = row.designator;
  target.label = DriveLabelOf(row);
  target.view = view;
  target.listed = DriveIdentity{row.vendor, row.product, row.serial, row.identity, row.size_text};
  target.protection = [row, view, &host] { return host.ProtectionRefusal(row, view); };
  return target;
}

namespace {

// The row of the drive just erased, brought up to date and told to the
// other copies, while it still shows that drive.
void UpdateErasedRow(const EraseWorkflow& workflow, RecordLeft result, EraseButtonHost& host,
                     std::vector<DriveRow>& rows, size_t index, const EraseTarget& target, ViewMode view) {
  const bool recorded = result != RecordLeft::kNone;
  if (!(recorded || DriveTouched(workflow.Outcome())) || index >= rows.size() ||
      rows[index].designator != target.designator)
    return;
  DriveRow& row = rows[index];
  int32_t method = MethodCode(workflow.Parameters().EraseMethod);
  if (recorded) {
    row.method_text = EraseMethodText(method);
    row.record_kind = int32_t(RecordKindAfter(result));
  } else {
    // Written but not recorded: the row shows what the first sector holds now.
    const ListRecord& found = workflow.RecordAfterErase();
    method = found.method.value_or(-1);
    row.method_text = found.method ? EraseMethodText(*found.method) : "";
    row.record_kind = int32_t(found.kind);
  }
  host.RepaintRow(index);
  RowChangeMessage message;
  message.partition_view = view == ViewMode::kPartition;
  message.row_index = uint8_t(index);
  message.kind = RowChangeMessage::kEraseResult;
  message.value = uint8_t(method);  // 255: no method
  message.record_kind = uint8_t(row.record_kind);
  host.BroadcastRowChange(message);
}

}  // namespace

std::optional<RecordLeft> SpeedButton2Click(EraseWorkflow& workflow, EraseUi& ui, EraseButtonHost& host,
                                            std::vector<DriveRow>& rows, std::optional<size_t> selected,
                                            ViewMode view) {
  if (!selected || *selected >= rows.size()) return std::nullopt;
  const size_t index = *selected;
  host.RepaintRow(index);
  // The button is disabled for such rows; a stale click must still never
  // reach the system drive or a protected one.
  if (rows[index].not_erasable) return std::nullopt;
  // Everything the erase needs is copied before the first question: the
  // drive watch could otherwise rebuild the rows under it.
  EraseTarget target = TargetOfRow(rows[index], view, host);
  // A protected row on the same storage (the disk of this volume, a volume
  // of this disk) is said before any question.
  if (std::optional<std::string> refusal = target.protection()) {
    ui.ShowMessage(*refusal);
    return std::nullopt;
  }
  const bool watching = host.StopDriveWatch();
  if (!ui.Ask(erase_text::EraseDriveQuestion(target.label)) || !host.NoteForReport(target)) {
    if (watching) host.StartDriveWatch();
    return std::nullopt;
  }
  const RecordLeft result = workflow.RunErase(target);
  UpdateErasedRow(workflow, result, host, rows, index, target, view);
  // An erase that did not prove all of its bytes says so; nobody is there
  // to read it when an action follows, and the report says it anyway.
  if (std::optional<std::string> note = CompletionNote(workflow.Outcome(), workflow.Journal());
      note && !host.Unattended())
    ui.ShowMessage(*note);
  // Filed before the end-of-erase action, which may end the session.
  if (workflow.Journal().due) host.EraseFinished(workflow.Journal());
  host.StartDriveWatch();
  host.ShutdownAfterErase();
  return result;
}

}  // namespace plexi
