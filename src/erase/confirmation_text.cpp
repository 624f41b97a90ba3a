#include "erase/confirmation_text.h"

namespace plexi {

int LetterCountOfLabel(const std::string& drive_label) {
  const std::string open = "（";
  size_t start = drive_label.rfind(open);
  if (start == std::string::npos) return 0;
  start += open.size();
  int count = 0;
  for (size_t i = start; i + 1 < drive_label.size(); ++i)
    if (drive_label[i + 1] == ':' && drive_label[i] != ' ') ++count;
  return count;
}

std::string DriveLabelOf(const DriveRow& row) { return row.caption + " （" + row.SubItem(1) + "）"; }

namespace {

// The same facts for the command-line tool's English: the partitions are
// named on their own line.
std::string ConfirmationInEnglish(const ConfirmationFacts& f) {
  std::string text = "***** All data on the drive will be erased. *****";
  text += "\n\ndrive > " + f.drive_label;
  text += "\n\nbytes per sector > " + std::to_string(f.bytes_per_sector);
  text += "\nsectors > " + std::to_string(f.total_sectors);
  text += "\ndrive size > " + FormatSize(f.total_sectors * f.bytes_per_sector);
  if (f.hidden_sectors > 0)
    text += "\nhidden area > " + std::to_string(f.hidden_sectors) + " sectors (hidden from the host: not erased)";
  if (f.resumed)
    text += "\nmethod > " + EraseMethodText(MethodCode(f.method), MethodTextForm::kLong, Language::kEnglish);
  const int letters = LetterCountOfLabel(f.drive_label);
  if (f.show_partitions && letters >= 2)
    text += "\npartitions > " + std::to_string(letters) + "\nThis drive is divided into " + std::to_string(letters) +
            " partitions.";
  text += "\n\nCheck once more that this is the drive to erase before starting. (Its access lamp is lit.)";
  text += "\n\n    To erase, [ del ] must be typed.";
  return text;
}

}  // namespace

std::string ConfirmationText(const ConfirmationFacts& f) {
  if (f.language == Language::kEnglish) return ConfirmationInEnglish(f);
  std::string text = "***** ドライブのデータを全て消去します。*****";
  text += "\n\nドライブ > " + f.drive_label;
  text += "\n\nセクタ当たりのバイト数 > " + std::to_string(f.bytes_per_sector);
  text += "\n総セクタ数 > " + std::to_string(f.total_sectors);
  text += "\nドライブサイズ > " + FormatSize(f.total_sectors * f.bytes_per_sector);
  if (f.hidden_sectors > 0)
    text += "\n隠し領域 > " + std::to_string(f.hidden_sectors) +
            " セクタ（ドライブがホストから隠しているため、消去されません）";
  text += f.resumed ? "\n消去方式 > " + EraseMethodText(MethodCode(f.method), MethodTextForm::kLong) : "\n";
  const int letters = LetterCountOfLabel(f.drive_label);
  if (f.show_partitions && letters >= 2) {
    const std::string n = std::to_string(letters);
    text += "パーティション数 > " + n + "\nこのドライブは、" + n + "個のパーティションに分割されています。";
  } else {
    text += "\n";
  }
  text += "\n\n";
  text += "開始ボタンを押す前に処理するドライブが間違っていないか再度確認して下さい。（アクセスランプが点灯）";
  text += "\n\n    消去を行うには、[ del ] の入力が必要です。";
  return text;
}

ConfirmRequest MakeConfirmRequest(const ConfirmationInput& in) {
  const EraseParameters& p = in.params;
  ConfirmRequest request;
  const Language language = in.language;
  request.caption =
      std::string(InLanguage(language, erase_text::english::kConfirmCaption, erase_text::kConfirmCaption)) +
      (in.resumed ? InLanguage(language, erase_text::english::kResumedSuffix, erase_text::kResumedSuffix) : "");
  request.text = ConfirmationText({in.target.label, p.BytesPerSector, p.TotalSectors, in.resumed, p.EraseMethod,
                                   in.earlier == RecordKind::kNone, in.hidden_sectors, language});
  request.method = p.EraseMethod;
  request.method_enabled = !in.resumed;
  // Only a read-back of the whole drive shows what the interrupted run wrote.
  request.verify_preset = in.resumed;
  if (in.purge.Usable()) request.purge_command = PurgeCommandName(in.purge.command, language);
  request.purge_offered = in.purge.Usable() && !in.resumed;
  request.purge_lines = PurgeCapabilityLines(in.purge, language);
  if (request.purge_offered)
    request.purge_lines.push_back(InLanguage(language, erase_text::english::kPurgeWarning, erase_text::kPurgeWarning));
  // An earlier purge's record suggests the purge again only where it can run.
  if (request.method == OverwriteMethod::kFirmwarePurge && !request.purge_offered)
    request.method = OverwriteMethod::kZeros;
  request.drive = in.drive;
  request.bytes_per_sector = p.BytesPerSector;
  request.designator = in.target.designator;
  return request;
}

}  // namespace plexi
