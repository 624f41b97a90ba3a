#include "erase/purge_step.h"

#include <chrono>
#include <optional>
#include <thread>

namespace plexi {

namespace {

class SilentPurgeView : public PurgeView {
 public:
  void SetPurgeProgress(std::optional<uint32_t> progress) override { static_cast<void>(progress); }
};

}  // namespace

PurgeRun EraseUi::RunPurge(const PurgeRequest& request, const PurgeTask& task) {
  static_cast<void>(request);
  SilentPurgeView view;
  return task(view);
}

PurgeCapability AskPurgeCapability(platform::Device& drive, ViewMode view, uint32_t bus_type, bool offer,
                                   const platform::HostSystem& host) {
  if (!offer || view != ViewMode::kPhysical) return PurgeCapability{};
  return QueryPurgeCapability(drive, bus_type, host);
}

PurgeRun RunPurgeStep(const PurgeStepContext& context, PurgeCapability& confirmed) {
  const PurgeCapability now = QueryPurgeCapability(context.drive, context.bus_type, context.host);
  if (!now.Usable() || now.command != confirmed.command) {
    PurgeRun refused;
    refused.error_text =
        now.Usable() ? InLanguage(context.language, erase_text::english::kPurgeNotOffered, erase_text::kPurgeNotOffered)
                     : PurgeBlockText(now.block, context.language);
    return refused;
  }
  confirmed = now;
  const PurgeRequest request{
      InLanguage(context.language, erase_text::english::kProgressCaption, erase_text::kProgressCaption),
      InLanguage(context.language, erase_text::english::kDriveLinePrefix, erase_text::kDriveLinePrefix) +
          context.drive_label,
      PurgeCommandName(now.command, context.language),
      InLanguage(context.language, erase_text::english::kPurgePassLabel, erase_text::kPurgePassLabel)};
  const PurgePacing pacing{context.pacing.purge_poll_ms, 30};
  PurgeRun run = context.ui.RunPurge(request, [&](PurgeView& view) {
    return RunFirmwarePurge(context.drive, now, view, pacing, [](int ms) {
      if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
  });
  run.sent = true;
  return run;
}

}  // namespace plexi
