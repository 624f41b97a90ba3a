#include "report/report_html.h"

#include <cstdio>
#include <vector>

#include "report/certificate.h"
#include "report/erase_report.h"

namespace plexi::report {

namespace {

// Black on white, thin rules: it prints the same on any printer. Sized so
// that the longest report (three passes, errors, long names) stays on one
// A4 sheet.
const char kStyle[] = R"(@page { size: A4; margin: 10mm 12mm; }
* { box-sizing: border-box; }
html { background: #fff; }
body { margin: 0 auto; max-width: 186mm; color: #000; background: #fff;
  font-family: "Noto Sans CJK JP", "Yu Gothic", "Meiryo", "MS Gothic", sans-serif; font-size: 9pt; line-height: 1.27; }
header { border-bottom: 2pt solid #000; padding-bottom: 3mm; margin-bottom: 3mm; }
.title { font-size: 11pt; letter-spacing: 0.2em; margin: 0 0 2mm; }
.drive { font-size: 16pt; font-weight: bold; margin: 0; overflow-wrap: anywhere; }
.serial { font-size: 11pt; margin: 1mm 0 0; overflow-wrap: anywhere; }
.outcome { font-size: 18pt; font-weight: bold; margin: 2mm 0 0; padding: 1mm 3mm; border: 2pt solid #000; display: inline-block; }
.outcome.bad { border-style: double; border-width: 4pt; }
table { width: 100%; border-collapse: collapse; margin-bottom: 3mm; }
th, td { border: 0.5pt solid #000; padding: 0.6mm 2mm; vertical-align: top; text-align: left; overflow-wrap: anywhere; }
th { width: 34mm; font-weight: normal; background: #eee; }
h2 { font-size: 10pt; margin: 2mm 0 1mm; }
.note { font-size: 8pt; }
.digest { font-family: "DejaVu Sans Mono", "Consolas", monospace; font-size: 8pt; }
.people th { width: auto; }
.people th:first-child { width: 34mm; }
.people td { width: 76mm; }
.sign td { height: 9mm; }
footer { margin-top: 3mm; font-size: 7.5pt; }
@media screen { body { padding: 8mm 0; } }
@media print { body { max-width: none; } }
)";

std::string Number(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t k = 0; k < digits.size(); ++k) {
    if (k && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

std::string Num(const json::Value& v) {
  std::optional<uint64_t> n = v.AsUnsigned();
  return n ? Number(*n) : std::string("—");
}

std::string OrDash(const std::string& text) { return text.empty() ? std::string("—") : text; }

std::string YesNo(const json::Value& v) {
  const bool* b = v.AsBool();
  return b ? (*b ? "はい" : "いいえ") : "不明";
}

// What the drive hid from the host; a dash where it was not asked (and in
// reports filed before it was).
std::string HiddenAreaWords(const json::Value& h) {
  if (!h.AsObject()) return "—";
  const bool* answered = h["answered"].AsBool();
  if (!answered || !*answered) return "不明（ドライブが最大アドレスの問い合わせに答えませんでした）";
  const std::optional<uint64_t> hidden = h["hidden_sectors"].AsUnsigned();
  if (!hidden || *hidden == 0) return "なし";
  return Num(h["hidden_sectors"]) + " セクタ（ホストから見える " + Num(h["host_sectors"]) + "、本来の最大 " +
         Num(h["native_max_sectors"]) + "、DCO の最大 " + Num(h["dco_max_sectors"]) + "）、うち消去されなかったもの " +
         Num(h["not_erased_sectors"]) + " セクタ";
}

// Said where the drive's names did not come from the drive's own identify
// data (or what Windows reported of it): the serial's source, and that the
// model is then the SCSI inquiry's, cut at 16 characters.
std::string WeakerIdentityWords(const std::string& source) {
  static const char* const kOwnNames[] = {"",           "ata_identify", "nvme_identify_controller",
                                          "storage_descriptor", "image_file", "loop_backing_file"};
  for (const char* own : kOwnNames)
    if (source == own) return std::string();
  return "　名称の出所: " + source + "（型番は SCSI INQUIRY の 16 文字まで）";
}

std::string MediaWords(const std::string& media) {
  if (media == "ssd") return "SSD（フラッシュ）";
  if (media == "hdd") return "HDD（磁気ディスク）";
  return "不明";
}

std::string TimeWords(const std::string& iso) {
  // 2026-12-08T09:30:00 → 2026/12/08 09:30:00
  if (iso.size() != 19) return iso;
  std::string t = iso;
  t[4] = t[7] = '/';
  t[10] = ' ';
  return t;
}

std::string DurationWords(const json::Value& ms_value) {
  const uint64_t ms = ms_value.AsUnsigned().value_or(0);
  const uint64_t s = ms / 1000;
  char text[64];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%llu時間%02llu分%02llu秒", (unsigned long long)(s / 3600),
                  (unsigned long long)(s % 3600 / 60), (unsigned long long)(s % 60));
  else if (s >= 60)
    std::snprintf(text, sizeof text, "%llu分%02llu秒", (unsigned long long)(s / 60), (unsigned long long)(s % 60));
  else
    std::snprintf(text, sizeof text, "%llu.%03llu秒", (unsigned long long)s, (unsigned long long)(ms % 1000));
  return text;
}

std::string RateWords(const json::Value& rate) {
  const uint64_t r = rate.AsUnsigned().value_or(0);
  if (r == 0) return "—";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB/s", double(r) / 1e6);
  return text;
}

std::string PatternWords(const std::string& pattern) {
  if (pattern == "random") return "乱数（0x00〜0xFE）";
  return pattern;
}

std::string TargetWords(const json::Value& target) {
  const std::string kind = target.Text("kind");
  std::string words;
  if (kind == "physical_drive")
    words = "物理ドライブ " + Num(target["number"]);
  else if (kind == "volume")
    words = "ボリューム " + OrDash(target.Text("letter"));
  else
    words = "デバイス";
  return words + "（" + target.Text("path") + "）";
}

std::string MethodRow(const json::Value& method) {
  if (method.IsNull()) return "—（確認前に終了）";
  std::string words = method.Text("name") + "（方式 " + std::to_string(method["code"].AsInt().value_or(-1)) + "）";
  const std::string command = method.Text("firmware_command");
  if (!command.empty()) words += "／" + command;
  return words;
}

std::string PassesRow(const json::Value& method) {
  const json::Array* passes = method["passes"].AsArray();
  if (!passes || passes->empty()) return "—";
  std::string words;
  for (const json::Value& pass : *passes) {
    if (!words.empty()) words += " → ";
    words += "工程" + std::to_string(pass["pass"].AsInt().value_or(0)) + ": " + PatternWords(pass.Text("pattern"));
  }
  return words;
}

std::string ResumeRow(const json::Value& method) {
  if (method.IsNull() || !method["resumed"].AsBool() || !*method["resumed"].AsBool()) return "なし（最初から消去）";
  const json::Value& point = method["resume_point"];
  std::string words = "工程 " + Num(point["pass"]) + " のチャンク " + Num(point["chunk"]) + " から継続";
  const json::Value& before = method["interruptions_before"];
  words += before.IsNull() ? "（それまでの中断回数は不明）" : "（それまでの中断 " + Num(before) + " 回）";
  const bool* unexpected = method["earlier_run_ended_unexpectedly"].AsBool();
  if (unexpected && *unexpected) words += "。前回の消去は予期せず終了（最後の保存位置から継続）";
  return words;
}

// What the read-back read, where that is not simply what the passes wrote.
std::string ReadBackWords(const json::Value& v) {
  const std::string reads = v.Text("reads");
  if (reads == "media") return "（ファームウェア消去後の記録媒体を読み出し）";
  if (reads == "deallocated_blocks") return "（ドライブが解放したブロックを読み出し。媒体そのものではありません）";
  return {};
}

std::string VerifyRow(const json::Value& v) {
  const std::string mode = v.Text("mode");
  if (mode != "full_read_back") return "なし";
  const std::string result = v.Text("result");
  std::string words = "全領域の読み戻し: ";
  if (result == "passed") words += "すべてゼロ";
  else if (result == "failed") words += "ゼロ以外のバイトを検出";
  else words += "最後まで行われず";
  words += "、読み取り " + Num(v["bytes_read"]) + " バイト";
  if (!v["first_nonzero_sector"].IsNull()) words += "、最初の非ゼロ個所 セクタ " + Num(v["first_nonzero_sector"]);
  return words + ReadBackWords(v);
}

// The drive's own account of its command: the status it reported at the
// end, whether the blocks were kept, the estimated and the measured time.
std::string FirmwareRow(const json::Value& method) {
  const json::Value& f = method["firmware_purge"];
  if (method.IsNull() || f.IsNull()) return "—";
  std::string words = f.Text("technique");
  const json::Value& status = f["drive_status"];
  if (!status.IsNull()) words += "／ドライブの報告: " + status.Text("status") + "（" + status.Text("source") + "）";
  const json::Value& deallocated = f["blocks_deallocated"];
  const bool* asked = f["no_deallocate_requested"].AsBool();
  words += std::string("／解放しない指示: ") + (asked && *asked ? "あり" : "なし");
  if (deallocated.AsBool()) words += *deallocated.AsBool() ? "／ブロックは解放済み" : "／ブロックは解放されず";
  words += "／見積り " + (f["estimated_seconds"].IsNull() ? std::string("—") : Num(f["estimated_seconds"]) + " 秒");
  words += "／実際 " + DurationWords(f["duration_ms"]);
  return words;
}

std::string RecordRow(const std::string& record) {
  if (record == "completion") return "完了記録を書き込み";
  if (record == "blank") return "ゼロのまま（記録を残さない選択）";
  if (record == "resume") return "再開情報を書き込み";
  if (record == "failed") return "書き込み失敗";
  return "書き込みなし";
}

// A message of several lines ("\r\n" or "\n" between them), one line of the
// page each.
std::string MultilineHtml(const std::string& text) {
  std::string html, line;
  for (char c : text) {
    if (c == '\r') continue;
    if (c != '\n') {
      line += c;
      continue;
    }
    html += HtmlEscape(line) + "<br>";
    line.clear();
  }
  return html + HtmlEscape(line);
}

std::string ErrorsRow(const json::Value& errors) {
  const json::Array* list = errors.AsArray();
  if (!list || list->empty()) return "なし";
  std::string html;
  for (const json::Value& e : *list) {
    if (!html.empty()) html += "<br>";
    html += MultilineHtml(e.Text("message"));
    const int64_t code = e["code"].AsInt().value_or(0);
    if (code != 0) html += HtmlEscape("（コード " + std::to_string(code) + "）");
    if (!e["sector"].IsNull()) html += HtmlEscape("（セクタ " + Num(e["sector"]) + "）");
  }
  return html;
}

// The sectors an erase went around, a few ranges of each kind (the JSON
// file has them all); empty when there were none.
std::string ExceptionsRow(const json::Value& exceptions) {
  constexpr size_t kShown = 6;
  std::string html;
  for (const auto& [key, heading] : {std::pair{"unwritten", "書き込めず"}, std::pair{"unreadable", "読み戻せず"}}) {
    const json::Array* list = exceptions[key].AsArray();
    if (!list) continue;
    for (size_t i = 0; i < list->size() && i < kShown; ++i) {
      const json::Value& r = (*list)[i];
      if (!html.empty()) html += "<br>";
      html += HtmlEscape(std::string(heading) + ": セクタ " + Num(r["first_sector"]) + " から " + Num(r["count"]) +
                         " 個（コード " + std::to_string(r["code"].AsInt().value_or(0)) + "）");
    }
    if (list->size() > kShown)
      html += "<br>" + HtmlEscape(std::string(heading) + ": ほか " + std::to_string(list->size() - kShown) + " 範囲");
  }
  return html;
}

class Page {
 public:
  void Row(const std::string& name, const std::string& text) { RowHtml(name, HtmlEscape(text)); }
  void RowHtml(const std::string& name, const std::string& html) {
    out_ += "<tr><th>" + HtmlEscape(name) + "</th><td>" + html + "</td></tr>\n";
  }
  void Raw(const std::string& html) { out_ += html; }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        // Control characters have no place on the page.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') out += "\xEF\xBF\xBD";
        else out += c;
    }
  }
  return out;
}

namespace {

std::string ProductOf(const json::Value& r) {
  const json::Value& drive = r["drive"];
  std::string product = drive.Text("product");
  if (!drive.Text("vendor").empty()) product = drive.Text("vendor") + " " + product;
  return product.empty() ? r["target"].Text("label") : product;
}

void HeaderPart(Page& p, const json::Value& r) {
  const json::Value& drive = r["drive"];
  const std::string product = ProductOf(r);
  const std::string outcome = r.Text("outcome");
  p.Raw("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>");
  p.Raw(HtmlEscape("消去報告書 " + product + " " + drive.Text("serial")));
  p.Raw("</title>\n<style>\n");
  p.Raw(kStyle);
  p.Raw("</style>\n</head>\n<body>\n<header>\n<p class=\"title\">ドライブ消去報告書</p>\n");
  p.Raw("<p class=\"drive\">" + HtmlEscape(OrDash(product)) + "</p>\n");
  const std::string asset = r["certificate"]["media"].Text("asset_number");
  p.Raw("<p class=\"serial\">" + (asset.empty() ? "" : "資産番号 " + HtmlEscape(asset) + "　") + "シリアル番号 " +
        HtmlEscape(OrDash(drive.Text("serial"))) + "　容量 " + HtmlEscape(OrDash(drive.Text("capacity_text"))) +
        "</p>\n");
  p.Raw(std::string("<p class=\"outcome") + (outcome == "completed" ? "" : " bad") + "\">" +
        HtmlEscape(OutcomeWords(outcome)) + "</p>\n</header>\n");
}

void ReportAndDrivePart(Page& p, const json::Value& r) {
  const json::Value& drive = r["drive"];
  p.Raw("<table>\n");
  p.Row("報告書ID", r.Text("report_id"));
  p.Row("実行環境", OrDash(r["computer"].Text("name")) + "（" +
                                       OrDash(r["computer"].Text("operating_system")) + "） / " + r["tool"].Text("name") +
                                       " " + r["tool"].Text("version"));
  p.Row("開始 / 終了", TimeWords(r["times"].Text("start")) + " 〜 " + TimeWords(r["times"].Text("end")) + "（" +
                          DurationWords(r["times"]["duration_ms"]) + "）");
  p.Raw("</table>\n<h2>ドライブ</h2>\n<table>\n");
  // The serial number stands in the header.
  p.Row("メーカー / 製品", OrDash(drive.Text("vendor")) + " / " + OrDash(drive.Text("product")) + "（ファームウェア " +
                               OrDash(drive.Text("firmware_revision")) + "）" +
                               WeakerIdentityWords(drive.Text("identity_source")));
  const std::string type = r["certificate"]["media"].Text("type");
  p.Row("接続 / 媒体", OrDash(drive.Text("bus")) + " / " + MediaWords(drive.Text("media")) +
                           (type.empty() ? "" : "（" + type + "）") + "　取り外し可能: " + YesNo(drive["removable"]));
  p.Row("セクタ", Num(drive["sector_size"]) + " バイト × " + Num(drive["sector_count"]) + " セクタ = " +
                      Num(drive["capacity_bytes"]) + " バイト");
  p.Row("隠し領域", HiddenAreaWords(drive["hidden_area"]));
  p.Row("消去対象", TargetWords(r["target"]));
  p.Raw("</table>\n");
}

void ErasePart(Page& p, const json::Value& r) {
  const json::Value& method = r["method"];
  p.Raw("<h2>消去</h2>\n<table>\n");
  p.RowHtml("消去方式 / 工程", HtmlEscape(MethodRow(method)) + "<br>" + HtmlEscape(PassesRow(method)));
  p.Row("継続", ResumeRow(method));
  if (!method.IsNull() && !method["firmware_purge"].IsNull()) p.Row("ファームウェア消去", FirmwareRow(method));
  p.Row("照合", VerifyRow(r["verification"]));
  p.Row("書き込み / 記録", Num(r["bytes_written"]) + " バイト（平均 " +
                                    RateWords(r["average_rate_bytes_per_second"]) + "） / " +
                                    RecordRow(r.Text("first_sector_record")));
  p.RowHtml("エラー", ErrorsRow(r["errors"]));
  if (const std::string around = ExceptionsRow(r["sector_exceptions"]); !around.empty())
    p.RowHtml("未消去セクタ", around);
  const json::Value& sanitization = r["sanitization"];
  const std::string category = sanitization.Text("category");
  p.RowHtml("消去区分", "<strong>" + HtmlEscape(category == "Clear" || category == "Purge" ? category : "なし") +
                            "</strong><br><span class=\"note\">" + HtmlEscape(sanitization.Text("note")) + "</span>");
  p.Raw("</table>\n");
}

// The rows of the people who sign: a key, or two keys joined by " / ".
constexpr std::pair<const char*, const char*> kPeopleRows[] = {
    {"氏名", "name"}, {"役職・肩書 / 組織", "title organisation"}, {"場所 / 連絡先", "location contact"}, {"日付", "date"}};

std::string PersonWords(const json::Value& person, const std::string& keys) {
  const size_t blank = keys.find(' ');
  if (blank == std::string::npos) return OrDash(person.Text(keys));
  return OrDash(person.Text(keys.substr(0, blank))) + " / " + OrDash(person.Text(keys.substr(blank + 1)));
}

// The certificate: the drive's place in the organisation, the method in
// the standard's words, and the two people who sign it, each with a line
// for the signature. A report filed before it was kept shows the
// organisation and operator it had.
void CertificatePart(Page& p, const json::Value& r) {
  const json::Value& c = r["certificate"];
  const json::Value& media = c["media"];
  p.Raw("<h2>消去証明（" + HtmlEscape(OrDash(c.Text("standard"))) + "）</h2>\n<table>\n");
  p.Row("資産番号 / 出所", OrDash(media.Text("asset_number")) + " / " + OrDash(media.Text("source")));
  p.Row("消去区分 / 手法", OrDash(c.Text("sanitization_method")) + " / " + OrDash(c.Text("technique")));
  p.Row("照合の方法", OrDash(c.Text("verification_method")));
  p.Row("消去後の行き先", DestinationWords(media.Text("destination")));
  p.Raw("</table>\n<table class=\"people\">\n<tr><th></th><th>消去を行った人</th><th>検証した人</th></tr>\n");
  const json::Value& by = c["performed_by"];
  const json::Value& checker = c["validated_by"];
  // Reports of schema version 1 name the operator and organisation only.
  json::Object old_names{{"name", r.Text("operator")}, {"organisation", r.Text("organisation")}};
  const json::Value performer = c.IsNull() ? json::Value(std::move(old_names)) : by;
  for (const auto& [words, key] : kPeopleRows) {
    p.Raw("<tr><th>" + HtmlEscape(words) + "</th><td>" + HtmlEscape(PersonWords(performer, key)) + "</td><td>" +
          HtmlEscape(PersonWords(checker, key)) + "</td></tr>\n");
  }
  p.Raw("<tr class=\"sign\"><th>署名</th><td></td><td></td></tr>\n</table>\n");
}

// The signing key's fingerprint, from the signed facts: the page names the
// key that `report check` and openssl check the file's signature against.
std::string SignerWords(const json::Value& signer_key) {
  if (signer_key.IsNull()) return "署名なし（SHA-256は偶然の変化だけを示します）";
  return signer_key.Text("algorithm") + " " + signer_key.Text("fingerprint");
}

void FooterPart(Page& p, const json::Value& signer_key, const std::string& digest) {
  p.Raw("<footer>\n<p>報告書本体（JSON）のSHA-256: <span class=\"digest\">" + HtmlEscape(digest) +
        "</span><br>電子署名の鍵: <span class=\"digest\">" + HtmlEscape(SignerWords(signer_key)) +
        "</span><br>照合: plexiscrub-cli report check 報告書.json</p>\n</footer>\n</body>\n</html>\n");
}

}  // namespace

std::string ReportHtml(const json::Value& r, const std::string& digest) {
  Page p;
  HeaderPart(p, r);
  ReportAndDrivePart(p, r);
  ErasePart(p, r);
  CertificatePart(p, r);
  FooterPart(p, r["signer_key"], digest);
  return p.Take();
}

}  // namespace plexi::report
