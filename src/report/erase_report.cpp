#include "report/erase_report.h"
#include "record/erase_method.h"

#include <cstdio>
#include <random>

#include "drives/drive_types.h"
#include "platform/signing.h"
#include "util/base64.h"
#include "util/sha256.h"

namespace plexi::report {

namespace {

const char kClearNote[] =
    "上書き消去はNIST SP 800-88の「Clear」に当たります。フラッシュメディア（SSD、USBメモリ、メモリカード）"
    "には上書きの届かない予備領域があるため、その上の区分「Purge」にはドライブのファームウェアによる消去"
    "（Secure Erase、Sanitize）が必要です。";
const char kPurgeNote[] =
    "ドライブのファームウェアによる消去（Sanitize、Format、Secure Erase）は、NIST SP 800-88の「Purge」に当たります。";
const char kWeakerCommandNote[] =
    "ドライブのファームウェアによる消去のうち、NIST SP 800-88の「Purge」に当たるのはSanitizeです。"
    "FormatとSecure Eraseは消去の範囲をドライブ全体（キャッシュや予備領域）まで約束しないため、"
    "その下の区分「Clear」に当たります。";
const char kDeallocatedReadNote[] =
    "照合で読んだのはドライブが解放したブロックで、記録媒体そのものではありません"
    "（ドライブまたはシステムが解放しないよう指示できないため）。";
const char kExceptionsNote[] =
    "書き込めなかった、または読み戻せなかったセクタがあるため（「sector_exceptions」に記載）、"
    "ドライブ全体の消去は確かめられず、消去区分には達していません。";
const char kNoCategoryNote[] = "消去が完了していないため、消去区分には達していません。";
const char kHiddenNote[] =
    "ドライブがホストから隠している領域（HPA、DCO）は上書きされていないため、消去区分には達していません"
    "（隠された領域のセクタ数は drive.hidden_area にあります）。";
const char kUncheckedResumeNote[] =
    "中断した消去を続きから完了しましたが、中断前に書き込んだ部分をこの消去で読み戻していないため、"
    "消去区分には達していません（照合付きで消去し直すと「Clear」になります）。";

std::string WithoutLineBreak(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

const char* MediaCode(MediaKind media) {
  switch (media) {
    case MediaKind::kSsd: return "ssd";
    case MediaKind::kHdd: return "hdd";
    case MediaKind::kUnknown: break;
  }
  return "unknown";
}

// The report's words for an outcome; those already filed keep them.
const char* OutcomeCode(EraseOutcome outcome) {
  switch (outcome) {
    case EraseOutcome::kCompleted:
    case EraseOutcome::kReadBackStopped: return "completed";
    case EraseOutcome::kVerificationFailed: return "verification_failed";
    case EraseOutcome::kFailed:
    case EraseOutcome::kFailedUnwritten:
    case EraseOutcome::kReadBackFailed: return "failed";
    case EraseOutcome::kErasedWithExceptions: return "erased_with_exceptions";
    case EraseOutcome::kInterruptedSaved: return "interrupted_with_resume_point";
    case EraseOutcome::kInterruptedPartly:
    case EraseOutcome::kStoppedUnwritten: return "interrupted_without_resume_point";
    case EraseOutcome::kDeclined:
    case EraseOutcome::kRefused: break;
  }
  return "refused";
}

const char* VerifyCode(VerifyResult result) {
  switch (result) {
    case VerifyResult::kPassed: return "passed";
    case VerifyResult::kFailed: return "failed";
    case VerifyResult::kNotFinished: return "not_finished";
    case VerifyResult::kNotAsked: break;
  }
  return "not_asked";
}

const char* RecordCode(const EraseJournal& e) {
  if (e.record_failed) return "failed";
  switch (e.record) {
    case RecordLeft::kCompletion: return "completion";
    case RecordLeft::kBlank: return "blank";
    case RecordLeft::kResume: return "resume";
    case RecordLeft::kNone: break;
  }
  return "none";
}

// The write passes of an erase, in order: the last one writes zeros. A
// purge has the one zero pass written after the drive's command, if any.
json::Array Passes(const EraseJournal& e) {
  static const char* const kPatterns[][3] = {{"0x00"}, {"0xFF", "0x00"}, {"random", "0xFF", "0x00"}};
  json::Array passes;
  const bool purge = e.method == OverwriteMethod::kFirmwarePurge;
  const int32_t count = purge ? (e.purge_zero_pass ? 1 : 0) : WritePassCount(e.method);
  for (int32_t k = 0; k < count; ++k)
    passes.push_back(json::Object{{"pass", k + 1}, {"pattern", kPatterns[count - 1][k]}});
  return passes;
}

// What the drive hid from the host when it was opened, and what of it the
// erase did not reach; null where it was not asked (a volume, a drive not
// spoken to in ATA).
json::Value HiddenAreaOf(const EraseJournal& e) {
  const HiddenArea& h = e.hidden_area;
  if (!h.asked) return nullptr;
  auto known = [&h](uint64_t v) { return h.answered ? json::Value(v) : json::Value(); };
  return json::Object{
      {"answered", h.answered},
      {"host_sectors", known(h.host_sectors)},
      {"native_max_sectors", known(h.native_sectors)},
      {"dco_max_sectors", h.answered && h.dco_sectors ? json::Value(*h.dco_sectors) : json::Value()},
      {"hidden_sectors", known(h.HiddenSectors())},
      {"not_erased_sectors", known(HiddenSectorsNotErased(e))},
      {"lifted_for_erase", e.hidden_area_lifted},
  };
}

json::Value DriveOf(const EraseJournal& e) {
  const JournalDrive& d = e.drive;
  return json::Object{
      {"vendor", d.vendor},
      {"product", d.product},
      {"serial", d.serial},
      {"firmware_revision", d.revision},
      {"identity_source", d.answered ? json::Value(d.identity_source) : json::Value()},
      {"bus", d.answered ? json::Value(BusTypeName(d.bus_type)) : json::Value()},
      {"media", MediaCode(d.media)},
      {"removable", d.answered ? json::Value(d.removable) : json::Value()},
      {"sector_size", e.sector_size},
      {"sector_count", e.sector_count},
      {"capacity_bytes", e.capacity_bytes},
      {"capacity_text", e.capacity_bytes ? FormatSize(e.capacity_bytes) : std::string()},
      {"hidden_area", HiddenAreaOf(e)},
  };
}

json::Value TargetOf(const EraseJournal& e) {
  json::Object target{{"path", e.device_path}, {"label", e.label}, {"number", nullptr}, {"letter", nullptr}};
  if (e.designator && e.designator->IsPhysical()) {
    target["kind"] = "physical_drive";
    target["number"] = e.designator->number();
  } else if (e.designator) {
    target["kind"] = "volume";
    target["letter"] = std::string{e.designator->letter(), ':'};
  } else {
    target["kind"] = e.view == ViewMode::kPartition ? "volume" : "device";
  }
  return target;
}

const char* SanitizeStateCode(uint8_t state) {
  switch (state) {
    case 0: return "never_sanitized";
    case nvme::kSanitizeStateDone: return "completed";
    case nvme::kSanitizeStateRunning: return "in_progress";
    case nvme::kSanitizeStateFailed: return "failed";
    case nvme::kSanitizeStateDoneDeallocated: return "completed_with_deallocation";
    default: return "unknown";
  }
}

json::Value Optional(const std::optional<uint32_t>& v) { return v ? json::Value(*v) : json::Value(); }

// The drive's own account of its command: the status it reported when the
// command had ended.
json::Value DriveStatusOf(const PurgeEvidence& p) {
  if (p.sanitize_log) {
    const nvme::SanitizeStatus& log = *p.sanitize_log;
    json::Array estimates;
    for (uint32_t seconds : log.estimates)
      estimates.push_back(seconds == nvme::kNoEstimate ? json::Value() : json::Value(seconds));
    return json::Object{{"source", "nvme_sanitize_status_log"},
                        {"status", SanitizeStateCode(log.state)},
                        {"overwrite_passes", log.overwrite_passes},
                        {"global_data_erased", log.global_data_erased},
                        {"command_dword10", log.command_dword10},
                        {"estimates_seconds", estimates}};
  }
  if (p.ata_status)
    return json::Object{{"source", "ata_sanitize_status_ext"},
                        {"status", "completed"},
                        {"count", p.ata_status->count},
                        {"lba", p.ata_status->lba}};
  return nullptr;
}

json::Value FirmwarePurgeOf(const EraseJournal& e) {
  if (e.purge_command.empty()) return nullptr;
  const PurgeEvidence& p = e.purge_evidence;
  return json::Object{
      {"technique", PurgeTechniqueCode(e.purge_kind)},
      {"no_deallocate_requested", p.no_deallocate_requested},
      {"blocks_deallocated", p.deallocated ? json::Value(*p.deallocated) : json::Value()},
      {"estimated_seconds", Optional(p.estimated_seconds)},
      {"duration_ms", p.duration_ms},
      {"drive_status", DriveStatusOf(p)},
  };
}

// What a read-back read: what the passes wrote, or after a purge without a
// zero pass the media as the drive left it, or blocks the drive deallocated
// (which prove only what the drive answers for them).
const char* ReadBackSource(const EraseJournal& e) {
  if (!e.verify_requested) return nullptr;
  if (e.method != OverwriteMethod::kFirmwarePurge || e.purge_zero_pass) return "written_passes";
  if (!e.purge_evidence.deallocated) return "unknown";
  return *e.purge_evidence.deallocated ? "deallocated_blocks" : "media";
}

json::Value MethodOf(const EraseJournal& e, const ReportContext& c) {
  if (!e.confirmed) return nullptr;
  json::Value resume_point = nullptr;
  if (e.resumed) resume_point = json::Object{{"pass", e.resume_pass + 1}, {"chunk", e.resume_chunk}};
  return json::Object{
      {"code", MethodCode(e.method)},
      {"name", EraseMethodText(MethodCode(e.method), MethodTextForm::kLong)},
      {"passes", Passes(e)},
      {"firmware_command", e.purge_command.empty() ? json::Value() : json::Value(e.purge_command)},
      {"firmware_command_completed", e.purge_completed},
      {"firmware_purge", FirmwarePurgeOf(e)},
      {"resumed", e.resumed},
      {"resume_point", resume_point},
      {"earlier_run_ended_unexpectedly", e.earlier_run_ended_unexpectedly},
      {"interruptions_before", c.interruptions_before ? json::Value(*c.interruptions_before) : json::Value()},
      {"sectors_per_chunk", e.sectors_per_chunk},
      {"chunk_count", e.chunk_count},
  };
}

json::Value VerificationOf(const EraseJournal& e) {
  json::Value first = nullptr;
  if (e.first_nonzero_sector) first = *e.first_nonzero_sector;
  return json::Object{
      {"mode", e.verify_requested ? "full_read_back" : "none"},
      {"result", VerifyCode(e.verify)},
      {"bytes_read", e.verify_bytes_read},
      {"duration_ms", e.verify_ms},
      {"first_nonzero_sector", first},
      {"reads", ReadBackSource(e) ? json::Value(ReadBackSource(e)) : json::Value()},
  };
}

json::Array RangesOf(const std::vector<SectorRange>& ranges) {
  json::Array list;
  for (const SectorRange& r : ranges)
    list.push_back(json::Object{{"first_sector", r.first}, {"count", r.count}, {"code", r.error}});
  return list;
}

json::Value ErrorsOf(const EraseJournal& e) {
  json::Array errors;
  for (const JournalError& error : e.errors) {
    json::Value sector = nullptr;
    if (error.sector) sector = *error.sector;
    errors.push_back(json::Object{{"message", WithoutLineBreak(error.message)}, {"code", error.code}, {"sector", sector}});
  }
  return errors;
}

// The category the erase reached: Purge only by a sanitize; the technique
// that reached it; and a note saying so, and when the read-back read
// deallocated blocks rather than the media.
json::Value SanitizationOf(const EraseJournal& e, bool done, bool unchecked) {
  const bool firmware = done && e.method == OverwriteMethod::kFirmwarePurge && e.purge_completed;
  const bool purge = firmware && IsSanitize(e.purge_kind);
  const bool exceptions = e.outcome == EraseOutcome::kErasedWithExceptions;
  const bool bad_sectors = !e.unwritten.empty() || !e.unreadable.empty();
  std::string note = purge                       ? kPurgeNote
                     : firmware                  ? kWeakerCommandNote
                     : done                      ? kClearNote
                     : unchecked                 ? kUncheckedResumeNote
                     : exceptions && bad_sectors ? kExceptionsNote
                     : exceptions                ? kHiddenNote
                                                 : kNoCategoryNote;
  const char* reads = ReadBackSource(e);
  if (done && e.verify == VerifyResult::kPassed && reads && std::string(reads) == "deallocated_blocks")
    note += kDeallocatedReadNote;
  json::Value technique = nullptr;
  if (firmware) technique = PurgeTechniqueCode(e.purge_kind);
  else if (done && e.method != OverwriteMethod::kFirmwarePurge) technique = "overwrite";
  return json::Object{{"category", purge ? "Purge" : done ? "Clear" : "none"}, {"technique", technique}, {"note", note}};
}

// Every fact of the erase; the certificate restates some of them.
json::Object ErasedFacts(const EraseJournal& e, const ReportContext& c) {
  const uint64_t ms = e.seconds > 0 ? uint64_t(e.seconds * 1000.0 + 0.5) : 0;
  const uint64_t rate = e.seconds > 0 ? uint64_t(double(e.bytes_written) / e.seconds) : 0;
  // A resumed erase proves the part written before the interruption only
  // by a read-back of the whole drive in this run.
  const bool completed = EveryPassWritten(e.outcome);
  const bool unchecked = completed && e.resumed && e.verify != VerifyResult::kPassed;
  return json::Object{
      {"report_id", c.id},
      {"tool", json::Object{{"name", kToolName}, {"version", kToolVersion}}},
      {"computer", json::Object{{"name", c.computer_name}, {"operating_system", c.operating_system}}},
      {"operator", c.certificate.performer.name},
      {"organisation", c.certificate.performer.organisation},
      {"drive", DriveOf(e)},
      {"target", TargetOf(e)},
      {"method", MethodOf(e, c)},
      {"verification", VerificationOf(e)},
      {"first_sector_record", RecordCode(e)},
      {"times", json::Object{{"start", IsoTime(e.started)}, {"end", IsoTime(e.ended)}, {"duration_ms", ms}}},
      {"bytes_written", e.bytes_written},
      {"average_rate_bytes_per_second", rate},
      {"outcome", OutcomeCode(e.outcome)},
      {"errors", ErrorsOf(e)},
      {"sector_exceptions", json::Object{{"unwritten", RangesOf(e.unwritten)}, {"unreadable", RangesOf(e.unreadable)}}},
      {"sanitization", SanitizationOf(e, completed && !unchecked, unchecked)},
  };
}

}  // namespace

std::string NewReportId() {
  std::random_device source;
  uint8_t b[16];
  for (int k = 0; k < 16; k += 4) {
    const uint32_t r = source();
    for (int j = 0; j < 4; ++j) b[k + j] = uint8_t(r >> (8 * j));
  }
  b[6] = uint8_t((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = uint8_t((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
                b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

std::string IsoTime(const platform::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

json::Value ReportBody(const EraseJournal& e, const ReportContext& c) {
  json::Object facts = ErasedFacts(e, c);
  json::Value certificate = CertificateOf(e, c.certificate, json::Value(facts));
  facts.emplace("certificate", std::move(certificate));
  facts.emplace("signer_key", c.signer_public_key.empty() ? json::Value() : SignerKeyOf(c.signer_public_key));
  return facts;
}

std::string CanonicalText(const json::Value& body) { return json::Write(body); }

std::string BodyDigest(const json::Value& body) { return Sha256Hex(Sha256Of(CanonicalText(body))); }

json::Value SignerKeyOf(const std::string& public_key) {
  return json::Object{{"algorithm", platform::kSignatureAlgorithm},
                      {"fingerprint", platform::KeyFingerprint(public_key)}};
}

std::string ReportFileText(const json::Value& body, const std::optional<ReportSignature>& signature) {
  json::Value signed_by = nullptr;
  if (signature)
    signed_by = json::Object{{"algorithm", platform::kSignatureAlgorithm},
                             {"fingerprint", platform::KeyFingerprint(signature->public_key)},
                             {"public_key", Base64Encode(signature->public_key)},
                             {"value", Base64Encode(signature->value)}};
  json::Value file = json::Object{
      {"schema", kSchemaName},
      {"schema_version", kSchemaVersion},
      {"report", body},
      {"digest", json::Object{{"algorithm", "SHA-256"}, {"value", BodyDigest(body)}}},
      {"signature", signed_by},
  };
  return json::Write(file, 2) + "\n";
}

namespace {

// The signature of a version 2 file against the key its body names. The
// file's fingerprint is only a convenience: the one that counts is the
// fingerprint of the key the file carries, which must be the body's.
SignatureCheck CheckSignature(const json::Value& file, ReadReport& read) {
  const json::Value& named = read.body["signer_key"];
  const json::Value& signature = file["signature"];
  read.named_fingerprint = named.Text("fingerprint");
  if (signature.IsNull()) return named.IsNull() ? SignatureCheck::kUnsigned : SignatureCheck::kMissing;
  std::optional<std::string> key = Base64Decode(signature.Text("public_key"));
  std::optional<std::string> value = Base64Decode(signature.Text("value"));
  if (!key || !value || signature.Text("algorithm") != platform::kSignatureAlgorithm)
    return SignatureCheck::kMalformed;
  read.signer_public_key = *key;
  read.signer_fingerprint = platform::KeyFingerprint(*key);
  if (named.Text("algorithm") != platform::kSignatureAlgorithm || read.named_fingerprint != read.signer_fingerprint)
    return SignatureCheck::kKeyMismatch;
  return platform::VerifySignature(*key, CanonicalText(read.body), *value) ? SignatureCheck::kValid
                                                                            : SignatureCheck::kInvalid;
}

}  // namespace

std::optional<ReadReport> ParseReportFile(const std::string& text, std::string* error) {
  std::string why;
  std::optional<json::Value> file = json::Read(text, &why);
  if (!file) {
    if (error) *error = "not JSON (" + why + ")";
    return std::nullopt;
  }
  if (file->Text("schema") != kSchemaName) {
    if (error) *error = "not an erase report";
    return std::nullopt;
  }
  const std::optional<int64_t> version = (*file)["schema_version"].AsInt();
  if (!version || *version < kOldestSchemaVersion || *version > kSchemaVersion) {
    if (error) *error = "a report of an unknown schema version";
    return std::nullopt;
  }
  if (!(*file)["report"].AsObject()) {
    if (error) *error = "the report has no body";
    return std::nullopt;
  }
  ReadReport read;
  read.body = (*file)["report"];
  read.stored_digest = (*file)["digest"].Text("value");
  read.computed_digest = BodyDigest(read.body);
  // The schema version is outside the signed text: a file that says 1 is
  // checked all the same (a genuine one has no signature and names no key).
  read.signature = CheckSignature(*file, read);
  return read;
}

std::string OutcomeWords(const std::string& outcome, Language language) {
  struct Words {
    const char* outcome;
    const char* english;
    const char* japanese;
  };
  static constexpr Words kWords[] = {
      {"completed", "erased", "消去完了"},
      {"verification_failed", "read-back found sectors not erased", "照合で未消去個所を検出"},
      {"failed", "erase failed", "消去失敗"},
      {"erased_with_exceptions", "erased with exceptions (sectors that could not be erased)",
       "例外付きで消去（消去できないセクタあり）"},
      {"interrupted_with_resume_point", "interrupted (can be resumed)", "中断（続きから消去できます）"},
      {"interrupted_without_resume_point", "interrupted (no resume point)", "中断（再開情報なし）"},
      {"refused", "not erased", "消去せず"},
  };
  for (const Words& words : kWords)
    if (outcome == words.outcome) return InLanguage(language, words.english, words.japanese);
  return outcome;
}

std::string DriveNameOf(const json::Value& drive) {
  std::string name = drive.Text("vendor");
  if (!name.empty() && !drive.Text("product").empty()) name += " ";
  return name + drive.Text("product");
}

std::string MethodWords(int64_t code) {
  return code >= 0 && code <= 3 ? EraseMethodText(int32_t(code), MethodTextForm::kLong) : std::string("—");
}

}  // namespace plexi::report
