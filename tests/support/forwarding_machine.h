// A machine that passes every call to another one; a test overrides only
// the calls it wants to change (usually OpenDevice, to wrap the devices).
#pragma once
#include <string>

#include "platform/platform.h"

namespace plexi::test {

class ForwardingMachine : public platform::Machine {
 public:
  explicit ForwardingMachine(platform::Machine& inner) : inner_(inner) {}
  platform::Result<std::unique_ptr<platform::Device>> OpenDevice(const std::string& path, platform::Access access) override {
    return inner_.OpenDevice(path, access);
  }
  std::string LogicalDriveStrings() override { return inner_.LogicalDriveStrings(); }
  uint32_t LogicalDriveMask() override { return inner_.LogicalDriveMask(); }
  uint32_t DriveType(const std::string& root) override { return inner_.DriveType(root); }
  std::optional<std::string> VolumeLabel(const std::string& root) override { return inner_.VolumeLabel(root); }
  std::string SystemDirectory() override { return inner_.SystemDirectory(); }
  std::string ErrorText(uint32_t code) override { return inner_.ErrorText(code); }
  bool IdentifyDevice(int32_t d, uint8_t* reply) override { return inner_.IdentifyDevice(d, reply); }
  platform::VolumeList Volumes() override { return inner_.Volumes(); }
  platform::LocalTime Now() override { return inner_.Now(); }
  std::string DateText(const platform::LocalTime& t) override { return inner_.DateText(t); }
  std::string TimeText(const platform::LocalTime& t) override { return inner_.TimeText(t); }

 protected:
  platform::Machine& inner_;
};

}  // namespace plexi::test
