// A machine replayed from a probe file (probe_writer.cpp describes the
// format): every disk and volume the probe asked answers the same queries
// with the recorded bytes and error codes, so that a probe taken on another
// machine runs the program's logic as a test case. Nothing on it can be
// changed: a handle opens for reading at most (a read-write open is refused
// with ERROR_ACCESS_DENIED, since what such a handle would have been told
// was never asked), the data area reads as zeros, and a firmware command
// other than the recorded identify commands and log pages is refused.
#pragma once
#include <memory>
#include <string>

#include "platform/platform.h"
#include "probe/probe_recording.h"

namespace plexi::probe {

class ReplayMachine : public platform::Machine {
 public:
  // Nothing, with `error` naming the member at fault, when the text is not
  // a probe file.
  static std::unique_ptr<ReplayMachine> Parse(const std::string& text, std::string* error);
  explicit ReplayMachine(ProbeRecording recording)
      : recording_(std::make_shared<const ProbeRecording>(std::move(recording))) {}

  platform::Result<std::unique_ptr<platform::Device>> OpenDevice(const std::string& path,
                                                                 platform::Access access) override;
  std::string LogicalDriveStrings() override;
  uint32_t LogicalDriveMask() override;
  uint32_t DriveType(const std::string& root) override;
  std::optional<std::string> VolumeLabel(const std::string& root) override;
  std::string SystemDirectory() override { return recording_->system_directory; }
  // The texts the probed system gave; none for a code it was not asked.
  std::string ErrorText(uint32_t code) override;
  // The probe does not run the external identify library.
  bool IdentifyDevice(int32_t, uint8_t*) override { return false; }
  platform::VolumeList Volumes() override { return recording_->volumes; }
  std::optional<std::vector<uint32_t>> DiskNumbers() override { return recording_->disk_numbers; }
  // The clock stands at the time the probe was taken.
  platform::LocalTime Now() override { return recording_->taken; }
  std::string DateText(const platform::LocalTime& t) override;  // "2026/12/08"
  std::string TimeText(const platform::LocalTime& t) override;  // "9:30:00"

 private:
  const RecordedLetter* FindLetter(const std::string& root) const;

  // Shared with the handles, which may outlive a copy of the machine's view.
  std::shared_ptr<const ProbeRecording> recording_;
};

}  // namespace plexi::probe
