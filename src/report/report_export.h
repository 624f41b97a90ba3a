// The reports of a folder for an organisation's asset system: one CSV row
// per report, or a JSON array of their facts.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"
#include "report/erase_report.h"

namespace plexi::report {

// A report file of a folder, as read back.
struct FolderReport {
  std::string folder;
  std::string file;  // the JSON file's name
  ReadReport read;
};

// The reports in the folders, oldest first by the erase's start (the
// folder and name break ties); files that are no reports are left out,
// and a report found in two folders (by its id) is taken from the first.
// Empty when the folders are missing or unreadable.
std::vector<FolderReport> ReadFolderReports(platform::FileStore& files, const std::vector<std::string>& folders);

// The CSV text: a header row (date, asset, serial, model, capacity, method,
// outcome, category, signer, check), then one row per report. UTF-8 with a byte
// order mark, so that Excel reads it as UTF-8; CR LF between rows; fields
// quoted where they must be. A text field that a spreadsheet would take
// for a formula (=, +, -, @, tab or CR first) starts with an apostrophe.
std::string ReportsCsv(const std::vector<FolderReport>& reports);

// The JSON text: an array with, for each report, its file name, what its
// check finds, who signed it, and its facts.
std::string ReportsJson(const std::vector<FolderReport>& reports);

}  // namespace plexi::report
