// A log of a simulated machine's device traffic for tests that run a program
// in another process and cannot ask the machine's counters: one text line per
// open, read or write, appended to a file as it happens (see "trace" in
// demo/README.md).
#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace plexi::sim {

// Which calls a machine description asks to have traced.
struct TraceKinds {
  bool opens = false;
  bool reads = false;
  bool writes = false;
  bool controls = false;
  bool commands = false;  // firmware commands (NVMe admin, ATA task files)
  bool Any() const { return opens || reads || writes || controls || commands; }
};

class DeviceTrace {
 public:
  DeviceTrace(std::string path, TraceKinds kinds) : path_(std::move(path)), kinds_(kinds) {}

  // "open \\.\PHYSICALDRIVE4 read", with " error=N" when the open failed.
  void Open(const std::string& device, platform::Access access, uint32_t error);
  // "read \\.\H: at=4096 bytes=4096": the handle's position and the length
  // asked for, whatever the call then does.
  void Read(const std::string& device, uint64_t position, uint32_t length);
  void Write(const std::string& device, uint64_t position, uint32_t length);
  // "control \\.\H: lock", with " error=N" when the call failed.
  void Control(const std::string& device, uint32_t code, uint32_t error);
  // "command \\.\PHYSICALDRIVE1 nvme opcode=0x84 cdw10=0x4", with
  // " error=N" when it never reached the drive, " status=T/C" or
  // " ata-status=0xSS" for what the drive answered.
  void Command(const std::string& device, const std::string& text);

 private:
  void Append(const std::string& line);

  std::mutex mutex_;  // the erase worker and the GUI thread both transfer
  std::string path_;
  TraceKinds kinds_;
};

}  // namespace plexi::sim
