#include "erase/erase_workflow.h"

namespace plexi {

EraseWorkflow::EraseWorkflow(platform::Machine& machine, EraseUi& ui, EraseEnvironment& env,
                             EstimateState& estimate, Pacing pacing)
    : machine_(machine), ui_(ui), env_(env), estimate_(estimate), pacing_(pacing) {}

RecordLeft EraseWorkflow::RunErase(const DriveDesignator& designator, const std::string& drive_label, ViewMode view) {
  return RunErase(EraseTarget{designator.DevicePath(), designator, drive_label, view, std::nullopt, {}, {}, {}});
}

RecordLeft EraseWorkflow::RunErase(const std::string& device_path, std::optional<DriveDesignator> designator,
                                   const std::string& drive_label, ViewMode view) {
  return RunErase(EraseTarget{device_path, designator, drive_label, view, std::nullopt, {}, {}, {}});
}

// The steps of one erase; the session releases what each took, in order,
// however the erase ends.
RecordLeft EraseWorkflow::RunErase(const EraseTarget& target) {
  EraseSession erase({machine_, ui_, env_, estimate_, pacing_, cancel_, pause_, params_, offer_purge_, language_},
                     target, last_);
  if (!erase.OpenDrive()) return RecordLeft::kNone;
  erase.AskPurgeCapability();
  erase.AskHiddenArea();
  const EarlierRecord earlier = erase.ReadEarlierRecord();
  const std::optional<bool> resumed = erase.AskAboutEarlierRecord(earlier);
  if (!resumed) return erase.Declined();
  const ConfirmChoice choice = erase.Confirm(earlier, *resumed);
  if (!choice.ok) return erase.Declined();
  if (!erase.MethodOffered() || !erase.ReadyToWrite() || !erase.LockTarget()) return RecordLeft::kNone;
  erase.BeginWriting();
  const std::optional<PurgeRun> purged = erase.PurgeIfChosen();
  if (purged && !purged->completed && !purged->progress_unknown) return erase.EndAfterPurgeFailed(*purged);
  return erase.End(erase.WritePasses(purged), choice.save_history);
}

}  // namespace plexi
