// Erase reports from the command-line tool: the report each erase files,
// and `report list`, `report show FILE`, `report check FILE`.
#include <filesystem>
#include <ostream>

#include "cli/cli_common.h"
#include "errors/error_report.h"
#include "platform/host.h"
#include "platform/sim/directory_file_store.h"
#include "platform/sim/file_settings.h"
#include "platform/sim/file_util.h"
#include "report/erase_report.h"
#include "report/report_store.h"
#include "util/file_names.h"

namespace plexi::cli {

namespace {

constexpr char kErrorLogFileName[] = "errlog.log";

// Where the program keeps its files for this run: the simulated machine's
// files folder, or the tool's data folder on the host.
std::string DataFolder(const Options& o) {
  return o.simulate ? SimulatedFilesFolder(*o.simulate) : HostDataFolder();
}

std::unique_ptr<platform::FileStore> StoreFor(const Options& o, const std::string& folder) {
  if (o.simulate) return std::make_unique<sim::DirectoryFileStore>(folder);
  return HostFileStore(folder);
}

// A value given on the command line, else the program's setting (kept for
// a simulated machine beside its description, on Windows in the registry).
std::string OptionOrSetting(const std::optional<std::string>& option, const Options& o, const char* name) {
  if (option) return *option;
  std::unique_ptr<platform::Settings> settings =
      o.simulate ? std::make_unique<sim::FileSettings>(*o.simulate + ".settings") : HostSettings();
  return settings ? settings->ReadText(name).value_or(std::string()) : std::string();
}

// A report that could not be written: on standard error, and in the error
// log the program keeps in its files folder.
void KeepInErrorLog(const Options& o, platform::Machine& machine, const std::string& message,
                    const std::string& label, std::ostream& err) {
  const std::string folder = DataFolder(o);
  if (folder.empty()) return;
  std::unique_ptr<platform::FileStore> files = StoreFor(o, folder);
  static_cast<void>(files->MakeFolder(folder));
  StreamNotifier notifier(err);
  ErrorLog log(machine, *files, report::JoinPath(folder, kErrorLogFileName));
  log.LoadErrorLog(notifier);
  log.AppendErrorLog(message, label);
  log.SaveIfChanged(notifier);
}

std::string OneLineOf(const std::string& text) {
  std::string line;
  for (char c : text) line += c == '\n' || c == '\r' ? ' ' : c;
  return line;
}

// "drive.serial: S3Z9..." for every fact, arrays numbered from 1.
void ShowFacts(const json::Value& v, const std::string& path, std::ostream& out) {
  if (const json::Object* o = v.AsObject()) {
    for (const auto& [key, member] : *o) ShowFacts(member, path.empty() ? key : path + "." + key, out);
  } else if (const json::Array* a = v.AsArray()) {
    if (a->empty()) out << path << ": (none)\n";
    for (size_t k = 0; k < a->size(); ++k) ShowFacts((*a)[k], path + "[" + std::to_string(k + 1) + "]", out);
  } else if (const std::string* s = v.AsString()) {
    out << path << ": " << OneLineOf(*s) << "\n";
  } else {
    out << path << ": " << json::Write(v) << "\n";
  }
}

std::optional<report::ReadReport> ReadReportFile(const Options& o, const std::string& path, std::ostream& err) {
  std::unique_ptr<platform::FileStore> files = StoreFor(o, ".");
  platform::FileContent content = files->Read(path);
  if (!content.exists || content.error != 0) {
    err << "plexiscrub-cli: cannot read " << path << (content.exists ? "" : ": no such file") << "\n";
    return std::nullopt;
  }
  std::string why;
  std::optional<report::ReadReport> read = report::ParseReportFile(content.bytes, &why);
  if (!read) err << "plexiscrub-cli: " << path << " is not a readable erase report: " << why << "\n";
  return read;
}

int ListReportsCommand(const Options& o, std::ostream& out, std::ostream& err) {
  const std::string folder = ReportFolder(o);
  if (folder.empty()) {
    err << "plexiscrub-cli: neither XDG_DATA_HOME nor HOME is set: give the reports folder with --report DIR\n";
    return kUsage;
  }
  std::unique_ptr<platform::FileStore> files = StoreFor(o, folder);
  const std::vector<report::ReportSummary> reports = report::ListReports(*files, folder);
  out << "folder: " << folder << "\n";
  out << "日時 | ドライブ | シリアル番号 | 消去方式 | 結果 | ファイル\n";
  for (const report::ReportSummary& r : reports)
    out << r.start << " | " << r.drive << " | " << r.serial << " | " << r.method << " | "
        << report::OutcomeWords(r.outcome) << (r.unchanged ? "" : "（改変あり）") << " | " << r.file << "\n";
  if (reports.empty()) err << "plexiscrub-cli: no reports in " << folder << "\n";
  return kOk;
}

}  // namespace

// A relative --report DIR is taken from the current folder, here once: the
// stores below take a relative path inside their own folder.
std::string ReportFolder(const Options& o) {
  if (o.report_dir) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(sim::PathFromUtf8(*o.report_dir), ec);
    return ec ? *o.report_dir : sim::PathToUtf8(absolute.lexically_normal());
  }
  const std::string data = DataFolder(o);
  return data.empty() ? std::string() : report::JoinPath(data, report::kReportsFolderName);
}

void FileReportOfErase(const Options& o, platform::Machine& machine, const EraseJournal& journal,
                       std::ostream& out, std::ostream& err) {
  if (!journal.due) return;
  report::ReportContext context;
  const platform::HostDescription host = platform::DescribeHost();
  context.computer_name = host.computer_name;
  context.operating_system =
      o.simulate ? "simulated Windows machine (" + FileTitle(*o.simulate) + ")" : host.operating_system;
  context.operator_name = OptionOrSetting(o.operator_name, o, report::kOperatorSetting);
  context.organisation = OptionOrSetting(o.organisation, o, report::kOrganisationSetting);
  const std::string folder = ReportFolder(o);
  report::FiledReport filed;
  if (folder.empty()) {
    filed.error = std::string(report::kReportNotSaved) + "\nneither XDG_DATA_HOME nor HOME is set";
  } else {
    std::unique_ptr<platform::FileStore> files = StoreFor(o, folder);
    filed = report::FileEraseReport(machine, *files, folder, journal, context);
  }
  if (filed.written) {
    out << "report: " << filed.paths.html_path << "\n";
    out << "report data: " << filed.paths.json_path << " (SHA-256 " << filed.paths.digest << ")\n";
    return;
  }
  // The erase's result stands; the missing report is an error of its own.
  err << "plexiscrub-cli: " << OneLineOf(filed.error) << "\n";
  KeepInErrorLog(o, machine, OneLineOf(filed.error), journal.label, err);
}

int ReportCommand(const Options& o, std::ostream& out, std::ostream& err) {
  const std::string action = o.positional.empty() ? std::string() : o.positional[0];
  if (action == "list" && o.positional.size() == 1) return ListReportsCommand(o, out, err);
  if ((action == "show" || action == "check") && o.positional.size() == 2) {
    const std::string& path = o.positional[1];
    std::optional<report::ReadReport> read = ReadReportFile(o, path, err);
    if (!read) return kFailed;
    if (action == "show") ShowFacts(read->body, "", out);
    if (read->Unchanged()) {
      out << "digest: " << read->computed_digest << " (unchanged)\n";
      return kOk;
    }
    out << "digest: CHANGED: the file says " << (read->stored_digest.empty() ? "nothing" : read->stored_digest)
        << ", its facts give " << read->computed_digest << "\n";
    err << "plexiscrub-cli: " << path << " was changed after it was written\n";
    return kFailed;
  }
  err << "plexiscrub-cli: report takes list, show FILE or check FILE\n";
  return kUsage;
}

}  // namespace plexi::cli
