#include "report/certificate.h"

#include <cstdio>

#include "drives/drive_types.h"
#include "platform/winconst.h"

namespace plexi::report {

namespace {

struct PersonKeys {
  const char *name, *title, *organisation, *location, *contact;
};
constexpr PersonKeys kPerformerKeys{setting::kPerformerName, setting::kPerformerTitle, setting::kOrganisation,
                                    setting::kPerformerLocation, setting::kPerformerContact};
constexpr PersonKeys kValidatorKeys{setting::kValidatorName, setting::kValidatorTitle,
                                    setting::kValidatorOrganisation, setting::kValidatorLocation,
                                    setting::kValidatorContact};

Person ReadPerson(platform::Settings& settings, const PersonKeys& keys) {
  auto text = [&settings](const char* name) { return settings.ReadText(name).value_or(std::string()); };
  return {text(keys.name), text(keys.title), text(keys.organisation), text(keys.location), text(keys.contact)};
}

platform::Result<> StorePerson(platform::Settings& settings, const PersonKeys& keys, const Person& p) {
  const std::pair<const char*, const std::string*> values[] = {{keys.name, &p.name},
                                                               {keys.title, &p.title},
                                                               {keys.organisation, &p.organisation},
                                                               {keys.location, &p.location},
                                                               {keys.contact, &p.contact}};
  for (const auto& [name, value] : values)
    if (platform::Result<> stored = settings.WriteText(name, *value); !stored.ok()) return stored;
  return platform::Result<>::Success();
}

json::Value TextOrNull(const std::string& text) { return text.empty() ? json::Value() : json::Value(text); }

// "2026-12-08" of "2026-12-08T09:30:00".
std::string DateOf(const platform::LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
  return text;
}

json::Value PersonOf(const Person& p, const json::Value& date) {
  return json::Object{{"name", p.name},         {"title", p.title},     {"organisation", p.organisation},
                      {"location", p.location}, {"contact", p.contact}, {"date", date}};
}

std::string PatternWords(const std::string& pattern) { return pattern == "random" ? "乱数" : pattern; }

std::string PassesWords(const json::Array& passes) {
  std::string words;
  for (const json::Value& pass : passes) words += (words.empty() ? "" : "、") + PatternWords(pass.Text("pattern"));
  return words;
}

// The technique in the certificate's words: the overwrite with its passes,
// or the drive's command and the zero pass after it.
json::Value TechniqueWords(const json::Value& method) {
  if (method.IsNull()) return nullptr;
  const json::Array* passes = method["passes"].AsArray();
  const size_t count = passes ? passes->size() : 0;
  const std::string written = count ? "上書き " + std::to_string(count) + " 回（" + PassesWords(*passes) + "）" : "";
  if (method["code"].AsInt() != MethodCode(OverwriteMethod::kFirmwarePurge)) return written;
  const std::string command = method.Text("firmware_command");
  if (command.empty()) return written.empty() ? json::Value() : json::Value(written);
  return "ドライブのファームウェアによる消去（" + command + "）" + (written.empty() ? "" : "、続けて" + written);
}

std::string VerificationWords(const json::Value& v) {
  if (v.Text("mode") != "full_read_back") return "照合なし";
  std::string words = "全セクタを読み戻し、0 以外のバイトがないことを確認";
  if (v.Text("reads") == "deallocated_blocks") words += "（読んだのはドライブが解放したブロック）";
  const std::string result = v.Text("result");
  return words + (result == "passed"      ? "：合格"
                  : result == "failed"    ? "：不合格"
                  : result == "not_asked" ? "：実施されず"
                                          : "：途中で終了");
}

}  // namespace

bool IsDestinationCode(const std::string& code) {
  for (const Destination& d : kDestinations)
    if (code == d.code) return true;
  return false;
}

std::string DestinationWords(const std::string& code) {
  if (code.empty()) return "—";
  for (const Destination& d : kDestinations)
    if (code == d.code) return d.words;
  return code;
}

CertificateFacts ReadCertificateSettings(platform::Settings& settings) {
  CertificateFacts facts;
  facts.media_source = settings.ReadText(setting::kMediaSource).value_or(std::string());
  facts.media_destination = settings.ReadText(setting::kMediaDestination).value_or(std::string());
  facts.performer = ReadPerson(settings, kPerformerKeys);
  facts.validator = ReadPerson(settings, kValidatorKeys);
  return facts;
}

platform::Result<> StoreCertificateSettings(platform::Settings& settings, const CertificateFacts& facts) {
  if (platform::Result<> stored = StorePerson(settings, kPerformerKeys, facts.performer); !stored.ok()) return stored;
  if (platform::Result<> stored = StorePerson(settings, kValidatorKeys, facts.validator); !stored.ok()) return stored;
  if (platform::Result<> stored = settings.WriteText(setting::kMediaSource, facts.media_source); !stored.ok())
    return stored;
  return settings.WriteText(setting::kMediaDestination, facts.media_destination);
}

// The media tables of the standard sort drives by interface and kind.
std::string MediaTypeOf(const EraseJournal& e) {
  const JournalDrive& d = e.drive;
  const char* kind = d.media == MediaKind::kSsd ? "SSD" : d.media == MediaKind::kHdd ? "HDD" : "drive";
  switch (d.bus_type) {
    case winconst::kBusTypeAta:
    case winconst::kBusTypeSata: return std::string("ATA ") + kind;
    case winconst::kBusTypeScsi:
    case winconst::kBusTypeSas:
    case winconst::kBusTypeFibre:
    case winconst::kBusTypeIscsi: return std::string("SCSI ") + kind;
    case winconst::kBusTypeNvme: return "NVMe SSD";
    case winconst::kBusTypeUsb: return "USB removable media";
    case winconst::kBusTypeSd:
    case winconst::kBusTypeMmc: return "memory card";
    case winconst::kBusTypeUfs: return "UFS flash memory";
    case winconst::kBusTypeVirtual:
    case winconst::kBusTypeFileBackedVirtual:
    case winconst::kBusTypeSpaces: return "virtual disk";
    default: break;
  }
  return d.answered ? std::string("unknown ") + kind : std::string("unknown");
}

json::Value CertificateOf(const EraseJournal& e, const CertificateFacts& facts, const json::Value& body) {
  const std::string source = e.media_source.empty() ? facts.media_source : e.media_source;
  const std::string date = DateOf(e.ended);
  const json::Value& sanitization = body["sanitization"];
  const std::string category = sanitization.Text("category");
  return json::Object{
      {"standard", kStandardName},
      {"media", json::Object{{"asset_number", e.asset_number},
                             {"source", source},
                             {"type", MediaTypeOf(e)},
                             {"destination", TextOrNull(facts.media_destination)}}},
      {"sanitization_method", category == "Clear" || category == "Purge" ? json::Value(category) : json::Value()},
      {"technique", TechniqueWords(body["method"])},
      {"tool", body["tool"].Text("name") + " " + body["tool"].Text("version")},
      {"verification_method", VerificationWords(body["verification"])},
      {"performed_by", PersonOf(facts.performer, date)},
      {"validated_by", PersonOf(facts.validator, facts.validator.name.empty() ? json::Value() : json::Value(date))},
  };
}

}  // namespace plexi::report
