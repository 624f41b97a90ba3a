#include "report/report_store.h"

#include <algorithm>
#include <cstdio>

#include "errors/error_report.h"
#include "platform/winconst.h"
#include "report/report_export.h"
#include "report/report_html.h"
#include "util/file_names.h"

namespace plexi::report {

namespace {

constexpr size_t kSerialBytesInName = 48;
constexpr int kMostNamesTried = 1000;

// Cuts UTF-8 text to at most `bytes` bytes without splitting a character.
std::string CutUtf8(std::string text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t end = bytes;
  while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// An image file, or a loop device, is known by the path of its file: the
// report's name takes the file's name, the report itself the whole path.
std::string NameOfDrive(const JournalDrive& drive) {
  if (drive.bus_type != winconst::kBusTypeFileBackedVirtual) return drive.serial;
  const size_t slash = drive.serial.find_last_of("\\/");
  return slash == std::string::npos ? drive.serial : drive.serial.substr(slash + 1);
}

// "消去報告書を保存できませんでした。", the folder, and why.
std::string MessageOf(platform::Machine& machine, const std::string& head, const std::string& place, uint32_t code) {
  std::string text = head + "\n" + place + "\n" + SystemErrorText(machine, code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string NotWrittenText(platform::Machine& machine, const std::string& folder, uint32_t error, Language language) {
  return MessageOf(machine, InLanguage(language, english::kReportNotSaved, kReportNotSaved), folder, error);
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsPathSeparator(folder.back())) return folder + name;
  const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
  return folder + separator + name;
}

std::string ReportFileStem(const platform::LocalTime& t, const std::string& serial) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d_", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  // The characters no file name may hold become their full-width forms;
  // blanks and control characters become "_", and dots at the ends go, so
  // that no serial number makes a hidden file or a name Windows trims.
  std::string name = FileMogChk(serial);
  for (char& c : name)
    if (uint8_t(c) <= 0x20 || c == 0x7F) c = '_';
  name = CutUtf8(name, kSerialBytesInName);
  while (!name.empty() && (name.front() == '.' || name.back() == '.')) {
    if (name.front() == '.') name.erase(0, 1);
    else name.pop_back();
  }
  if (name.empty()) name = "no-serial";
  return stamp + name;
}

platform::Result<WrittenReport> WriteReport(platform::FileStore& files, const std::string& folder,
                                            const json::Value& body, const platform::LocalTime& when,
                                            const std::string& serial,
                                            const std::optional<ReportSignature>& signature) {
  using Outcome = platform::Result<WrittenReport>;
  platform::Result<> made = files.MakeFolder(folder);
  if (!made.ok()) return Outcome::Failure(made.error());
  const std::string stem = ReportFileStem(when, serial);
  const std::string page = ReportHtml(body, BodyDigest(body));
  const std::string data = ReportFileText(body, signature);
  // Each name is taken only if free when the file appears, so a copy of
  // the program writing into the same folder at the same moment makes its
  // pair under the next name. The page first: a JSON file is what the list
  // shows, so it comes last.
  for (int n = 1; n <= kMostNamesTried; ++n) {
    const std::string base = JoinPath(folder, n == 1 ? stem : stem + "-" + std::to_string(n));
    WrittenReport written{base + ".json", base + ".html", BodyDigest(body)};
    if (files.Exists(written.json_path)) continue;
    platform::Result<> created = files.CreateNew(written.html_path, page);
    if (!created.ok() && created.error() == winconst::kErrorFileExists) continue;
    if (created.ok()) created = files.CreateNew(written.json_path, data);
    if (!created.ok()) return Outcome::Failure(created.error());
    return written;
  }
  return Outcome::Failure(winconst::kErrorFileExists);
}

std::vector<ReportSummary> ListReports(platform::FileStore& files, const std::string& folder) {
  return ListReports(files, std::vector<std::string>{folder});
}

std::vector<ReportSummary> ListReports(platform::FileStore& files, const std::vector<std::string>& folders) {
  std::vector<ReportSummary> reports;
  for (const FolderReport& found : ReadFolderReports(files, folders)) {
    const json::Value& r = found.read.body;
    ReportSummary s;
    s.folder = found.folder;
    s.file = found.file;
    s.start = r["times"].Text("start");
    s.drive = DriveNameOf(r["drive"]);
    s.serial = r["drive"].Text("serial");
    s.capacity = int64_t(r["drive"]["capacity_bytes"].AsUnsigned().value_or(0));
    s.method = r["method"].IsNull() ? std::string("—") : r["method"].Text("name");
    s.outcome = r.Text("outcome");
    s.unchanged = found.read.Unchanged();
    reports.push_back(std::move(s));
  }
  return reports;
}

std::optional<int> InterruptionsBefore(const std::vector<ReportSummary>& reports, const std::string& serial,
                                       uint64_t capacity) {
  int count = 0;
  for (auto it = reports.rbegin(); it != reports.rend(); ++it) {
    if (it->serial != serial || uint64_t(it->capacity) != capacity) continue;
    if (it->outcome != "interrupted_with_resume_point") break;
    ++count;
  }
  if (count == 0) return std::nullopt;
  return count;
}

namespace {

// The body signed by the key, when there is one; else unsigned, and why
// not when a key was there.
struct SignedBody {
  json::Value body;
  std::optional<ReportSignature> signature;
  std::string error;
};

SignedBody SignBody(platform::Machine& machine, const EraseJournal& journal, ReportContext& context,
                    platform::SigningKeys* keys) {
  SignedBody made;
  platform::Result<std::string> key = keys ? keys->PublicKey() : platform::Result<std::string>(std::string());
  if (key.ok() && !key->empty()) {
    context.signer_public_key = *key;
    made.body = ReportBody(journal, context);
    const std::string canonical = CanonicalText(made.body);
    platform::Result<std::string> value = keys->Sign(canonical);
    // The public key file and the private key are two files: a pair that no
    // longer matches would sign every report with a signature no one can
    // check. Only a signature the named key verifies is kept.
    if (value.ok() && platform::VerifySignature(*key, canonical, *value)) {
      made.signature = ReportSignature{*key, *value};
      return made;
    }
    key = platform::Result<std::string>::Failure(value.ok() ? winconst::kErrorInvalidData : value.error());
  }
  if (!key.ok())
    made.error = MessageOf(machine, InLanguage(context.language, english::kReportNotSigned, kReportNotSigned),
                           keys->PublicKeyPath(), key.error());
  context.signer_public_key.clear();
  made.body = ReportBody(journal, context);
  return made;
}

}  // namespace

FiledReport FileEraseReport(platform::Machine& machine, platform::FileStore& files, const std::string& folder,
                            const EraseJournal& journal, ReportContext context, const std::string& local_folder,
                            platform::SigningKeys* keys) {
  FiledReport filed;
  filed.due = journal.due;
  if (!journal.due) return filed;
  context.id = NewReportId();
  if (journal.resumed)
    context.interruptions_before =
        InterruptionsBefore(ListReports(files, folder), journal.drive.serial, journal.capacity_bytes);
  const SignedBody made = SignBody(machine, journal, context, keys);
  const std::string name = NameOfDrive(journal.drive);
  filed.signed_by_key = made.signature.has_value();
  platform::Result<WrittenReport> written = WriteReport(files, folder, made.body, journal.started, name, made.signature);
  if (written.ok()) {
    filed.written = true;
    filed.paths = *written;
    filed.error = made.error;
    return filed;
  }
  filed.error = NotWrittenText(machine, folder, written.error(), context.language);
  if (local_folder.empty() || local_folder == folder) return filed;
  platform::Result<WrittenReport> kept =
      WriteReport(files, local_folder, made.body, journal.started, name, made.signature);
  if (!kept.ok()) {
    filed.error += "\n" + NotWrittenText(machine, local_folder, kept.error(), context.language);
    return filed;
  }
  filed.written = true;
  filed.paths = *kept;
  filed.error = std::string(InLanguage(context.language, english::kReportKeptLocally, kReportKeptLocally)) + "\n" +
                kept->html_path + filed.error.substr(filed.error.find('\n'));
  if (!made.error.empty()) filed.error += "\n" + made.error;
  return filed;
}

}  // namespace plexi::report
