// The erase report as a printable Japanese page: one A4 sheet, readable in
// black and white, the drive and the outcome at the top in large type, the
// facts in a table, signature lines for the operator and a witness. One
// self-contained HTML5 file: inline CSS, no scripts, nothing fetched.
#pragma once
#include <string>
#include <string_view>

#include "report/json.h"

namespace plexi::report {

// Text made safe for HTML content and attribute values.
std::string HtmlEscape(std::string_view text);

// The page for a report body, with the digest it is filed under.
std::string ReportHtml(const json::Value& body, const std::string& digest);

}  // namespace plexi::report
