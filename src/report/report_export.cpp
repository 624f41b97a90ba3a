#include "report/report_export.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "report/report_store.h"
#include "util/file_names.h"

namespace plexi::report {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kCsvHeader[] = "date,asset,serial,model,capacity,method,outcome,category,signer,check";

bool EndsWithJson(const std::string& name) {
  return name.size() >= 5 && name.compare(name.size() - 5, 5, ".json") == 0;
}

// RFC 4180 quoting; and a spreadsheet must not run what a drive's
// firmware or an operator typed as a formula.
std::string CsvField(std::string text, bool is_text = true) {
  if (is_text && !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos)
    text.insert(0, 1, '\'');
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// What `report check` finds, so that an asset system never takes an
// edited report for one that is only unsigned.
std::string CheckCode(const ReadReport& read) {
  if (!read.DigestMatches()) return "changed";
  switch (read.signature) {
    case SignatureCheck::kValid: return "signed";
    case SignatureCheck::kUnsigned: return "unsigned";
    case SignatureCheck::kInvalid: return "signature_invalid";
    case SignatureCheck::kKeyMismatch: return "key_mismatch";
    case SignatureCheck::kMissing: return "signature_missing";
    case SignatureCheck::kMalformed: break;
  }
  return "signature_malformed";
}

std::string CsvRow(const FolderReport& report) {
  const json::Value& r = report.read.body;
  const std::optional<uint64_t> capacity = r["drive"]["capacity_bytes"].AsUnsigned();
  const std::string fields[] = {
      CsvField(r["times"].Text("start")),
      CsvField(r["certificate"]["media"].Text("asset_number")),
      CsvField(r["drive"].Text("serial")),
      CsvField(DriveNameOf(r["drive"])),
      CsvField(capacity ? std::to_string(*capacity) : std::string(), false),
      CsvField(r["method"].IsNull() ? std::string() : r["method"].Text("name")),
      CsvField(r.Text("outcome")),
      CsvField(r["sanitization"].Text("category")),
      CsvField(report.read.SignerFingerprint()),
      CsvField(CheckCode(report.read)),
  };
  std::string row = fields[0];
  for (size_t k = 1; k < std::size(fields); ++k) row += "," + fields[k];
  return row;
}

}  // namespace

std::vector<FolderReport> ReadFolderReports(platform::FileStore& files, const std::vector<std::string>& folders) {
  std::vector<FolderReport> reports;
  std::set<std::string> ids;
  for (const std::string& folder : folders) {
    std::optional<std::vector<std::string>> names = files.ListFolder(folder);
    if (!names) continue;
    // "X.json" before "X-2.json": a name taken twice in one second gets a
    // suffix, and the plain name came first.
    std::sort(names->begin(), names->end(),
              [](const std::string& a, const std::string& b) { return StripExtension(a) < StripExtension(b); });
    for (const std::string& name : *names) {
      if (!EndsWithJson(name)) continue;
      platform::FileContent content = files.Read(JoinPath(folder, name));
      if (!content.exists || content.error != 0) continue;
      std::optional<ReadReport> read = ParseReportFile(content.bytes, nullptr);
      if (!read) continue;
      const std::string id = read->body.Text("report_id");
      if (!id.empty() && !ids.insert(id).second) continue;
      reports.push_back({folder, name, std::move(*read)});
    }
  }
  std::stable_sort(reports.begin(), reports.end(), [](const FolderReport& a, const FolderReport& b) {
    return a.read.body["times"].Text("start") < b.read.body["times"].Text("start");
  });
  return reports;
}

std::string ReportsCsv(const std::vector<FolderReport>& reports) {
  std::string csv = std::string(kByteOrderMark) + kCsvHeader + "\r\n";
  for (const FolderReport& report : reports) csv += CsvRow(report) + "\r\n";
  return csv;
}

std::string ReportsJson(const std::vector<FolderReport>& reports) {
  json::Array list;
  for (const FolderReport& report : reports) {
    const std::string signer = report.read.SignerFingerprint();
    list.push_back(json::Object{{"file", report.file},
                                {"check", CheckCode(report.read)},
                                {"signer", signer.empty() ? json::Value() : json::Value(signer)},
                                {"report", report.read.body}});
  }
  return json::Write(json::Value(std::move(list)), 2) + "\n";
}

}  // namespace plexi::report
