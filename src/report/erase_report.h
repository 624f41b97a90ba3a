// The erase report: what was erased, how, and with what result, for the
// organisation that disposes of the drive. Its facts come from the erase's
// journal (what the workflow saw happen) and from where it ran; the report
// file holds them as JSON, with a SHA-256 digest of their canonical text,
// and the same facts make the printable page.
#pragma once
#include <optional>
#include <string>

#include "erase/erase_journal.h"
#include "platform/platform.h"
#include "plexiscrub_version.h"
#include "report/json.h"

namespace plexi::report {

inline constexpr char kSchemaName[] = "plexiscrub-erase-report";
inline constexpr int kSchemaVersion = 1;
inline constexpr char kToolName[] = "Plexiscrub";
inline constexpr char kToolVersion[] = PLEXISCRUB_VERSION_TEXT;

// Who and where, besides the erase itself.
struct ReportContext {
  std::string id;  // a random UUID (NewReportId)
  std::string computer_name;
  std::string operating_system;
  std::string operator_name;
  std::string organisation;
  // Interrupted erases of this drive right before this one, as earlier
  // reports tell; nothing when they do not (a resumed erase without them).
  std::optional<int> interruptions_before;
};

// A random version 4 UUID in its 36-character form.
std::string NewReportId();

// "2026-12-08T09:30:00" (local time, as the machine's clock gives it).
std::string IsoTime(const platform::LocalTime& t);

// The report's body: every fact, in the form its digest is taken over.
json::Value ReportBody(const EraseJournal& erase, const ReportContext& context);

// The whole file: schema, body and digest, one member a line.
std::string ReportFileText(const json::Value& body);

// SHA-256 of the body's canonical text, lower-case hex.
std::string BodyDigest(const json::Value& body);

// A report file as read back.
struct ReadReport {
  json::Value body;
  std::string stored_digest;
  std::string computed_digest;
  bool Unchanged() const { return !stored_digest.empty() && stored_digest == computed_digest; }
};
// Nothing, with the reason in *error, when the text is no report of a
// schema version this program knows.
std::optional<ReadReport> ParseReportFile(const std::string& text, std::string* error);

// Japanese words of the report's codes, shared by the page and the lists.
std::string OutcomeWords(const std::string& outcome);
std::string MethodWords(int64_t code);

}  // namespace plexi::report
