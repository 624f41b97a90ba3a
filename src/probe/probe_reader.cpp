// Reads a probe file into a recording. A member may be left out where the
// format has a plain default (0 for an error code, no bytes, no devices of
// a kind), so that a probe written by hand stays short; a member that is
// there must have its type, and the first that does not is named.
#include <cstdio>
#include <cstdlib>

#include "probe/probe_file.h"
#include "probe/probe_recording.h"
#include "report/json.h"

namespace plexi::probe {
namespace {

// The members of one JSON object, each read with its default; the first
// member at fault is named in `error` and everything after it is ignored.
class Members {
 public:
  Members(const json::Value& value, std::string where, std::string* error)
      : value_(value), where_(std::move(where)), error_(error) {
    if (!value.AsObject()) Fail("", "is not an object");
  }
  // The members are read from the value as it is kept by the caller: a
  // temporary would be gone before the first member is read.
  Members(json::Value&&, std::string, std::string*) = delete;
  bool ok() const { return *error_ == ""; }
  std::string Where(const char* key, size_t index) const {
    return where_ + (where_.empty() ? "" : ".") + key + "[" + std::to_string(index) + "]";
  }

  uint32_t U32(const char* key, uint32_t fallback = 0) {
    const json::Value& v = Get(key);
    if (v.IsNull()) return fallback;
    const std::optional<uint64_t> n = v.AsUnsigned();
    if (n && *n <= UINT32_MAX) return uint32_t(*n);
    Fail(key, "is not a number from 0 to 4294967295");
    return fallback;
  }
  uint64_t U64(const char* key) {
    const json::Value& v = Get(key);
    const std::optional<uint64_t> n = v.IsNull() ? uint64_t(0) : v.AsUnsigned();
    if (!n) Fail(key, "is not a number from 0 up");
    return n.value_or(0);
  }
  std::optional<std::string> Text(const char* key) {
    const json::Value& v = Get(key);
    if (v.IsNull()) return std::nullopt;
    if (v.AsString()) return *v.AsString();
    Fail(key, "is not a text");
    return std::nullopt;
  }
  std::vector<uint8_t> Bytes(const char* key) {
    const std::optional<std::string> text = Text(key);
    if (!text) return {};
    std::optional<std::vector<uint8_t>> bytes = BytesOfHex(*text);
    if (!bytes) Fail(key, "is not hexadecimal bytes");
    return bytes.value_or(std::vector<uint8_t>{});
  }
  bool Flag(const char* key) {
    const json::Value& v = Get(key);
    if (!v.IsNull() && !v.AsBool()) Fail(key, "is not true or false");
    return v.AsBool() && *v.AsBool();
  }
  // The elements of an array member; none when it is absent.
  const json::Array& List(const char* key) {
    static const json::Array kNone;
    const json::Value& v = Get(key);
    if (!v.IsNull() && !v.AsArray()) Fail(key, "is not a list");
    return v.AsArray() ? *v.AsArray() : kNone;
  }
  const json::Value& Get(const char* key) const { return value_[key]; }
  void Fail(const char* key, const std::string& what) {
    if (!ok()) return;
    std::string where = where_;
    if (*key != '\0') where += (where.empty() ? "" : ".") + std::string(key);
    *error_ = (where.empty() ? "the file" : where) + " " + what;
  }

 private:
  const json::Value& value_;
  std::string where_;
  std::string* error_;
};

RecordedControl ReadControl(const json::Value& value, const std::string& where, std::string* error) {
  Members m(value, where, error);
  RecordedControl control;
  const std::optional<std::string> code = m.Text("code");
  const std::optional<uint32_t> parsed = code ? CodeOfText(*code) : std::nullopt;
  if (!parsed) m.Fail("code", "is not a control code such as \"0x002D1400\"");
  control.code = parsed.value_or(0);
  control.in = m.Bytes("in");
  control.error = m.U32("error");
  control.out = m.Bytes("out");
  return control;
}

RecordedNvme ReadNvme(const json::Value& value, const std::string& where, std::string* error) {
  Members m(value, where, error);
  RecordedNvme nvme;
  nvme.opcode = uint8_t(m.U32("opcode"));
  nvme.selector = m.U32(m.Get("log").IsNull() ? "cns" : "log");
  nvme.nsid = m.U32("nsid");
  nvme.error = m.U32("error");
  const json::Array& status = m.List("status");
  if (!status.empty() && (status.size() != 2 || !status[0].AsUnsigned() || !status[1].AsUnsigned()))
    m.Fail("status", "is not [status code type, status code]");
  if (status.size() == 2 && m.ok()) {
    nvme.completion.status_type = uint8_t(*status[0].AsUnsigned());
    nvme.completion.status_code = uint8_t(*status[1].AsUnsigned());
  }
  nvme.completion.result = m.U32("result");
  nvme.data = m.Bytes("data");
  return nvme;
}

RecordedAta ReadAta(const json::Value& value, const std::string& where, std::string* error) {
  Members m(value, where, error);
  RecordedAta ata;
  ata.command = uint8_t(m.U32("command"));
  ata.error = m.U32("error");
  ata.reply.status = uint8_t(m.U32("status"));
  ata.reply.error = uint8_t(m.U32("error_register"));
  ata.reply.count = uint16_t(m.U32("count"));
  ata.reply.lba = m.U64("lba");
  ata.data = m.Bytes("data");
  return ata;
}

RecordedDevice ReadDevice(const json::Value& value, const std::string& where, std::string* error) {
  Members m(value, where, error);
  RecordedDevice device;
  device.path = m.Text("path").value_or("");
  if (device.path.empty()) m.Fail("path", "is missing");
  static const json::Value kNoOpen = json::Value(json::Object{});
  Members open(m.Get("open").IsNull() ? kNoOpen : m.Get("open"), where + ".open", error);
  device.query_open_error = open.U32("query");
  device.read_open_error = open.U32("read");
  const json::Array& controls = m.List("controls");
  for (size_t i = 0; i < controls.size(); ++i)
    device.controls.push_back(ReadControl(controls[i], m.Where("controls", i), error));
  if (!m.Get("namespace_id").IsNull()) {
    Members ns(m.Get("namespace_id"), where + ".namespace_id", error);
    device.namespace_error = ns.U32("error");
    device.namespace_id = ns.U32("value");
  }
  const json::Array& nvme = m.List("nvme");
  for (size_t i = 0; i < nvme.size(); ++i) device.nvme.push_back(ReadNvme(nvme[i], m.Where("nvme", i), error));
  const json::Array& ata = m.List("ata");
  for (size_t i = 0; i < ata.size(); ++i) device.ata.push_back(ReadAta(ata[i], m.Where("ata", i), error));
  return device;
}

void ReadMachineFacts(Members& m, ProbeRecording& r, std::string* error) {
  r.system_directory = m.Text("system_directory").value_or("C:\\Windows\\system32");
  if (const std::optional<std::string> taken = m.Text("taken")) {
    platform::LocalTime& t = r.taken;
    if (std::sscanf(taken->c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second) != 6)
      m.Fail("taken", "is not a time such as \"2026-12-08 09:30:00\"");
  }
  const json::Array& letters = m.List("letters");
  for (size_t i = 0; i < letters.size(); ++i) {
    Members l(letters[i], m.Where("letters", i), error);
    RecordedLetter letter{l.Text("root").value_or(""), l.U32("type"), l.Text("label")};
    if (letter.root.size() < 2 || letter.root[1] != ':') l.Fail("root", "is not a root such as \"C:\\\"");
    r.letters.push_back(letter);
  }
  if (!m.Get("disk_numbers").IsNull()) {
    std::vector<uint32_t> numbers;
    for (const json::Value& n : m.List("disk_numbers")) {
      if (!n.AsUnsigned() || *n.AsUnsigned() > UINT32_MAX) m.Fail("disk_numbers", "holds something not a number");
      numbers.push_back(uint32_t(n.AsUnsigned().value_or(0)));
    }
    r.disk_numbers = numbers;
  }
}

void ReadVolumes(const json::Value& value, ProbeRecording& r, std::string* error) {
  if (value.IsNull()) return;
  Members m(value, "volumes", error);
  r.volumes.complete = m.Flag("complete");
  const json::Array& list = m.List("list");
  for (size_t i = 0; i < list.size(); ++i) {
    Members v(list[i], m.Where("list", i), error);
    platform::VolumeEntry entry;
    entry.path = v.Text("path").value_or("");
    for (const json::Value& mount : v.List("mount_points"))
      if (mount.AsString()) entry.mount_points.push_back(*mount.AsString());
    entry.holds_system = v.Flag("system");
    entry.boot = v.Flag("boot");
    r.volumes.volumes.push_back(entry);
  }
}

}  // namespace

std::optional<ProbeRecording> ReadProbe(const std::string& text, std::string* error) {
  std::string problem;
  const std::optional<json::Value> file = json::Read(text, &problem);
  if (!file) {
    *error = "not JSON: " + problem;
    return std::nullopt;
  }
  Members m(*file, "", &problem);
  if (m.ok() && m.Get("probe").AsInt() != kProbeFormat)
    m.Fail("", "is not a probe of format " + std::to_string(kProbeFormat) + " (its \"probe\" member)");
  ProbeRecording r;
  if (m.ok()) ReadMachineFacts(m, r, &problem);
  if (m.ok()) ReadVolumes(m.Get("volumes"), r, &problem);
  const json::Array& devices = m.List("devices");
  for (size_t i = 0; i < devices.size() && m.ok(); ++i)
    r.devices.push_back(ReadDevice(devices[i], m.Where("devices", i), &problem));
  if (m.ok() && m.Get("error_texts").AsObject())
    for (const auto& [code, message] : *m.Get("error_texts").AsObject())
      if (message.AsString()) r.error_texts[uint32_t(std::strtoul(code.c_str(), nullptr, 10))] = *message.AsString();
  if (!m.ok()) {
    *error = problem;
    return std::nullopt;
  }
  return r;
}

}  // namespace plexi::probe
