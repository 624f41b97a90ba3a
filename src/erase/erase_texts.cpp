#include "erase/erase_texts.h"

#include "record/erase_method.h"

namespace plexi::erase_text {

EraseQuestion EraseDriveQuestion(const std::string& drive_label, Language language) {
  return {EraseQuestion::Id::kEraseDrive, EraseQuestion::Buttons::kOkCancel, EraseQuestion::Icon::kQuestion,
          drive_label + InLanguage(language, "\nErase everything on this drive?", "\nこのドライブの内容を全て消去しますか？"),
          InLanguage(language, "Confirm the erase", "データの消去確認")};
}

EraseQuestion ResumeQuestion(bool unexpected_end, Language language) {
  std::string text = unexpected_end ? InLanguage(language, english::kUnexpectedEndLine, kUnexpectedEndLine) : "";
  text += InLanguage(language,
                     "An interrupted erase was found. Continue where it stopped?\n"
                     "(Continuing without the read-back leaves the part written before the interruption unchecked: "
                     "the erase is then not a verified one.)",
                     "前回の処理情報が見つかりました。途中から続行しますか？\n"
                     "（照合を選ばずに続行すると、中断前に書き込んだ部分は確認されず、照合済みの消去にはなりません。）");
  return {EraseQuestion::Id::kResume, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kNone, text,
          InLanguage(language, "Confirm", "確認")};
}

EraseQuestion EraseAgainQuestion(int32_t method, Language language) {
  const std::string name = EraseMethodText(method, MethodTextForm::kSentence, language);
  if (language == Language::kEnglish)
    return {EraseQuestion::Id::kEraseAgain, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kNone,
            "This drive was erased with " + name + ". Erase it again?", "Confirm erasing again"};
  return {EraseQuestion::Id::kEraseAgain, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kNone,
          name + "で消去が完了したドライブです。もう一度消去しますか？", "再消去の確認"};
}

EraseQuestion SaveResumePointQuestion(Language language) {
  return {EraseQuestion::Id::kSaveResumePoint, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kQuestion,
          InLanguage(language,
                     "The erase was interrupted. Saved on the drive, this point lets a later erase continue.\nSave it?",
                     "途中で中断されました。この情報をドライブに保存すると続きから行えます。\n保存しますか？"),
          InLanguage(language, "Confirm", "確認")};
}

EraseQuestion LiftHiddenAreaQuestion(uint64_t sectors, Language language) {
  if (language == Language::kEnglish)
    return {EraseQuestion::Id::kLiftHiddenArea, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kQuestion,
            "This drive hides " + std::to_string(sectors) +
                " sectors from the host as a host protected area (HPA).\n"
                "Lift it for the erase, so that the hidden area is erased too?\n"
                "(The drive restores it when it is switched off and on. Not lifted, the hidden area is not erased.)",
            "Hidden area"};
  return {EraseQuestion::Id::kLiftHiddenArea, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kQuestion,
          "このドライブは " + std::to_string(sectors) +
              " セクタを隠し領域 (HPA) としてホストから隠しています。\n"
              "消去のために一時的に解除して、隠し領域も消去しますか？\n"
              "（解除はドライブの電源を入れ直すと元に戻ります。解除しない場合、隠し領域は消去されません。）",
          "隠し領域の確認"};
}

std::string InUse(const std::string& what, const std::string& reason, Language language) {
  if (language == Language::kEnglish)
    return what + " is in use, so it cannot be erased. End the programs using this drive and try again.\r\n" +
           reason;
  return what + " を使用中のため、消去できません。このドライブを使っているプログラムを終了してから、もう一度実行して下さい。\r\n" +
         reason;
}

std::string VolumeName(const std::string& letter, Language language) {
  return InLanguage(language, "drive ", "ドライブ ") + letter;
}

std::string ReadBackStopped(int percent, Language language) {
  if (language == Language::kEnglish)
    return "Every pass was written, but the read-back was stopped at " + std::to_string(percent) + "%.";
  return "全ての工程を書き込みましたが、照合は " + std::to_string(percent) + "% で中止されました。";
}

std::string ReadBackFailed(uint64_t sector, Language language) {
  if (language == Language::kEnglish)
    return "Every pass was written, but reading back failed at sector " + std::to_string(sector) + ".";
  return "全ての工程を書き込みましたが、照合の読み出しがセクタ " + std::to_string(sector) + " で失敗しました。";
}

namespace {

// "セクタ 3000000 から 8 個（エラー 1117）" per range, the first few of them.
void AppendRanges(std::string& text, const char* heading, const std::vector<SectorRange>& ranges, Language language) {
  constexpr size_t kShown = 8;
  const bool english = language == Language::kEnglish;
  for (size_t i = 0; i < ranges.size() && i < kShown; ++i) {
    const std::string first = std::to_string(ranges[i].first), count = std::to_string(ranges[i].count),
                      error = std::to_string(ranges[i].error);
    text += "\r\n" + std::string(heading) +
            (english ? ": " + count + " from sector " + first + " (error " + error + ")"
                     : ": セクタ " + first + " から " + count + " 個（エラー " + error + "）");
  }
  if (ranges.size() > kShown) {
    const std::string more = std::to_string(ranges.size() - kShown);
    text += "\r\n" + std::string(heading) +
            (english ? ": " + more + " more ranges (all in the erase report)"
                     : ": ほか " + more + " 範囲（消去レポートに全て記載）");
  }
}

std::string ExceptionsInEnglish(const std::vector<SectorRange>& unwritten, const std::vector<SectorRange>& unreadable,
                                uint64_t hidden) {
  std::vector<std::string> parts;
  if (!unwritten.empty()) parts.push_back(std::to_string(SectorsIn(unwritten)) + " sectors could not be written");
  if (!unreadable.empty()) parts.push_back(std::to_string(SectorsIn(unreadable)) + " sectors could not be read back");
  if (hidden > 0) parts.push_back(std::to_string(hidden) + " sectors the drive hides were not reached");
  std::string text = "The erase went to the end, but ";
  for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  text += " (erased with exceptions). These sectors cannot be shown erased, so no completion record is written.";
  AppendRanges(text, "not written", unwritten, Language::kEnglish);
  AppendRanges(text, "not read back", unreadable, Language::kEnglish);
  return text;
}

}  // namespace

std::string ErasedWithExceptions(const std::vector<SectorRange>& unwritten, const std::vector<SectorRange>& unreadable,
                                 uint64_t hidden, Language language) {
  if (language == Language::kEnglish) return ExceptionsInEnglish(unwritten, unreadable, hidden);
  std::vector<std::string> parts;
  if (!unwritten.empty()) parts.push_back("書き込めなかったセクタが " + std::to_string(SectorsIn(unwritten)) + " 個");
  if (!unreadable.empty()) parts.push_back("読み戻せなかったセクタが " + std::to_string(SectorsIn(unreadable)) + " 個");
  std::string text = "消去は最後まで行いましたが、";
  for (size_t i = 0; i < parts.size(); ++i) text += (i > 0 ? "、" : "") + parts[i];
  if (!parts.empty()) text += "あります";
  if (hidden > 0)
    text += std::string(parts.empty() ? "" : "。また、") + "ドライブが隠している " + std::to_string(hidden) +
            " セクタには届いていません";
  text += "（例外付きの消去）。これらのセクタは消去を確かめられないため、消去完了の記録は書き込みません。";
  AppendRanges(text, "書き込めなかった範囲", unwritten, Language::kJapanese);
  AppendRanges(text, "読み戻せなかった範囲", unreadable, Language::kJapanese);
  return text;
}

std::string PassLine(int32_t pass_number, int32_t pass_count, Language language) {
  if (language == Language::kEnglish) return "pass " + std::to_string(pass_number) + " / " + std::to_string(pass_count);
  return "現在の工程 " + std::to_string(pass_number) + " / " + std::to_string(pass_count);
}

}  // namespace plexi::erase_text
