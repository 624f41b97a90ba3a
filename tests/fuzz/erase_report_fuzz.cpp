// An erase report file as `report check`, `report show` and the list of
// past reports read it: any bytes. What reads as JSON writes back to one
// canonical text that reads the same again, and the page made from any
// report that reads holds no markup from its facts, and its CSV row reads
// back as ten fields none of which a spreadsheet would run.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "report/erase_report.h"
#include "report/json.h"
#include "report/report_export.h"
#include "report/report_html.h"

using namespace plexi;

namespace {

// The fields of the CSV's rows after its header, read as RFC 4180 has it.
std::vector<std::vector<std::string>> CsvRows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t k = csv.find("\r\n") + 2; k < csv.size(); ++k) {
    const char c = csv[k];
    if (quoted && c == '"' && k + 1 < csv.size() && csv[k + 1] == '"') rows.back().back() += csv[++k];
    else if (c == '"') quoted = !quoted;
    else if (!quoted && c == ',') rows.back().emplace_back();
    else if (!quoted && c == '\r' && k + 1 < csv.size() && csv[k + 1] == '\n' && ++k) rows.emplace_back(1);
    else rows.back().back() += c;
  }
  if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
  return rows;
}

void CheckCsvRow(const report::ReadReport& read) {
  const std::vector<std::vector<std::string>> rows = CsvRows(report::ReportsCsv({{"", "r.json", read}}));
  FUZZ_CHECK(rows.size() == 1);
  FUZZ_CHECK(rows[0].size() == 10);
  for (const std::string& field : rows[0])
    FUZZ_CHECK(field.empty() || std::string("=+-@\t\r").find(field[0]) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (std::optional<json::Value> value = json::Read(text)) {
    const std::string canonical = json::Write(*value);
    std::optional<json::Value> again = json::Read(canonical);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(json::Write(*again) == canonical);
    FUZZ_CHECK(json::Read(json::Write(*value, 2)).has_value());
  }
  std::string why;
  if (std::optional<report::ReadReport> read = report::ParseReportFile(text, &why)) {
    const std::string page = report::ReportHtml(read->body, read->stored_digest);
    FUZZ_CHECK(page.find("<script") == std::string::npos);
    FUZZ_CHECK(page.find("<img") == std::string::npos);
    CheckCsvRow(*read);
  } else {
    FUZZ_CHECK(!why.empty());
  }
  return 0;
}
