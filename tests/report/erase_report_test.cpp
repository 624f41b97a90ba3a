// Erase reports: their facts are what the erase did to the simulated drive
// (its write trace, its counters and its bytes), the digest catches a
// changed byte, the page escapes what the drive says about itself, and a
// report that cannot be written leaves the erase's result alone.
#include <cstdio>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "erase/erase_test_support.h"
#include "platform/sim/directory_file_store.h"
#include "report/erase_report.h"
#include "report/report_html.h"
#include "report/report_store.h"
#include "support/test_support.h"

namespace plexi {
namespace {

report::ReportContext TestContext(const std::string& id, const std::string& performer, const std::string& organisation) {
  report::ReportContext context;
  context.id = id;
  context.computer_name = "PC";
  context.operating_system = "OS";
  context.certificate.performer.name = performer;
  context.certificate.performer.organisation = organisation;
  return context;
}

using test::FakeEnvironment;
using test::ScriptedEraseUi;

// Disk 1: 61440 sectors (30 MiB), an SSD on USB. Disk 2 has a sector in
// its middle that no write reaches; disk 3 loses a write at sector 20000
// (the read-back finds it); disk 4 is unplugged while it is written.
constexpr char kMachine[] = R"(
system-directory "C:\Windows\system32"
disk 0 size=1G bus=11 product="System"
volume C: disk=0 offset=1M length=900M
disk 1 sectors=61440 bus=7 vendor="SanDisk" product="Ultra <Fit>" serial="4C53 0001/23" revision="1.00" removable=yes media=ssd
volume E: disk=1 offset=1M length=10M
disk 2 sectors=61440 bus=11 product="Failing" serial="F1" media=hdd
fault disk=2 op=write sector=40000 error=29
disk 3 sectors=61440 bus=11 product="Forgetful" serial="D3"
fault disk=3 op=drop-write sector=20000
disk 4 sectors=61440 bus=11 product="Unplugged" serial="U4" media=hdd
fault disk=4 op=write sector=40000 error=1167
trace writes
)";

class ReportTest : public ::testing::Test {
 protected:
  // The machine is loaded from a file, so that it keeps its write trace.
  static std::unique_ptr<sim::SimMachine> LoadMachine(const test::TempDir& dir) {
    std::ofstream(dir.file("m.machine")) << kMachine;
    std::string error;
    std::unique_ptr<sim::SimMachine> machine = sim::SimMachine::Load(dir.file("m.machine"), &error);
    EXPECT_TRUE(machine) << error;
    return machine;
  }

  // Erases a disk and files its report; the report body as read back.
  json::Value EraseAndReport(uint32_t disk, RecordLeft expected, bool is_protected = false) {
    EraseTarget target{DriveDesignator::Physical(disk).DevicePath(), DriveDesignator::Physical(disk),
                       "Drive " + std::to_string(disk), ViewMode::kPhysical, std::nullopt, {}, {}, {}};
    if (is_protected) target.protection = [] { return std::optional<std::string>(erase_text::kProtected); };
    EXPECT_EQ(workflow_.RunErase(target), expected);
    report::FiledReport filed =
        report::FileEraseReport(*machine_, files_, folder_, workflow_.Journal(), TestContext("", "op", "org"));
    EXPECT_TRUE(filed.written) << filed.error;
    last_ = filed.paths;
    std::string why;
    std::optional<report::ReadReport> read = report::ParseReportFile(files_.Read(filed.paths.json_path).bytes, &why);
    EXPECT_TRUE(read) << why;
    EXPECT_TRUE(read && read->Unchanged());
    return read ? read->body : json::Value();
  }

  // Bytes the trace shows written to a disk since the last call.
  uint64_t TracedWrites(uint32_t disk) {
    std::ifstream trace(dir_.file("m.machine.trace"));
    const std::string device = "write " + DriveDesignator::Physical(disk).DevicePath() + " ";
    uint64_t total = 0, line_no = 0;
    for (std::string line; std::getline(trace, line); ++line_no) {
      if (line_no < trace_lines_seen_ || line.rfind(device, 0) != 0) continue;
      total += std::stoull(line.substr(line.find("bytes=") + 6));
    }
    trace_lines_seen_ = line_no;
    return total;
  }

  uint64_t Num(const json::Value& v) { return v.AsUnsigned().value_or(~0ull); }
  std::vector<uint8_t> Sector0(uint32_t disk) { return machine_->PeekDisk(disk, 0, 512); }
  bool AllZeroAfterSector0(uint32_t disk) {
    std::vector<uint8_t> rest = machine_->PeekDisk(disk, 512, 61439 * 512);
    return std::all_of(rest.begin(), rest.end(), [](uint8_t b) { return b == 0; });
  }

  test::TempDir dir_;
  std::unique_ptr<sim::SimMachine> machine_ = LoadMachine(dir_);
  sim::DirectoryFileStore files_{dir_.path().string()};
  std::string folder_ = dir_.file("reports");
  ScriptedEraseUi ui_;
  FakeEnvironment env_;
  EstimateState estimate_;
  EraseWorkflow workflow_{*machine_, ui_, env_, estimate_, Pacing{0, 0, 20, 0, 0, 0}};
  report::WrittenReport last_;
  uint64_t trace_lines_seen_ = 0;
};

TEST_F(ReportTest, ACompletedEraseReportsWhatWasWrittenAndRead) {
  std::vector<uint8_t> junk(512, 0x5A);
  machine_->PokeDisk(1, 30000 * 512ull, junk.data(), junk.size());
  ui_.choice = {true, false, true, OverwriteMethod::kZeros};
  json::Value r = EraseAndReport(1, RecordLeft::kCompletion);
  EXPECT_EQ(r.Text("outcome"), "completed");
  EXPECT_EQ(Num(r["bytes_written"]), TracedWrites(1));
  EXPECT_EQ(Num(r["bytes_written"]), 61440 * 512ull + 512);  // one pass and the record
  EXPECT_EQ(r["verification"].Text("mode"), "none");
  EXPECT_EQ(r["verification"].Text("result"), "not_asked");
  EXPECT_EQ(r.Text("first_sector_record"), "completion");
  EXPECT_EQ(Sector0(1), BuildCompletionRecord(512, 0));
  EXPECT_TRUE(AllZeroAfterSector0(1));
  EXPECT_EQ(r["drive"].Text("serial"), "4C53 0001/23");
  EXPECT_EQ(r["drive"].Text("firmware_revision"), "1.00");
  EXPECT_EQ(r["drive"].Text("identity_source"), "storage_descriptor");
  EXPECT_EQ(r["drive"].Text("bus"), "USB");
  EXPECT_EQ(r["drive"].Text("media"), "ssd");
  EXPECT_EQ(*r["drive"]["removable"].AsBool(), true);
  EXPECT_EQ(Num(r["drive"]["sector_count"]), 61440u);
  EXPECT_EQ(Num(r["drive"]["capacity_bytes"]), 61440 * 512ull);
  EXPECT_EQ(r["target"].Text("kind"), "physical_drive");
  EXPECT_EQ(Num(r["target"]["number"]), 1u);
  EXPECT_EQ(r["method"]["passes"].AsArray()->size(), 1u);
  EXPECT_EQ(r["sanitization"].Text("category"), "Clear");
  EXPECT_NE(r["sanitization"].Text("note").find("フラッシュメディア"), std::string::npos);
  EXPECT_EQ(r.Text("operator"), "op");
  EXPECT_EQ(r.Text("report_id").size(), 36u);
  EXPECT_EQ(r.Text("report_id")[14], '4');

  // Three passes read back, history not kept: the first sector is zeros.
  ui_.answers = {true};  // erase again
  ui_.choice = {true, true, false, OverwriteMethod::kRandomFfThenZeros};
  r = EraseAndReport(1, RecordLeft::kBlank);
  EXPECT_EQ(r.Text("outcome"), "completed");
  EXPECT_EQ(Num(r["bytes_written"]), TracedWrites(1));
  EXPECT_EQ(Num(r["bytes_written"]), 3 * 61440 * 512ull + 512);
  EXPECT_EQ(r["verification"].Text("result"), "passed");
  EXPECT_EQ(Num(r["verification"]["bytes_read"]), 61440 * 512ull);
  EXPECT_TRUE(r["verification"]["first_nonzero_sector"].IsNull());
  EXPECT_LE(Num(r["verification"]["duration_ms"]), Num(r["times"]["duration_ms"]));
  EXPECT_EQ(r.Text("first_sector_record"), "blank");
  EXPECT_EQ(Sector0(1), std::vector<uint8_t>(512, 0));
  const json::Array& passes = *r["method"]["passes"].AsArray();
  ASSERT_EQ(passes.size(), 3u);
  EXPECT_EQ(passes[0].Text("pattern"), "random");
  EXPECT_EQ(passes[2].Text("pattern"), "0x00");
  EXPECT_EQ(report::ListReports(files_, folder_).size(), 2u);
}

TEST_F(ReportTest, AVerificationFailureNamesTheFirstSectorLeft) {
  std::vector<uint8_t> junk(512, 0x77);
  machine_->PokeDisk(3, 20000 * 512ull, junk.data(), junk.size());
  ui_.choice = {true, true, true, OverwriteMethod::kZeros};
  json::Value r = EraseAndReport(3, RecordLeft::kNone);
  EXPECT_EQ(machine_->PeekDisk(3, 20000 * 512ull, 512), junk);  // the lost write left it
  EXPECT_EQ(r.Text("outcome"), "verification_failed");
  EXPECT_EQ(r["verification"].Text("result"), "failed");
  EXPECT_EQ(Num(r["verification"]["first_nonzero_sector"]), 20000u);
  EXPECT_EQ(Num(r["verification"]["bytes_read"]), 61440 * 512ull);
  EXPECT_EQ(r.Text("first_sector_record"), "none");
  EXPECT_EQ(r["sanitization"].Text("category"), "none");
  ASSERT_EQ(r["errors"].AsArray()->size(), 1u);
  EXPECT_EQ(r["errors"].AsArray()->at(0).Text("message"), erase_text::kVerifyFailed);
  EXPECT_EQ(Num(r["errors"].AsArray()->at(0)["sector"]), 20000u);
  EXPECT_EQ(Num(r["bytes_written"]), TracedWrites(3));
  EXPECT_EQ(r["drive"].Text("media"), "unknown");
}

TEST_F(ReportTest, AWriteFailureNamesItsCodeAndWhereTheTransferBegan) {
  json::Value r = EraseAndReport(4, RecordLeft::kResume);
  EXPECT_EQ(r.Text("outcome"), "failed");
  EXPECT_EQ(Num(r["bytes_written"]), machine_->DiskCounters(4).bytes_written);
  EXPECT_LT(Num(r["bytes_written"]), 40000 * 512ull);
  ASSERT_EQ(r["errors"].AsArray()->size(), 1u);
  const json::Value& error = r["errors"].AsArray()->at(0);
  EXPECT_EQ(Num(error["code"]), 1167u);
  // The first byte not written; the resume record kept there came after.
  EXPECT_EQ(Num(error["sector"]) * 512 + 512, Num(r["bytes_written"]));
  EXPECT_LE(Num(error["sector"]), 40000u);
  EXPECT_EQ(r.Text("first_sector_record"), "resume");
  EXPECT_EQ(r["drive"].Text("media"), "hdd");
  EXPECT_EQ(r["sanitization"].Text("category"), "none");
}

TEST_F(ReportTest, AnEraseAroundABadSectorListsItAndIsNotClear) {
  json::Value r = EraseAndReport(2, RecordLeft::kNone);
  EXPECT_EQ(r.Text("outcome"), "erased_with_exceptions");
  const json::Value& unwritten = r["sector_exceptions"]["unwritten"];
  ASSERT_TRUE(unwritten.AsArray());
  ASSERT_EQ(unwritten.AsArray()->size(), 1u);
  EXPECT_EQ(Num(unwritten.AsArray()->at(0)["first_sector"]), 40000u);
  EXPECT_EQ(Num(unwritten.AsArray()->at(0)["count"]), 1u);
  EXPECT_EQ(Num(unwritten.AsArray()->at(0)["code"]), 29u);
  EXPECT_EQ(r.Text("first_sector_record"), "none");
  EXPECT_EQ(r["sanitization"].Text("category"), "none");
  EXPECT_NE(report::OutcomeWords(r.Text("outcome")), r.Text("outcome"));
}

TEST_F(ReportTest, InterruptionsAndTheResumeThatCompletesThem) {
  ui_.choice = {true, false, true, OverwriteMethod::kFfThenZeros};
  ui_.view.on_write = [&](uint64_t position) {
    if (position >= (8ull << 20)) workflow_.RequestCancel();
  };
  ui_.answers = {false};  // do not keep the resume point
  json::Value r = EraseAndReport(1, RecordLeft::kNone);
  EXPECT_EQ(r.Text("outcome"), "interrupted_without_resume_point");
  EXPECT_EQ(r.Text("first_sector_record"), "none");
  EXPECT_EQ(Num(r["bytes_written"]), TracedWrites(1));
  EXPECT_GE(Num(r["bytes_written"]), 8ull << 20);

  ui_.answers = {true};  // keep it this time
  r = EraseAndReport(1, RecordLeft::kResume);
  EXPECT_EQ(r.Text("outcome"), "interrupted_with_resume_point");
  EXPECT_EQ(r.Text("first_sector_record"), "resume");
  EXPECT_EQ(Num(r["bytes_written"]), TracedWrites(1));
  EraseRecordFields saved;
  std::vector<uint8_t> sector = Sector0(1);
  ASSERT_EQ(RecogniseForErase(sector.data(), 512, saved), RecordKind::kResume);

  // Resumed from that point to the end: the report names the point and the
  // interruption the earlier report recorded.
  ui_.view.on_write = nullptr;
  ui_.answers = {true};  // resume
  r = EraseAndReport(1, RecordLeft::kCompletion);
  EXPECT_EQ(r.Text("outcome"), "completed");
  EXPECT_TRUE(*r["method"]["resumed"].AsBool());
  EXPECT_EQ(Num(r["method"]["resume_point"]["pass"]), uint64_t(saved.ResumePass) + 1);
  EXPECT_EQ(Num(r["method"]["resume_point"]["chunk"]), saved.ResumeChunk);
  EXPECT_EQ(Num(r["method"]["interruptions_before"]), 1u);
  EXPECT_EQ(Num(r["bytes_written"]), TracedWrites(1));
  const uint64_t chunk_bytes = Num(r["method"]["sectors_per_chunk"]) * 512;
  EXPECT_EQ(Num(r["bytes_written"]), (2 * 61440 * 512ull - saved.ResumeChunk * chunk_bytes) + 512);
  EXPECT_EQ(Sector0(1), BuildCompletionRecord(512, 1));
  EXPECT_TRUE(AllZeroAfterSector0(1));
  // Nothing in this run read back what the interrupted runs wrote.
  EXPECT_EQ(r["sanitization"].Text("category"), "none");
  EXPECT_EQ(CompletionNote(workflow_.Outcome(), workflow_.Journal()), erase_text::kEarlierPartUnchecked);

  // Interrupted and resumed once more, this time read back whole: Clear.
  ui_.view.on_write = [&](uint64_t position) {
    if (position >= (8ull << 20)) workflow_.RequestCancel();
  };
  ui_.answers = {true, true};  // erase again, keeping the resume point
  EraseAndReport(1, RecordLeft::kResume);
  ui_.view.on_write = nullptr;
  ui_.answers = {true};
  ui_.choice.verify = true;
  r = EraseAndReport(1, RecordLeft::kCompletion);
  EXPECT_TRUE(*r["method"]["resumed"].AsBool());
  EXPECT_EQ(r["sanitization"].Text("category"), "Clear");
  EXPECT_EQ(CompletionNote(workflow_.Outcome(), workflow_.Journal()), std::nullopt);
}

// A cancel during the read-back leaves a completed erase (every pass was
// written), but the report must not claim a read-back that did not finish.
TEST_F(ReportTest, AReadBackCutShortIsNotReportedAsPassed) {
  ui_.choice = {true, true, true, OverwriteMethod::kZeros};
  ui_.view.on_verify = [&](uint64_t) { workflow_.RequestCancel(); };
  json::Value r = EraseAndReport(1, RecordLeft::kCompletion);
  EXPECT_EQ(r.Text("outcome"), "completed");
  EXPECT_EQ(r["verification"].Text("mode"), "full_read_back");
  EXPECT_EQ(r["verification"].Text("result"), "not_finished");
  EXPECT_LT(Num(r["verification"]["bytes_read"]), 61440 * 512ull);
  EXPECT_GT(Num(r["verification"]["bytes_read"]), 0u);
  EXPECT_EQ(r["sanitization"].Text("category"), "Clear");
  // Every pass is written, but the erase says the read-back stopped, and where.
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kReadBackStopped);
  const int percent = int(Num(r["verification"]["bytes_read"]) * 100 / (61440 * 512ull));
  EXPECT_EQ(CompletionNote(workflow_.Outcome(), workflow_.Journal()), erase_text::ReadBackStopped(percent));
}

TEST(SimMedia, TheMediaKeyTakesThreeWords) {
  std::string error;
  EXPECT_FALSE(sim::SimMachine::Parse("disk 0 sectors=100 media=flash\n", ".", &error));
  EXPECT_NE(error.find("media must be ssd, hdd or unknown"), std::string::npos) << error;
}

TEST_F(ReportTest, ARefusedEraseWroteNothingAndSaysWhy) {
  json::Value r = EraseAndReport(1, RecordLeft::kNone, /*is_protected=*/true);
  EXPECT_EQ(r.Text("outcome"), "refused");
  EXPECT_EQ(Num(r["bytes_written"]), 0u);
  EXPECT_EQ(machine_->DiskCounters(1).writes, 0u);
  EXPECT_EQ(TracedWrites(1), 0u);
  ASSERT_EQ(r["errors"].AsArray()->size(), 1u);
  EXPECT_EQ(r["errors"].AsArray()->at(0).Text("message"), erase_text::kProtected);
  EXPECT_EQ(r["sanitization"].Text("category"), "none");

  // The system disk is refused before any question; a declined erase files nothing.
  r = EraseAndReport(0, RecordLeft::kNone);
  EXPECT_EQ(r.Text("outcome"), "refused");
  EXPECT_EQ(machine_->DiskCounters(0).writes, 0u);
  ui_.answers = {false};
  machine_->PokeDisk(1, 0, BuildCompletionRecord(512, 2).data(), 512);
  EXPECT_EQ(workflow_.RunErase(DriveDesignator::Physical(1), "D", ViewMode::kPhysical), RecordLeft::kNone);
  EXPECT_FALSE(workflow_.Journal().due);
}

TEST_F(ReportTest, TheDigestCatchesAnyChangedByteOfTheFacts) {
  EraseAndReport(1, RecordLeft::kCompletion);
  const std::string text = files_.Read(last_.json_path).bytes;
  ASSERT_TRUE(report::ParseReportFile(text, nullptr)->Unchanged());
  // One digit of the bytes written, one letter of the serial, the digest itself.
  for (const std::string& needle : {std::string("\"bytes_written\": "), std::string("4C53"), std::string("\"value\": \"")}) {
    std::string changed = text;
    const size_t at = changed.find(needle) + needle.size();
    changed[at] = changed[at] == '1' ? '2' : '1';
    std::optional<report::ReadReport> read = report::ParseReportFile(changed, nullptr);
    ASSERT_TRUE(read) << needle;
    EXPECT_FALSE(read->Unchanged()) << needle;
  }
  // Layout alone is no change of the facts.
  std::string compact = text;
  compact.erase(std::remove(compact.begin(), compact.end(), '\n'), compact.end());
  EXPECT_TRUE(report::ParseReportFile(compact, nullptr)->Unchanged());
  EXPECT_FALSE(report::ParseReportFile("{\"schema\": \"other\"}", nullptr));
  EXPECT_FALSE(report::ParseReportFile(text.substr(0, text.size() / 2), nullptr));
  // Files of the first schema version are still read and checked; versions
  // this copy does not know are not taken for either.
  const std::string now = "\"schema_version\": " + std::to_string(report::kSchemaVersion);
  ASSERT_NE(text.find(now), std::string::npos);
  for (const auto& [version, readable] : {std::pair{1, true}, {0, false}, {report::kSchemaVersion + 1, false}}) {
    std::string other = text;
    other.replace(other.find(now), now.size(), "\"schema_version\": " + std::to_string(version));
    std::optional<report::ReadReport> read = report::ParseReportFile(other, nullptr);
    EXPECT_EQ(read.has_value(), readable) << version;
    if (read) {
      EXPECT_TRUE(read->Unchanged());
    }
  }
}

// The digest is public arithmetic: an edit with the digest computed again
// passes it. The signature is what catches it, and what says whose key.
TEST_F(ReportTest, TheSignatureCatchesEditedFactsAndKeysSwapped) {
  std::unique_ptr<platform::SigningKeys> ours = platform::MakeSigningKeys(dir_.file("ours"));
  std::unique_ptr<platform::SigningKeys> theirs = platform::MakeSigningKeys(dir_.file("theirs"));
  const std::string our_key = *ours->Create(false), their_key = *theirs->Create(false);
  ASSERT_EQ(workflow_.RunErase(DriveDesignator::Physical(1), "D", ViewMode::kPhysical), RecordLeft::kCompletion);
  report::FiledReport filed = report::FileEraseReport(*machine_, files_, folder_, workflow_.Journal(), {}, "", ours.get());
  ASSERT_TRUE(filed.written && filed.signed_by_key) << filed.error;
  const std::string text = files_.Read(filed.paths.json_path).bytes;
  std::optional<report::ReadReport> read = report::ParseReportFile(text, nullptr);
  ASSERT_TRUE(read && read->Signed());
  EXPECT_EQ(read->signer_fingerprint, platform::KeyFingerprint(our_key));
  EXPECT_EQ(read->body["signer_key"].Text("fingerprint"), read->signer_fingerprint);
  EXPECT_NE(files_.Read(filed.paths.html_path).bytes.find(read->signer_fingerprint), std::string::npos);

  auto edited = [&](const char* member, json::Value value) {
    json::Object body = *read->body.AsObject();
    body[member] = std::move(value);
    return json::Value(std::move(body));
  };
  const json::Value more_written = edited("bytes_written", uint64_t(1));
  const json::Value named_theirs = edited("signer_key", report::SignerKeyOf(their_key));
  const std::string original_value = *platform::MakeSigningKeys(dir_.file("ours"))->Sign(report::CanonicalText(read->body));
  struct Case {
    const char* what;
    json::Value body;
    std::optional<report::ReportSignature> signature;
    report::SignatureCheck expected;
  } cases[] = {
      {"facts edited, digest recomputed", more_written, report::ReportSignature{our_key, original_value},
       report::SignatureCheck::kInvalid},
      {"signature removed", read->body, std::nullopt, report::SignatureCheck::kMissing},
      {"re-signed by another key, body naming ours", more_written,
       report::ReportSignature{their_key, *theirs->Sign(report::CanonicalText(more_written))},
       report::SignatureCheck::kKeyMismatch},
      {"our signature beside their key", read->body, report::ReportSignature{their_key, original_value},
       report::SignatureCheck::kKeyMismatch},
      {"body names their key, signed by ours", named_theirs,
       report::ReportSignature{our_key, *ours->Sign(report::CanonicalText(named_theirs))},
       report::SignatureCheck::kKeyMismatch},
      {"a signature that is no DER", read->body, report::ReportSignature{our_key, "not a signature"},
       report::SignatureCheck::kInvalid},
  };
  for (const Case& c : cases) {
    std::optional<report::ReadReport> changed = report::ParseReportFile(report::ReportFileText(c.body, c.signature), nullptr);
    ASSERT_TRUE(changed) << c.what;
    EXPECT_TRUE(changed->DigestMatches()) << c.what;
    EXPECT_EQ(changed->signature, c.expected) << c.what;
    EXPECT_FALSE(changed->Unchanged()) << c.what;
    // The schema version is outside the signed text: calling the file one
    // of version 1 does not spare it the check.
    std::string older = report::ReportFileText(c.body, c.signature);
    const std::string now = "\"schema_version\": " + std::to_string(report::kSchemaVersion);
    older.replace(older.find(now), now.size(), "\"schema_version\": 1");
    EXPECT_FALSE(report::ParseReportFile(older, nullptr)->Unchanged()) << c.what << ", as version 1";
  }
  // Their own report, signed by them, is valid: only the fingerprint (the
  // page's, or --key) says it is not ours.
  const json::Value own = edited("signer_key", report::SignerKeyOf(their_key));
  read = report::ParseReportFile(report::ReportFileText(own, report::ReportSignature{their_key, *theirs->Sign(report::CanonicalText(own))}), nullptr);
  ASSERT_TRUE(read && read->Signed());
  EXPECT_EQ(read->signer_fingerprint, platform::KeyFingerprint(their_key));
  // A public key file that is not the private key's pair: the report is
  // filed unsigned, and says why, rather than with a signature no one can
  // check; and a private key without its public one is no silent unsigned.
  ASSERT_TRUE(files_.Replace(ours->PublicKeyPath(), files_.Read(theirs->PublicKeyPath()).bytes).ok());
  filed = report::FileEraseReport(*machine_, files_, folder_, workflow_.Journal(), {}, "", ours.get());
  EXPECT_TRUE(filed.written);
  EXPECT_FALSE(filed.signed_by_key);
  EXPECT_FALSE(filed.error.empty());
  EXPECT_EQ(report::ParseReportFile(files_.Read(filed.paths.json_path).bytes, nullptr)->signature,
            report::SignatureCheck::kUnsigned);
  std::remove(ours->PublicKeyPath().c_str());
  EXPECT_FALSE(ours->PublicKey().ok());
  // A signature member that is not base64, and a file of version 1.
  std::string garbled = text;
  garbled.replace(garbled.find("\"value\": \"M"), 11, "\"value\": \"*");
  EXPECT_EQ(report::ParseReportFile(garbled, nullptr)->signature, report::SignatureCheck::kMalformed);
}

TEST_F(ReportTest, ReportsOfVersionOneAreReadAsUnsigned) {
  EraseAndReport(1, RecordLeft::kCompletion);
  json::Object body = *report::ParseReportFile(files_.Read(last_.json_path).bytes, nullptr)->body.AsObject();
  body.erase("signer_key");
  const json::Value old = json::Object{{"schema", report::kSchemaName}, {"schema_version", 1}, {"report", body},
      {"digest", json::Object{{"algorithm", "SHA-256"}, {"value", report::BodyDigest(body)}}}};
  std::optional<report::ReadReport> read = report::ParseReportFile(json::Write(old, 2), nullptr);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->signature, report::SignatureCheck::kUnsigned);
  EXPECT_TRUE(read->Unchanged());
  EXPECT_FALSE(read->Signed());
}

TEST_F(ReportTest, AReportThatCannotBeWrittenLeavesTheEraseCompleted) {
  std::ofstream(dir_.file("blocked")) << "a file where the folder should be";
  folder_ = dir_.file("blocked");
  EXPECT_EQ(workflow_.RunErase(DriveDesignator::Physical(1), "D", ViewMode::kPhysical),
            RecordLeft::kCompletion);
  report::FiledReport filed = report::FileEraseReport(*machine_, files_, folder_, workflow_.Journal(), {});
  EXPECT_FALSE(filed.written);
  EXPECT_EQ(filed.error.rfind(report::kReportNotSaved, 0), 0u);
  EXPECT_NE(filed.error.find(folder_), std::string::npos);
  EXPECT_EQ(workflow_.Outcome(), EraseOutcome::kCompleted);
  EXPECT_EQ(Sector0(1), BuildCompletionRecord(512, 0));
}

// The erase button hands every erase to its report before the action after
// the erase (which may end the session), and none that the user declined.
TEST_F(ReportTest, TheEraseButtonFilesBeforeTheActionAfterTheErase) {
  class Host : public EraseButtonHost {
   public:
    bool StopDriveWatch() override { return true; }
    void StartDriveWatch() override { calls.push_back("start"); }
    void RepaintRow(size_t) override {}
    void BroadcastRowChange(const RowChangeMessage&) override {}
    void ShutdownAfterErase() override { calls.push_back("shutdown"); }
    std::optional<std::string> ProtectionRefusal(const DriveRow&, ViewMode) override { return std::nullopt; }
    void EraseFinished(const EraseJournal& journal) override {
      calls.push_back("report:" + std::string(journal.outcome == EraseOutcome::kCompleted ? "completed" : "other"));
    }
    std::vector<std::string> calls;
  } host;
  test::RecordingNotifier notifier;
  std::vector<DriveRow> rows = DriveDiscovery(*machine_, notifier).Refresh(ViewMode::kPhysical);
  env_.unattended = true;
  const std::optional<size_t> row = FindRowByCaption(rows, "SanDisk Ultra <Fit>");
  ASSERT_TRUE(row);
  ASSERT_TRUE(SpeedButton2Click(workflow_, ui_, host, rows, row, ViewMode::kPhysical));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"report:completed", "start", "shutdown"}));
  host.calls.clear();
  ui_.answers = {true, false};  // erase, but not a second time
  SpeedButton2Click(workflow_, ui_, host, rows, row, ViewMode::kPhysical);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"start", "shutdown"}));
}

TEST(ReportPage, EscapesWhatTheDriveSaysAndFetchesNothing) {
  EraseJournal e;
  e.due = true;
  e.drive = {true, "<b>V</b>", "P\"'&<script>alert(1)</script>", "S<1>", "R", 7, true, MediaKind::kSsd, "ata_identify"};
  e.label = "x";
  e.errors.push_back({"bad <img src=x onerror=y>", 5, 3});
  e.asset_number = "<A&1>";
  e.media_source = "<i>PC";
  const json::Value body = report::ReportBody(e, TestContext("id", "<op>", "&org"));
  const std::string page = report::ReportHtml(body, report::BodyDigest(body));
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\n<html lang=\"ja\">", 0), 0u);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<img"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("http"), std::string::npos);  // nothing fetched from anywhere
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("&amp;org"), std::string::npos);
  EXPECT_NE(page.find(report::BodyDigest(body)), std::string::npos);
  EXPECT_NE(page.find("消去せず"), std::string::npos);
  EXPECT_NE(page.find("検証した人"), std::string::npos);
  // What the operator typed for the certificate is text too.
  EXPECT_NE(page.find("&lt;A&amp;1&gt;"), std::string::npos);
  EXPECT_NE(page.find("&lt;i&gt;PC"), std::string::npos);
}

// Another copy of the program may take a report's name between the look
// and the write (the store here never sees a name as taken): the report it
// wrote stays, and this one gets the next name.
TEST(WriteReport, NeverReplacesAReportAnotherCopyWroteMeanwhile) {
  class RacingStore : public sim::DirectoryFileStore {
   public:
    using DirectoryFileStore::DirectoryFileStore;
    bool Exists(const std::string&) override { return false; }
  };
  test::TempDir dir;
  RacingStore files(dir.path().string());
  const std::string folder = dir.file("reports");
  ASSERT_TRUE(files.MakeFolder(folder).ok());
  const platform::LocalTime t{2026, 12, 8, 9, 5, 7};
  const std::string taken = folder + "/20261208-090507_S1.json";
  std::ofstream(taken) << "the other copy's report";
  std::ofstream(folder + "/20261208-090507_S1.html") << "the other copy's page";
  EraseJournal e;
  e.due = true;
  const json::Value body = report::ReportBody(e, TestContext("id", "op", "org"));
  platform::Result<report::WrittenReport> written = report::WriteReport(files, folder, body, t, "S1");
  ASSERT_TRUE(written.ok()) << written.error();
  EXPECT_EQ(written->json_path, folder + "/20261208-090507_S1-2.json");
  EXPECT_EQ(files.Read(taken).bytes, "the other copy's report");
  EXPECT_TRUE(report::ParseReportFile(files.Read(written->json_path).bytes, nullptr));
  EXPECT_EQ(files.Read(folder + "/20261208-090507_S1.html").bytes, "the other copy's page");
  // Nothing but the two pairs: no temporary file is left.
  EXPECT_EQ(files.ListFolder(folder)->size(), 4u);
}

TEST(ReportFileStem, NamesTheDateTimeAndASafeSerial) {
  const platform::LocalTime t{2026, 12, 8, 9, 5, 7};
  EXPECT_EQ(report::ReportFileStem(t, "S3Z9NB0K"), "20261208-090507_S3Z9NB0K");
  EXPECT_EQ(report::ReportFileStem(t, ""), "20261208-090507_no-serial");
  EXPECT_EQ(report::ReportFileStem(t, "..\\..\\x"), "20261208-090507_￥..￥x");
  const std::string odd = report::ReportFileStem(t, "a/b:c d\te*?");
  EXPECT_EQ(odd.find_first_of("/\\:*? \t"), std::string::npos) << odd;
  EXPECT_LE(report::ReportFileStem(t, std::string(300, 'x')).size(), 16u + 48u);
}

TEST(Json, WritesOneCanonicalTextAndReadsItBack) {
  const json::Value v = json::Object{
      {"z", json::Array{1, -2, uint64_t(18446744073709551615ull), nullptr, true}},
      {"a", "quote\" back\\ nl\n tab\t ctl\x01 日本 bad\xff"},
  };
  const std::string canonical = json::Write(v);
  EXPECT_EQ(canonical,
            "{\"a\":\"quote\\\" back\\\\ nl\\n tab\\t ctl\\u0001 日本 bad\xEF\xBF\xBD\","
            "\"z\":[1,-2,18446744073709551615,null,true]}");
  std::optional<json::Value> back = json::Read(json::Write(v, 2));
  ASSERT_TRUE(back);
  EXPECT_EQ(json::Write(*back), canonical);
  EXPECT_EQ(json::Read("\"\\ud83d\\ude00\"")->AsString()->size(), 4u);
  for (const char* bad : {"{\"a\":1,\"a\":2}", "1.5", "[1,]", "\"\\ud800\"", "\"\xC0\xAF\"", "{} x", "01",
                          "18446744073709551616", "\"a\nb\""})
    EXPECT_FALSE(json::Read(bad)) << bad;
}

}  // namespace
}  // namespace plexi
