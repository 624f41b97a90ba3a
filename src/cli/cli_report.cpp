// Erase reports from the command-line tool: the report each erase files,
// and `report list`, `show FILE`, `check FILE`, `canonical FILE`, `keygen`.
#include <filesystem>
#include <ostream>

#include "cli/cli_common.h"
#include "errors/error_report.h"
#include "platform/host.h"
#include "platform/sim/directory_file_store.h"
#include "platform/sim/file_settings.h"
#include "platform/sim/file_util.h"
#include "platform/winconst.h"
#include "report/erase_report.h"
#include "report/report_export.h"
#include "report/report_store.h"
#include "util/base64.h"
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

// The program's settings (kept for a simulated machine beside its
// description, on Windows in the registry), then what the command line
// gives instead.
report::CertificateFacts CertificateFactsOf(const Options& o) {
  std::unique_ptr<platform::Settings> settings =
      o.simulate ? std::make_unique<sim::FileSettings>(*o.simulate + ".settings") : HostSettings();
  report::CertificateFacts facts = settings ? report::ReadCertificateSettings(*settings) : report::CertificateFacts{};
  if (o.operator_name) facts.performer.name = *o.operator_name;
  if (o.organisation) facts.performer.organisation = *o.organisation;
  if (o.validator) facts.validator.name = *o.validator;
  if (o.media_source) facts.media_source = *o.media_source;
  if (o.destination) facts.media_destination = *o.destination;
  return facts;
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

const char* NoReportFolderText(const Options& o) {
  return Said(o, "neither XDG_DATA_HOME nor HOME is set: give the reports folder with --report DIR",
              "XDG_DATA_HOME も HOME も設定されていません: 報告書のフォルダを --report DIR で指定してください");
}

std::optional<report::ReadReport> ReadReportFile(const Options& o, const std::string& path, std::ostream& err) {
  std::unique_ptr<platform::FileStore> files = StoreFor(o, ".");
  platform::FileContent content = files->Read(path);
  if (!content.exists || content.error != 0) {
    err << "plexiscrub-cli: " << Said(o, "cannot read ", "読めません: ") << path
        << (content.exists ? "" : Said(o, ": no such file", "（ファイルがありません）")) << "\n";
    return std::nullopt;
  }
  std::string why;
  std::optional<report::ReadReport> read = report::ParseReportFile(content.bytes, &why);
  if (!read)
    err << "plexiscrub-cli: " << path << Said(o, " is not a readable erase report: ", " は読める消去報告書ではありません: ")
        << why << "\n";
  return read;
}

int ListReportsCommand(const Options& o, std::ostream& out, std::ostream& err) {
  const std::string folder = ReportFolder(o);
  if (folder.empty()) {
    err << "plexiscrub-cli: " << NoReportFolderText(o) << "\n";
    return kUsage;
  }
  std::unique_ptr<platform::FileStore> files = StoreFor(o, folder);
  const std::vector<report::ReportSummary> reports = report::ListReports(*files, folder);
  out << Said(o, "folder: ", "フォルダ: ") << folder << "\n";
  out << Said(o, "date | drive | serial | method | outcome | file", "日時 | ドライブ | シリアル番号 | 消去方式 | 結果 | ファイル")
      << "\n";
  for (const report::ReportSummary& r : reports)
    out << r.start << " | " << r.drive << " | " << r.serial << " | " << r.method << " | "
        << report::OutcomeWords(r.outcome, o.language) << (r.unchanged ? "" : Said(o, " (changed)", "（改変あり）"))
        << " | " << r.file << "\n";
  if (reports.empty()) err << "plexiscrub-cli: " << Said(o, "no reports in ", "報告書がありません: ") << folder << "\n";
  return kOk;
}

std::unique_ptr<platform::SigningKeys> KeysFor(const Options& o) {
  const std::string folder = KeyFolder(o);
  return folder.empty() ? nullptr : platform::MakeSigningKeys(folder);
}

int KeygenCommand(const Options& o, std::ostream& out, std::ostream& err) {
  std::unique_ptr<platform::SigningKeys> keys = KeysFor(o);
  if (!keys) {
    err << "plexiscrub-cli: "
        << Said(o, "neither XDG_CONFIG_HOME nor HOME is set: no folder for the signing key",
                "XDG_CONFIG_HOME も HOME も設定されていないため、署名鍵のフォルダがありません")
        << "\n";
    return kFailed;
  }
  platform::Result<std::string> made = keys->Create(o.replace);
  if (!made.ok() && made.error() == winconst::kErrorFileExists) {
    platform::Result<std::string> kept = keys->PublicKey();
    err << "plexiscrub-cli: " << Said(o, "a signing key exists already", "署名鍵はすでにあります")
        << (kept.ok() && !kept->empty() ? " (" + platform::KeyFingerprint(*kept) + ")" : std::string())
        << ": " << keys->PublicKeyPath()
        << Said(o, "; give --replace to make a new one (reports it signed keep verifying with their own key)",
                "。新しく作るには --replace を付けます（この鍵で署名した報告書は、その鍵で確認できるままです）")
        << "\n";
    return kRefused;
  }
  if (!made.ok()) {
    std::unique_ptr<platform::Machine> machine = OpenMachine(o, err);
    err << "plexiscrub-cli: " << Said(o, "cannot make the signing key in ", "署名鍵を作れません: ") << KeyFolder(o) << ": "
        << (machine ? OneLineOf(SystemErrorText(*machine, made.error())) : "error " + std::to_string(made.error()))
        << "\n";
    return kFailed;
  }
  out << Said(o, "signing key: ", "署名鍵: ") << platform::KeyFingerprint(*made) << "\n";
  out << Said(o, "public key: ", "公開鍵: ") << keys->PublicKeyPath() << "\n";
  return kOk;
}

// The public key of --key: a PEM file, or its DER.
std::optional<std::string> ReadPublicKeyFile(const Options& o, std::ostream& err) {
  std::unique_ptr<platform::FileStore> files = StoreFor(o, ".");
  platform::FileContent content = files->Read(*o.key_file);
  if (!content.exists || content.error != 0) {
    err << "plexiscrub-cli: " << Said(o, "cannot read the public key ", "公開鍵を読めません: ") << *o.key_file << "\n";
    return std::nullopt;
  }
  std::optional<std::string> der = PemBytes(content.bytes, platform::kPublicKeyPemLabel);
  if (!der && content.bytes.find("-----BEGIN") == std::string::npos) der = content.bytes;
  if (!der || !platform::P256PointOf(*der)) {
    err << "plexiscrub-cli: " << *o.key_file << Said(o, " holds no P-256 public key", " には P-256 の公開鍵がありません")
        << "\n";
    return std::nullopt;
  }
  return der;
}

// The signature line of `report check`; false when it fails the check.
bool ShowSignature(const Options& o, const report::ReadReport& read, const std::optional<std::string>& wanted,
                   std::ostream& out, std::ostream& err) {
  using report::SignatureCheck;
  switch (read.signature) {
    case SignatureCheck::kValid:
      out << Said(o, "signature: valid, signed by key ", "署名: 有効、署名した鍵 ") << read.signer_fingerprint << "\n";
      if (!wanted || platform::KeyFingerprint(*wanted) == read.signer_fingerprint) return true;
      err << "plexiscrub-cli: " << Said(o, "signed by another key than ", "署名した鍵が違います: 求めた鍵 ")
          << platform::KeyFingerprint(*wanted) << "\n";
      return false;
    case SignatureCheck::kUnsigned:
      out << Said(o,
                  "signature: none: unsigned, digest only, which shows only accidental change (anyone can edit "
                  "the facts and compute the digest again)",
                  "署名: なし（ダイジェストのみ。偶然の変化しか分かりません。内容を書き換えてダイジェストを"
                  "計算し直すことは誰にでもできます）")
          << "\n";
      if (wanted) err << "plexiscrub-cli: " << Said(o, "the report is not signed", "報告書に署名がありません") << "\n";
      return !wanted;
    case SignatureCheck::kInvalid:
      out << Said(o, "signature: INVALID: the facts are not those that were signed",
                  "署名: 無効（内容が署名されたものと違います）")
          << "\n";
      break;
    case SignatureCheck::kKeyMismatch:
      out << Said(o, "signature: INVALID: the file's key ", "署名: 無効（ファイルの鍵 ") << read.signer_fingerprint
          << Said(o, " is not the key the report names (", " は報告書が名指す鍵ではありません: ")
          << (read.named_fingerprint.empty() ? Said(o, "none", "なし") : read.named_fingerprint) << ")\n";
      break;
    case SignatureCheck::kMissing:
      out << Said(o, "signature: MISSING: the report names the key ", "署名: 欠落（報告書は鍵 ") << read.named_fingerprint
          << Said(o, " but holds no signature", " を名指しますが、署名がありません）") << "\n";
      break;
    case SignatureCheck::kMalformed:
      out << Said(o, "signature: INVALID: the signature cannot be read", "署名: 無効（署名を読めません）") << "\n";
      break;
  }
  err << "plexiscrub-cli: "
      << Said(o, "the signature does not vouch for this report", "署名はこの報告書を保証しません") << "\n";
  return false;
}

int CheckReport(const Options& o, const std::string& path, const report::ReadReport& read, std::ostream& out,
                std::ostream& err) {
  std::optional<std::string> wanted;
  if (o.key_file && !(wanted = ReadPublicKeyFile(o, err))) return kUsage;
  if (!read.DigestMatches()) {
    out << Said(o, "digest: CHANGED: the file says ", "ダイジェスト: 改変あり（ファイルの値 ")
        << (read.stored_digest.empty() ? Said(o, "nothing", "なし") : read.stored_digest)
        << Said(o, ", its facts give ", "、内容から計算した値 ") << read.computed_digest << Said(o, "", "）") << "\n";
    err << "plexiscrub-cli: " << path << Said(o, " was changed after it was written", " は書かれた後に変更されました")
        << "\n";
    return kFailed;
  }
  out << Said(o, "digest: ", "ダイジェスト: ") << read.computed_digest << Said(o, " (unchanged)", "（変更なし）") << "\n";
  return ShowSignature(o, read, wanted, out, err) ? kOk : kFailed;
}

// Writes an export in place of the file there, whole or not at all.
bool WriteExport(const Options& o, const std::string& path, const std::string& text, std::ostream& out,
                 std::ostream& err) {
  std::unique_ptr<platform::FileStore> files = StoreFor(o, ".");
  platform::Result<> written = files->Replace(path, text);
  if (!written.ok()) {
    err << "plexiscrub-cli: " << Said(o, "cannot write ", "書き込めません: ") << path << Said(o, " (error ", "（エラー ")
        << written.error() << Said(o, ")", "）") << "\n";
    return false;
  }
  out << Said(o, "wrote ", "書き出しました: ") << path << "\n";
  return true;
}

int ExportReportsCommand(const Options& o, std::ostream& out, std::ostream& err) {
  const std::string folder = ReportFolder(o);
  if (!o.csv_file && !o.json_file) {
    err << "plexiscrub-cli: "
        << Said(o, "report export needs --csv FILE or --json FILE", "report export には --csv FILE か --json FILE が必要です")
        << "\n";
    return kUsage;
  }
  if (folder.empty()) {
    err << "plexiscrub-cli: " << NoReportFolderText(o) << "\n";
    return kUsage;
  }
  std::unique_ptr<platform::FileStore> files = StoreFor(o, folder);
  if (!files->ListFolder(folder)) {
    err << "plexiscrub-cli: " << Said(o, "cannot read the reports folder ", "報告書のフォルダを読めません: ") << folder
        << "\n";
    return kFailed;
  }
  const std::vector<report::FolderReport> reports = report::ReadFolderReports(*files, {folder});
  out << Said(o, "folder: ", "フォルダ: ") << folder << " (" << reports.size() << Said(o, " reports)", " 件)") << "\n";
  bool ok = true;
  if (o.csv_file) ok = WriteExport(o, *o.csv_file, report::ReportsCsv(reports), out, err) && ok;
  if (o.json_file) ok = WriteExport(o, *o.json_file, report::ReportsJson(reports), out, err) && ok;
  return ok ? kOk : kFailed;
}

// Where a report goes that cannot be written into --report DIR: the
// program's own reports folder; none without --report.
std::string LocalReportFolder(const Options& o) {
  const std::string data = DataFolder(o);
  if (!o.report_dir || data.empty()) return std::string();
  return report::JoinPath(data, report::kReportsFolderName);
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

std::string FileReportOfErase(const Options& o, platform::Machine& machine, const EraseJournal& journal,
                              std::ostream& out, std::ostream& err) {
  if (!journal.due) return {};
  report::ReportContext context;
  const platform::HostDescription host = platform::DescribeHost();
  context.computer_name = host.computer_name;
  context.operating_system =
      o.simulate ? "simulated Windows machine (" + FileTitle(*o.simulate) + ")" : host.operating_system;
  context.certificate = CertificateFactsOf(o);
  context.language = o.language;
  const std::string folder = ReportFolder(o);
  report::FiledReport filed;
  if (folder.empty()) {
    filed.error = Said(o, "The erase report could not be saved.\nneither XDG_DATA_HOME nor HOME is set",
                       "消去報告書を保存できませんでした。\nXDG_DATA_HOME も HOME も設定されていません");
  } else {
    std::unique_ptr<platform::FileStore> files = StoreFor(o, folder);
    std::unique_ptr<platform::SigningKeys> keys = KeysFor(o);
    filed = report::FileEraseReport(machine, *files, folder, journal, context, LocalReportFolder(o), keys.get());
  }
  if (filed.written) {
    out << Said(o, "report: ", "消去レポート: ") << filed.paths.html_path << "\n";
    out << Said(o, "report data: ", "レポートのデータ: ") << filed.paths.json_path << " (SHA-256 " << filed.paths.digest
        << (filed.signed_by_key ? Said(o, ", signed", "、署名あり") : "") << ")\n";
  }
  const std::string page = filed.written ? filed.paths.html_path : std::string();
  if (filed.error.empty()) return page;
  // The erase's result stands; the missing report is an error of its own.
  err << "plexiscrub-cli: " << OneLineOf(filed.error) << "\n";
  KeepInErrorLog(o, machine, OneLineOf(filed.error), journal.label, err);
  return page;
}

std::string KeyFolder(const Options& o) {
  return o.simulate ? SimulatedFilesFolder(*o.simulate) : HostProtectionFolder();
}

int ReportCommand(const Options& o, std::ostream& out, std::ostream& err) {
  const std::string action = o.positional.empty() ? std::string() : o.positional[0];
  if ((o.key_file && action != "check") || (o.replace && action != "keygen")) {
    err << "plexiscrub-cli: "
        << Said(o, "--key belongs to report check, --replace to report keygen",
                "--key は report check に、--replace は report keygen に付けます")
        << "\n";
    return kUsage;
  }
  if (action == "list" && o.positional.size() == 1) return ListReportsCommand(o, out, err);
  if (action == "keygen" && o.positional.size() == 1) return KeygenCommand(o, out, err);
  if (action == "export" && o.positional.size() == 1) return ExportReportsCommand(o, out, err);
  if ((action == "show" || action == "check" || action == "canonical") && o.positional.size() == 2) {
    const std::string& path = o.positional[1];
    std::optional<report::ReadReport> read = ReadReportFile(o, path, err);
    if (!read) return kFailed;
    if (action == "canonical") {
      out << report::CanonicalText(read->body);
      return kOk;
    }
    if (action == "show") ShowFacts(read->body, "", out);
    return CheckReport(o, path, *read, out, err);
  }
  err << "plexiscrub-cli: "
      << Said(o, "report takes list, show FILE, check FILE [--key PUBLIC_KEY], canonical FILE, export or keygen",
              "report には list、show FILE、check FILE [--key PUBLIC_KEY]、canonical FILE、export、keygen のどれかを付けます")
      << "\n";
  return kUsage;
}

}  // namespace plexi::cli
