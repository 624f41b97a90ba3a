// A probe file read back: what each device answered, as the replay serves
// it (probe_writer.cpp describes the file).
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plexi::probe {

struct RecordedControl {
  uint32_t code = 0;
  std::vector<uint8_t> in;  // the property query; empty for the other codes
  uint32_t error = 0;
  std::vector<uint8_t> out;
};

struct RecordedNvme {
  uint8_t opcode = 0;
  uint32_t selector = 0;  // identify: the CNS; a log page: its id
  uint32_t nsid = 0;
  uint32_t error = 0;
  platform::NvmeCompletion completion;
  std::vector<uint8_t> data;
};

struct RecordedAta {
  uint8_t command = 0;
  uint32_t error = 0;
  platform::AtaReply reply;
  std::vector<uint8_t> data;
};

struct RecordedDevice {
  std::string path;
  uint32_t query_open_error = 0;
  uint32_t read_open_error = 0;
  std::vector<RecordedControl> controls;
  uint32_t namespace_error = 50;  // ERROR_NOT_SUPPORTED unless recorded
  uint32_t namespace_id = 0;
  std::vector<RecordedNvme> nvme;
  std::vector<RecordedAta> ata;
};

struct RecordedLetter {
  std::string root;  // "C:\"
  uint32_t type = 0;
  std::optional<std::string> label;
};

struct ProbeRecording {
  std::string system_directory;
  platform::LocalTime taken{2000, 1, 1, 0, 0, 0};
  std::vector<RecordedLetter> letters;
  platform::VolumeList volumes;
  std::optional<std::vector<uint32_t>> disk_numbers;
  std::vector<RecordedDevice> devices;
  std::map<uint32_t, std::string> error_texts;
};

// The recording in a probe file's text; nothing, with `error` naming the
// member at fault, when the text is not a probe this program reads.
std::optional<ProbeRecording> ReadProbe(const std::string& text, std::string* error);

}  // namespace plexi::probe
