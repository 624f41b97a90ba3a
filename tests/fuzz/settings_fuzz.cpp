// The settings the program reads at start and while it runs, from two
// sources: the settings file of simulated machines (any bytes, parsed by
// FileSettings) and a settings double answering each value with the
// fuzzer's int or text, as a registry holding anything would.
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "about/about_dialog.h"
#include "app/window_settings.h"
#include "fuzz_support.h"
#include "platform/power.h"
#include "platform/sim/file_settings.h"
#include "shutdown/shutdown.h"

using namespace plexi;

namespace {

// Values by name, each an int or a text as the fuzzer chose.
class FuzzedSettings : public platform::Settings {
 public:
  explicit FuzzedSettings(FuzzedDataProvider& data) : data_(data) {}
  bool Exists(const std::string& name) override { return Value(name).kind != Kind::kAbsent; }
  std::optional<int32_t> ReadInt(const std::string& name) override {
    const Stored& v = Value(name);
    if (v.kind != Kind::kInt) return std::nullopt;
    return v.number;
  }
  std::optional<std::string> ReadText(const std::string& name) override {
    const Stored& v = Value(name);
    if (v.kind != Kind::kText) return std::nullopt;
    return v.text;
  }
  platform::Result<> WriteInt(const std::string& name, int32_t value) override {
    values_[name] = {Kind::kInt, value, {}};
    return platform::Result<>::Success();
  }
  platform::Result<> WriteText(const std::string& name, const std::string& value) override {
    values_[name] = {Kind::kText, 0, value};
    return platform::Result<>::Success();
  }

 private:
  enum class Kind { kAbsent, kInt, kText };
  struct Stored {
    Kind kind = Kind::kAbsent;
    int32_t number = 0;
    std::string text;
  };
  const Stored& Value(const std::string& name) {
    auto it = values_.find(name);
    if (it != values_.end()) return it->second;
    Stored v;
    v.kind = data_.PickValueInArray({Kind::kAbsent, Kind::kInt, Kind::kText});
    if (v.kind == Kind::kInt) v.number = data_.ConsumeIntegral<int32_t>();
    if (v.kind == Kind::kText) v.text = data_.ConsumeRandomLengthString(300);
    return values_[name] = v;
  }

  FuzzedDataProvider& data_;
  std::map<std::string, Stored> values_;
};

class NoPower : public platform::Power {
 public:
  platform::Result<> ExitWindowsEx(uint32_t, uint32_t) override { FUZZ_CHECK(!"shut down"); return platform::Result<>::Success(); }
  platform::Result<> SetSystemPowerState(bool, bool) override { FUZZ_CHECK(!"suspended"); return platform::Result<>::Success(); }
  platform::PrivilegeResult AdjustPrivilege(const std::string&, uint32_t) override { return {}; }
};

class NoShutdownUi : public ShutdownUi {
 public:
  std::optional<ShutdownChoice> ShowModeDialog(int32_t, const std::string&, void*) override { return {}; }
  bool ShowCountdown(const std::string&, const std::string&) override { return false; }
  void SetStatusText(const std::string&, bool) override {}
};

// What every reader of a value makes of it.
void ReadTheProgramsValues(platform::Settings& settings) {
  const app::ShowSettings show = app::FormShow(settings, "C:\\Plexiscrub\\");
  if (show.header_colour) FUZZ_CHECK(*show.header_colour >= app::kHeaderGray && *show.header_colour <= app::kHeaderNone);
  FUZZ_CHECK(settings.Exists(app::kVersionRunValue) && settings.Exists(app::kProgramFolderValue));

  const std::string site = about::SiteAddressFromSetting(settings.ReadText(about::kSiteAddressSetting).value_or(""));
  if (!site.empty()) {
    FUZZ_CHECK(site.back() == '/');
    std::string scheme = site.substr(0, 8);
    for (char& c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
    FUZZ_CHECK(scheme.rfind("http://", 0) == 0 || scheme == "https://");
  }

  NoPower power;
  NoShutdownUi ui;
  fuzz::KeptMessages notifier;
  ShutdownController shutdown(power, settings, ui, notifier, true);
  const int32_t count = shutdown.UpdateEraseCount(EraseCountOp::kRead);
  FUZZ_CHECK(count >= 0);
  const int32_t before = shutdown.UpdateEraseCount(EraseCountOp::kBegin);
  FUZZ_CHECK(before == count);
  const int32_t after = shutdown.UpdateEraseCount(EraseCountOp::kEnd);
  FUZZ_CHECK(after >= 0);
  app::ResetEraseCountWhenAlone(settings, false);
  FUZZ_CHECK(settings.ReadInt(ShutdownController::kEraseCountValue).value_or(0) == 0);
}

// One settings file for the whole run, in a folder of its own.
const std::string& SettingsFile() {
  static const std::string path = [] {
    // Memory-backed when the system has it: the file is rewritten on every run.
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (base / "plexiscrub-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    static std::string folder = pattern;
    std::atexit([] { std::filesystem::remove_all(folder); });
    return pattern + "/settings.txt";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  if (provider.ConsumeBool()) {
    FuzzedSettings settings(provider);
    ReadTheProgramsValues(settings);
    return 0;
  }

  const std::string name = provider.ConsumeRandomLengthString(40);
  const std::string text = provider.ConsumeRandomLengthString(200);
  const int32_t number = provider.ConsumeIntegral<int32_t>();
  const std::string file = provider.ConsumeRemainingBytesAsString();

  // Escaping round-trips every text.
  const std::optional<std::string> unescaped = sim::FileSettings::Unescape(sim::FileSettings::Escape(text));
  FUZZ_CHECK(unescaped && *unescaped == text);
  sim::FileSettings::Unescape(text);

  {
    std::ofstream out(SettingsFile(), std::ios::binary | std::ios::trunc);
    out.write(file.data(), std::streamsize(file.size()));
  }
  sim::FileSettings settings(SettingsFile());
  for (const char* known : {app::kHeaderColourValue, app::kProgramFolderValue, app::kVersionRunValue,
                            ShutdownController::kEraseCountValue, about::kSiteAddressSetting}) {
    settings.Exists(known);
    settings.ReadInt(known);
    settings.ReadText(known);
  }
  // What is written reads back, whatever else the file holds.
  if (!name.empty()) {
    FUZZ_CHECK(settings.WriteText(name, text).ok());
    FUZZ_CHECK(settings.ReadText(name) == text);
    FUZZ_CHECK(!settings.ReadInt(name));
    FUZZ_CHECK(settings.WriteInt(name, number).ok());
    FUZZ_CHECK(settings.ReadInt(name) == number);
  }
  ReadTheProgramsValues(settings);
  return 0;
}
