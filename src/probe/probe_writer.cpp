// A probe file is one JSON object (keys in byte order, as json::Write puts
// them):
//   probe             1, the format's version
//   tool, system      the tool and the operating system that took it
//   serials           "masked" (see serial_mask.h) or "kept"
//   taken             the machine's clock, "2026-12-08 09:30:00"
//   system_directory  GetSystemDirectory
//   letters           [{root "C:\", type (GetDriveType), label (null: unreadable)}]
//   volumes           {complete, list: [{path, mount_points, system, boot}]}
//   disk_numbers      the physical drive numbers the system enumerates, or null
//   devices           [{path, open {query, read}: 0 or the open's error code,
//                       through: "read" or "query", the handle asked,
//                       controls [{name, code "0x00070000", in (hex: the
//                         property query), error, out (hex, when it succeeded)}],
//                       whole disks also namespace_id {error, value},
//                       nvme [{name, opcode, cns or log, nsid, error,
//                         status [type, code], result, data}],
//                       ata [{name, command, error, status, error_register,
//                         count, lba, data}]}]
//   error_texts       {"5": the system's message for each error code above}
// Every error is a Windows error code; 0 is success. Raw bytes are
// lower-case hex, the reply exactly as long as the call returned.
#include "probe/probe_writer.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <set>

#include "drives/discovery.h"
#include "drives/purge_capability.h"
#include "platform/device_paths.h"
#include "platform/ioctl_layout.h"
#include "platform/winconst.h"
#include "probe/probe_file.h"
#include "util/ascii_text.h"

namespace plexi::probe {
namespace {

using platform::Access;
using platform::Device;

// Room for every reply the program asks for (a descriptor, 170 extents).
constexpr uint32_t kReplyBytes = 4096;
constexpr uint32_t kStorageDeviceProperty = 0;
constexpr uint32_t kStorageAdapterProperty = 1;

struct ControlAsk {
  const char* name;
  uint32_t code;
  std::optional<uint32_t> property;  // STORAGE_PROPERTY_ID of a property query
};
const ControlAsk kControlAsks[] = {
    {"geometry", winconst::kIoctlDiskGetDriveGeometry, std::nullopt},
    {"geometry-ex", winconst::kIoctlDiskGetDriveGeometryEx, std::nullopt},
    {"length", winconst::kIoctlDiskGetLengthInfo, std::nullopt},
    {"partition-info", winconst::kIoctlDiskGetPartitionInfo, std::nullopt},
    {"extents", winconst::kIoctlVolumeGetVolumeDiskExtents, std::nullopt},
    {"device-number", winconst::kIoctlStorageGetDeviceNumber, std::nullopt},
    {"descriptor", winconst::kIoctlStorageQueryProperty, kStorageDeviceProperty},
    {"adapter", winconst::kIoctlStorageQueryProperty, kStorageAdapterProperty},
    {"seek-penalty", winconst::kIoctlStorageQueryProperty, winconst::kStorageDeviceSeekPenaltyProperty},
};

// What the controls told about the device, for the firmware questions.
struct ControlFacts {
  bool volume = false;
  uint32_t bus_type = 0;
};

class ProbeWriter {
 public:
  ProbeWriter(platform::Machine& machine, const ProbeChoice& choice, const SerialMask& mask)
      : machine_(machine), choice_(choice), mask_(mask) {}
  json::Value Take();

 private:
  std::vector<std::string> Paths();
  json::Value Letters();
  json::Value VolumesValue();
  json::Value DeviceValue(const std::string& path);
  json::Array Controls(Device& device, ControlFacts& facts);
  void Firmware(Device& device, uint32_t bus_type, json::Object& entry);
  json::Value NvmeAnswer(Device& device, const char* name, platform::NvmeAdminCommand command);
  json::Value AtaIdentify(Device& device);
  json::Value ErrorTexts();
  uint32_t Seen(uint32_t error) {
    if (error != 0) errors_.insert(error);
    return error;
  }

  platform::Machine& machine_;
  const ProbeChoice& choice_;
  const SerialMask& mask_;
  platform::VolumeList volumes_;
  std::vector<std::string> roots_;  // the lettered roots the devices list takes
  std::set<uint32_t> errors_;
};

std::string ClockText(const platform::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

json::Value ProbeWriter::Take() {
  volumes_ = machine_.Volumes();
  json::Object file{
      {"probe", kProbeFormat},
      {"tool", choice_.tool},
      {"system", choice_.system},
      {"serials", choice_.keep_serials ? "kept" : "masked"},
      {"taken", ClockText(machine_.Now())},
      {"system_directory", machine_.SystemDirectory()},
      {"letters", Letters()},
      {"volumes", VolumesValue()},
  };
  if (std::optional<std::vector<uint32_t>> listed = machine_.DiskNumbers())
    file["disk_numbers"] = json::Array(listed->begin(), listed->end());
  else
    file["disk_numbers"] = nullptr;
  json::Array devices;
  for (const std::string& path : Paths()) devices.push_back(DeviceValue(path));
  file["devices"] = devices;
  file["error_texts"] = ErrorTexts();
  return file;
}

// Every disk by number, every letter but network drives, every volume by
// its GUID path, then the host's own devices; each once.
std::vector<std::string> ProbeWriter::Paths() {
  std::vector<std::string> paths;
  auto add = [&paths](const std::string& path) {
    for (const std::string& known : paths)
      if (EqualIgnoringAsciiCase(known, path)) return;
    paths.push_back(path);
  };
  for (uint32_t number : PhysicalDriveNumbers(machine_)) add(DriveDesignator::Physical(number).DevicePath());
  for (const std::string& root : roots_) add(DriveDesignator::Letter(root[0]).DevicePath());
  for (const platform::VolumeEntry& volume : volumes_.volumes) add(volume.path);
  for (const std::string& path : choice_.host_paths) add(path);
  return paths;
}

json::Value ProbeWriter::Letters() {
  json::Array letters;
  for (char letter : LettersOf(machine_)) {
    const std::string root{letter, ':', '\\'};
    const uint32_t type = machine_.DriveType(root);
    // A network drive has no disk here, and asking it may wait on the network.
    if (type != winconst::kDriveRemote) roots_.push_back(root);
    const std::optional<std::string> label =
        type == winconst::kDriveRemote ? std::nullopt : machine_.VolumeLabel(root);
    letters.push_back(json::Object{{"root", root}, {"type", type}, {"label", label ? json::Value(*label) : json::Value()}});
  }
  return letters;
}

json::Value ProbeWriter::VolumesValue() {
  json::Array list;
  for (const platform::VolumeEntry& volume : volumes_.volumes) {
    json::Array mounts(volume.mount_points.begin(), volume.mount_points.end());
    list.push_back(json::Object{
        {"path", volume.path}, {"mount_points", mounts}, {"system", volume.holds_system}, {"boot", volume.boot}});
  }
  return json::Object{{"complete", volumes_.complete}, {"list", list}};
}

json::Value ProbeWriter::DeviceValue(const std::string& path) {
  platform::Result<std::unique_ptr<Device>> query = machine_.OpenDevice(path, Access::kQuery);
  platform::Result<std::unique_ptr<Device>> read = machine_.OpenDevice(path, Access::kRead);
  json::Object entry{{"path", path},
                     {"open", json::Object{{"query", Seen(query.ok() ? 0 : query.error())},
                                           {"read", Seen(read.ok() ? 0 : read.error())}}}};
  Device* device = read.ok() ? read.value().get() : query.ok() ? query.value().get() : nullptr;
  if (device == nullptr) return entry;
  entry["through"] = read.ok() ? "read" : "query";
  ControlFacts facts;
  entry["controls"] = Controls(*device, facts);
  if (!facts.volume && !platform::IsVolumePath(path)) Firmware(*device, facts.bus_type, entry);
  return entry;
}

json::Array ProbeWriter::Controls(Device& device, ControlFacts& facts) {
  json::Array answers;
  for (const ControlAsk& ask : kControlAsks) {
    std::vector<uint8_t> in;
    if (ask.property) {
      in.assign(winconst::kStoragePropertyQuerySize, 0);  // the standard query
      layout::Store32(in.data(), *ask.property);
    }
    std::vector<uint8_t> reply(kReplyBytes, 0);
    const platform::IoResult r = device.Control(ask.code, in.empty() ? nullptr : in.data(), uint32_t(in.size()),
                                                reply.data(), uint32_t(reply.size()));
    json::Object answer{{"name", ask.name}, {"code", CodeText(ask.code)}, {"error", Seen(r.ok() ? 0 : r.error())}};
    if (!in.empty()) answer["in"] = Hex(in);
    if (r.ok()) {
      reply.resize(std::min<uint32_t>(r.value(), kReplyBytes));
      const bool descriptor = ask.property == kStorageDeviceProperty;
      if (descriptor && reply.size() >= winconst::kStorageDescriptorHeaderSize)
        facts.bus_type = layout::StorageDescriptorHeader::Decode(reply.data()).bus_type;
      if (descriptor && !choice_.keep_serials) mask_.InDescriptor(reply);
      answer["out"] = Hex(reply);
    }
    if (ask.code == winconst::kIoctlVolumeGetVolumeDiskExtents)
      facts.volume = r.ok() || r.error() == winconst::kErrorMoreData;
    answers.push_back(std::move(answer));
  }
  return answers;
}

// The identify data a purge reads: NVMe through the NVMe commands, any
// other drive through ATA IDENTIFY DEVICE, as QueryPurgeCapability asks.
void ProbeWriter::Firmware(Device& device, uint32_t bus_type, json::Object& entry) {
  if (TransportOfBus(bus_type) != Transport::kNvme) {
    entry["ata"] = json::Array{AtaIdentify(device)};
    return;
  }
  const platform::Result<uint32_t> own = device.NvmeNamespaceId();
  entry["namespace_id"] = own.ok() ? json::Object{{"error", 0}, {"value", *own}}
                                   : json::Object{{"error", Seen(own.error())}};
  const uint32_t nsid = own.ok() && *own != 0 ? *own : 1;
  std::vector<uint8_t> scratch(nvme::kIdentifyBytes);
  entry["nvme"] = json::Array{
      NvmeAnswer(device, "identify-controller", nvme::Identify(1, 0, scratch.data())),
      NvmeAnswer(device, "identify-namespace", nvme::Identify(0, nsid, scratch.data())),
      NvmeAnswer(device, "active-namespaces", nvme::Identify(2, 0, scratch.data())),
      NvmeAnswer(device, "sanitize-log", nvme::SanitizeStatusLog(scratch.data())),
  };
}

json::Value ProbeWriter::NvmeAnswer(Device& device, const char* name, platform::NvmeAdminCommand command) {
  std::vector<uint8_t> data(command.data_length, 0);
  command.data = data.data();
  const platform::Result<platform::NvmeCompletion> r = device.NvmeAdmin(command);
  const bool identify = command.opcode == nvme::kOpIdentify;
  const uint32_t selector = command.cdw10 & 0xFF;  // the CNS, or the log page id
  json::Object answer{{"name", name}, {"opcode", uint32_t(command.opcode)}, {identify ? "cns" : "log", selector},
                      {"nsid", command.nsid}, {"error", Seen(r.ok() ? 0 : r.error())}};
  if (!r.ok()) return answer;
  answer["status"] = json::Array{uint32_t(r->status_type), uint32_t(r->status_code)};
  answer["result"] = r->result;
  if (!r->Succeeded()) return answer;
  if (!choice_.keep_serials && identify && selector == 1) mask_.InNvmeController(data);
  if (!choice_.keep_serials && identify && selector == 0) mask_.InNvmeNamespace(data);
  answer["data"] = Hex(data);
  return answer;
}

json::Value ProbeWriter::AtaIdentify(Device& device) {
  std::vector<uint8_t> data(512, 0);
  const platform::Result<platform::AtaReply> r = device.AtaPassThrough(ata::Identify(data.data()));
  json::Object answer{{"name", "identify"}, {"command", uint32_t(ata::kCmdIdentify)},
                      {"error", Seen(r.ok() ? 0 : r.error())}};
  if (!r.ok()) return answer;
  answer["status"] = uint32_t(r->status);
  answer["error_register"] = uint32_t(r->error);
  answer["count"] = uint32_t(r->count);
  answer["lba"] = r->lba;
  if (r->Failed()) return answer;
  if (!choice_.keep_serials) mask_.InAtaIdentify(data);
  answer["data"] = Hex(data);
  return answer;
}

json::Value ProbeWriter::ErrorTexts() {
  json::Object texts;
  for (uint32_t code : errors_) texts[std::to_string(code)] = machine_.ErrorText(code);
  return texts;
}

}  // namespace

json::Value TakeProbe(platform::Machine& machine, const ProbeChoice& choice, const SerialMask& mask) {
  return ProbeWriter(machine, choice, mask).Take();
}

}  // namespace plexi::probe
