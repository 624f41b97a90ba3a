// Test doubles of the fuzz targets: a file store in memory, a notifier that
// keeps the messages, and a device and machine that answer every control
// call with bytes the fuzzer chose. Nothing here opens a real device.
#pragma once
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "errors/error_report.h"
#include "platform/platform.h"
#include "platform/sim/sim_machine.h"
#include "platform/winconst.h"

namespace plexi::fuzz {

// A property the program must keep; a failure ends the run with the input
// saved, as a sanitizer report would.
#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, \
                   __LINE__);                                                         \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

class KeptMessages : public Notifier {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

// Files by path, in memory. With `read_error` set an existing file cannot
// be read; with `writes_forbidden` any write aborts the run.
class MemoryFileStore : public platform::FileStore {
 public:
  std::string ProgramDirectory() override { return "C:\\Plexiscrub\\"; }
  bool Exists(const std::string& path) override { return files.count(path) != 0; }
  platform::FileContent Read(const std::string& path) override {
    auto it = files.find(path);
    if (it == files.end()) return {false, {}, winconst::kErrorFileNotFound};
    if (read_error != 0) return {true, {}, read_error};
    return {true, it->second, 0};
  }
  platform::Result<> Replace(const std::string& path, const std::string& bytes) override {
    FUZZ_CHECK(!writes_forbidden);
    ++writes;
    if (write_error != 0) return platform::Result<>::Failure(write_error);
    files[path] = bytes;
    return platform::Result<>::Success();
  }

  std::map<std::string, std::string> files;
  uint32_t read_error = 0;
  uint32_t write_error = 0;
  bool writes_forbidden = false;
  int writes = 0;
};

// A simulated machine with no drives: the clock, the date format and the
// error texts for the code that reports.
inline std::unique_ptr<sim::SimMachine> QuietMachine() {
  std::string error;
  std::unique_ptr<sim::SimMachine> machine = sim::SimMachine::Parse("clock 2026-12-08 09:30:05\n", "", &error);
  FUZZ_CHECK(machine != nullptr);
  return machine;
}

// One control call's answer.
struct Reply {
  bool ok = false;
  uint32_t error = winconst::kErrorInvalidFunction;
  uint32_t bytes_claimed = 0;  // what the call says it returned, at most the buffer
  std::string bytes;
};

using Replies = std::map<uint32_t, Reply>;

// The control codes the drive code asks a device.
inline constexpr uint32_t kScriptedCodes[] = {
    winconst::kIoctlDiskGetDriveGeometry,   winconst::kIoctlDiskGetPartitionInfo,
    winconst::kIoctlDiskGetLengthInfo,      winconst::kIoctlDiskGetDriveGeometryEx,
    winconst::kIoctlStorageQueryProperty,   winconst::kIoctlStorageGetDeviceNumber,
    winconst::kIoctlVolumeGetVolumeDiskExtents};

// A reply as the fuzzer chooses it: success or an error code, the bytes, and
// how many of them the call claims (the system never claims more than the
// buffer holds; the device double enforces that).
inline Reply ConsumeReply(FuzzedDataProvider& data, size_t max_bytes) {
  Reply reply;
  reply.ok = data.ConsumeBool();
  reply.error = reply.ok ? 0 : data.PickValueInArray<uint32_t>({1u, 5u, 21u, 50u, 87u, 122u, 234u});
  reply.bytes = data.ConsumeRandomLengthString(max_bytes);
  reply.bytes_claimed = data.ConsumeBool() ? uint32_t(reply.bytes.size())
                                           : data.ConsumeIntegralInRange<uint32_t>(0, 4096);
  return reply;
}

inline Replies ConsumeReplies(FuzzedDataProvider& data, size_t max_bytes) {
  Replies replies;
  for (uint32_t code : kScriptedCodes)
    if (data.ConsumeBool()) replies[code] = ConsumeReply(data, max_bytes);
  return replies;
}

// A device whose control calls answer from `replies`, whose reads give
// `sector`, and which must never be written.
class ScriptedDevice : public platform::Device {
 public:
  ScriptedDevice(const Replies& replies, std::string sector) : replies_(replies), sector_(std::move(sector)) {}

  platform::IoResult Read(void* buffer, uint32_t length) override {
    const uint32_t n = uint32_t(std::min<size_t>(length, sector_.size()));
    std::memcpy(buffer, sector_.data(), n);
    return platform::IoResult(n);
  }
  platform::IoResult Write(const void*, uint32_t) override {
    FUZZ_CHECK(!"a query wrote to the device");
    return platform::IoResult::Failure(winconst::kErrorAccessDenied);
  }
  platform::Result<> SetPosition(uint64_t) override { return platform::Result<>::Success(); }
  platform::IoResult Control(uint32_t code, const void*, uint32_t, void* out, uint32_t out_length) override {
    ++controls;
    auto it = replies_.find(code);
    if (it == replies_.end()) return platform::IoResult::Failure(winconst::kErrorInvalidFunction);
    const Reply& reply = it->second;
    const uint32_t copied = uint32_t(std::min<size_t>(out_length, reply.bytes.size()));
    if (out != nullptr && copied > 0) std::memcpy(out, reply.bytes.data(), copied);
    const uint32_t claimed = std::min(reply.bytes_claimed, out_length);
    return reply.ok ? platform::IoResult(claimed) : platform::IoResult::Failure(reply.error);
  }
  platform::Result<> Flush() override { return platform::Result<>::Success(); }

  int controls = 0;

 private:
  Replies replies_;
  std::string sector_;
};

// A machine whose devices are scripted by path; any other path is not found.
class ScriptedMachine : public platform::Machine {
 public:
  struct Scripted {
    Replies replies;
    std::string sector;
  };

  platform::Result<std::unique_ptr<platform::Device>> OpenDevice(const std::string& path, platform::Access) override {
    ++opens;
    auto it = devices.find(path);
    using Opened = platform::Result<std::unique_ptr<platform::Device>>;
    if (it == devices.end()) return Opened::Failure(winconst::kErrorFileNotFound);
    return Opened(std::make_unique<ScriptedDevice>(it->second.replies, it->second.sector));
  }
  std::string LogicalDriveStrings() override { return drive_strings; }
  uint32_t LogicalDriveMask() override { return 0; }
  uint32_t DriveType(const std::string& root) override {
    auto it = drive_types.find(root);
    return it == drive_types.end() ? winconst::kDriveFixed : it->second;
  }
  std::optional<std::string> VolumeLabel(const std::string&) override { return label; }
  std::string SystemDirectory() override { return system_directory; }
  std::string ErrorText(uint32_t) override { return {}; }
  bool IdentifyDevice(int32_t, uint8_t* reply512) override {
    if (!identify) return false;
    std::memset(reply512, 0, 512);
    std::memcpy(reply512, identify->data(), std::min<size_t>(512, identify->size()));
    return true;
  }
  platform::VolumeList Volumes() override { return volumes; }
  platform::LocalTime Now() override { return {2026, 12, 8, 9, 30, 5}; }
  std::string DateText(const platform::LocalTime&) override { return "2026/12/08"; }
  std::string TimeText(const platform::LocalTime&) override { return "9:30:05"; }

  std::map<std::string, Scripted> devices;
  std::map<std::string, uint32_t> drive_types;
  std::string drive_strings;
  std::string system_directory = "C:\\Windows\\system32";
  std::optional<std::string> label;
  std::optional<std::string> identify;
  platform::VolumeList volumes;
  int opens = 0;
};

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
inline bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace plexi::fuzz
