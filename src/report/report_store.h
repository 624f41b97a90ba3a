// Where erase reports are kept: one JSON file and one HTML page per erase in
// a reports folder, named by the erase's date, time and the drive's serial
// number. Writing a report never changes the erase it reports.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "erase/erase_journal.h"
#include "platform/platform.h"
#include "platform/signing.h"
#include "report/erase_report.h"

namespace plexi::report {

inline constexpr char kReportsFolderName[] = "reports";
inline constexpr char kReportSaved[] = "消去報告書を保存しました。";
inline constexpr char kReportNotSaved[] = "消去報告書を保存できませんでした。";
inline constexpr char kReportNotSigned[] = "消去報告書に署名できませんでした（署名なしで保存しました）。";
inline constexpr char kReportKeptLocally[] =
    "消去報告書を報告書フォルダーに保存できなかったため、このコンピューターに保存しました。";
// Their English twins, for the command-line tool.
namespace english {
inline constexpr char kReportNotSaved[] = "The erase report could not be saved.";
inline constexpr char kReportNotSigned[] = "The erase report could not be signed (it was saved unsigned).";
inline constexpr char kReportKeptLocally[] =
    "The erase report could not be saved in the reports folder, so it was saved on this computer.";
}  // namespace english
// The settings value of the folder the reports go to (a network share,
// say); empty or missing: the program's own folder.
inline constexpr char kReportFolderSetting[] = "report_folder";

// `folder` and `name` joined with the separator the folder already uses.
std::string JoinPath(const std::string& folder, const std::string& name);

// "20261208-093000_S3Z9NB0K123456A": the date and time, then the serial
// number made safe for a file name ("no-serial" when there is none).
std::string ReportFileStem(const platform::LocalTime& t, const std::string& serial);

struct WrittenReport {
  std::string json_path, html_path, digest;
};

// Writes the JSON file and the page into `folder`, made when missing,
// never in place of a file there. A name already taken (two erases of one
// drive in one second, in this copy of the program or another) gets "-2",
// "-3"... A failure names the Windows error code.
platform::Result<WrittenReport> WriteReport(platform::FileStore& files, const std::string& folder,
                                            const json::Value& body, const platform::LocalTime& when,
                                            const std::string& serial,
                                            const std::optional<ReportSignature>& signature = {});

// One line of the list of past reports.
struct ReportSummary {
  std::string folder;  // where the file is
  std::string file;    // the JSON file's name
  std::string start;   // "2026-12-08T09:30:00"
  std::string drive;   // vendor and product
  std::string serial;
  int64_t capacity = 0;
  std::string method;  // the method's name, "—" when there was none
  std::string outcome; // the outcome's code ("completed", ...)
  bool unchanged = false;  // the digest matches
};

// The reports in a folder, oldest first; files that are no reports are
// left out. Empty when the folder is missing or unreadable.
std::vector<ReportSummary> ListReports(platform::FileStore& files, const std::string& folder);
// The same of several folders, as ReadFolderReports takes them.
std::vector<ReportSummary> ListReports(platform::FileStore& files, const std::vector<std::string>& folders);

// For a resumed erase: how many interrupted erases of this drive (serial
// and capacity) the folder's reports show right before it, counted back to
// the last report of another outcome; nothing when they show none, as the
// resume record itself proves one interruption.
std::optional<int> InterruptionsBefore(const std::vector<ReportSummary>& reports, const std::string& serial,
                                       uint64_t capacity);

// What filing an erase's report came to.
struct FiledReport {
  bool due = false;  // the erase calls for a report
  bool written = false;  // in the folder asked for, or in the local one
  WrittenReport paths;
  bool signed_by_key = false;
  // When not written in the folder asked for, or written without the
  // signature a key was there for: the message the user sees and the error
  // log keeps, also when the report was kept locally.
  std::string error;
};

// Makes the report of an erase from its journal and writes it, signed when
// `keys` holds a key. The context's id and signer are set here; its
// interruption count is looked up when the erase was resumed. A report
// that cannot be written into `folder` (a network share that is gone, say)
// is written into `local_folder` when one is given, and the error says so
// and where.
FiledReport FileEraseReport(platform::Machine& machine, platform::FileStore& files, const std::string& folder,
                            const EraseJournal& journal, ReportContext context,
                            const std::string& local_folder = std::string(), platform::SigningKeys* keys = nullptr);

}  // namespace plexi::report
