// An erase report file as `report check`, `report show` and the list of
// past reports read it: any bytes. What reads as JSON writes back to one
// canonical text that reads the same again, and the page made from any
// report that reads holds no markup from its facts.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "report/erase_report.h"
#include "report/json.h"
#include "report/report_html.h"

using namespace plexi;

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
  } else {
    FUZZ_CHECK(!why.empty());
  }
  return 0;
}
