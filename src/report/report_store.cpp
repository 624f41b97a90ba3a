#include "report/report_store.h"

#include <algorithm>
#include <cstdio>

#include "errors/error_report.h"
#include "platform/winconst.h"
#include "report/report_html.h"
#include "util/file_names.h"

namespace plexi::report {

namespace {

constexpr size_t kSerialBytesInName = 48;
constexpr int kMostNamesTried = 1000;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

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
                                            const std::string& serial) {
  using Outcome = platform::Result<WrittenReport>;
  platform::Result<> made = files.MakeFolder(folder);
  if (!made.ok()) return Outcome::Failure(made.error());
  const std::string stem = ReportFileStem(when, serial);
  const std::string page = ReportHtml(body, BodyDigest(body));
  const std::string data = ReportFileText(body);
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
  std::vector<ReportSummary> reports;
  std::optional<std::vector<std::string>> names = files.ListFolder(folder);
  if (!names) return reports;
  // "X.json" before "X-2.json": a name taken twice in one second gets a
  // suffix, and the plain name came first.
  std::sort(names->begin(), names->end(), [](const std::string& a, const std::string& b) {
    return StripExtension(a) < StripExtension(b);
  });
  for (const std::string& name : *names) {
    if (!EndsWith(name, ".json")) continue;
    platform::FileContent content = files.Read(JoinPath(folder, name));
    if (!content.exists || content.error != 0) continue;
    std::optional<ReadReport> read = ParseReportFile(content.bytes, nullptr);
    if (!read) continue;
    const json::Value& r = read->body;
    ReportSummary s;
    s.file = name;
    s.start = r["times"].Text("start");
    s.drive = r["drive"].Text("vendor");
    if (!s.drive.empty() && !r["drive"].Text("product").empty()) s.drive += " ";
    s.drive += r["drive"].Text("product");
    s.serial = r["drive"].Text("serial");
    s.capacity = int64_t(r["drive"]["capacity_bytes"].AsUnsigned().value_or(0));
    s.method = r["method"].IsNull() ? std::string("—") : r["method"].Text("name");
    s.outcome = r.Text("outcome");
    s.unchanged = read->Unchanged();
    reports.push_back(std::move(s));
  }
  // Oldest first by the erase's start; the name breaks ties.
  std::stable_sort(reports.begin(), reports.end(),
                   [](const ReportSummary& a, const ReportSummary& b) { return a.start < b.start; });
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

FiledReport FileEraseReport(platform::Machine& machine, platform::FileStore& files, const std::string& folder,
                            const EraseJournal& journal, ReportContext context) {
  FiledReport filed;
  filed.due = journal.due;
  if (!journal.due) return filed;
  context.id = NewReportId();
  if (journal.resumed)
    context.interruptions_before =
        InterruptionsBefore(ListReports(files, folder), journal.drive.serial, journal.capacity_bytes);
  const json::Value body = ReportBody(journal, context);
  platform::Result<WrittenReport> written = WriteReport(files, folder, body, journal.started, NameOfDrive(journal.drive));
  if (!written.ok()) {
    filed.error = std::string(kReportNotSaved) + "\n" + folder + "\n" + SystemErrorText(machine, written.error());
    while (!filed.error.empty() && (filed.error.back() == '\n' || filed.error.back() == '\r')) filed.error.pop_back();
    return filed;
  }
  filed.written = true;
  filed.paths = *written;
  return filed;
}

}  // namespace plexi::report
