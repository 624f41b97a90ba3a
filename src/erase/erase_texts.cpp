#include "erase/erase_texts.h"

#include "record/erase_method.h"

namespace plexi::erase_text {

EraseQuestion EraseDriveQuestion(const std::string& drive_label) {
  return {EraseQuestion::Id::kEraseDrive, EraseQuestion::Buttons::kOkCancel, EraseQuestion::Icon::kQuestion,
          drive_label + "\nこのドライブの内容を全て消去しますか？", "データの消去確認"};
}

EraseQuestion ResumeQuestion(bool unexpected_end) {
  std::string text = unexpected_end ? kUnexpectedEndLine : "";
  text += "前回の処理情報が見つかりました。途中から続行しますか？\n"
          "（照合を選ばずに続行すると、中断前に書き込んだ部分は確認されず、照合済みの消去にはなりません。）";
  return {EraseQuestion::Id::kResume, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kNone, text, "確認"};
}

EraseQuestion EraseAgainQuestion(int32_t method) {
  return {EraseQuestion::Id::kEraseAgain, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kNone,
          EraseMethodText(method, MethodTextForm::kSentence) + "で消去が完了したドライブです。もう一度消去しますか？", "再消去の確認"};
}

EraseQuestion SaveResumePointQuestion() {
  return {EraseQuestion::Id::kSaveResumePoint, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kQuestion,
          "途中で中断されました。この情報をドライブに保存すると続きから行えます。\n保存しますか？", "確認"};
}

EraseQuestion LiftHiddenAreaQuestion(uint64_t sectors) {
  return {EraseQuestion::Id::kLiftHiddenArea, EraseQuestion::Buttons::kYesNo, EraseQuestion::Icon::kQuestion,
          "このドライブは " + std::to_string(sectors) +
              " セクタを隠し領域 (HPA) としてホストから隠しています。\n"
              "消去のために一時的に解除して、隠し領域も消去しますか？\n"
              "（解除はドライブの電源を入れ直すと元に戻ります。解除しない場合、隠し領域は消去されません。）",
          "隠し領域の確認"};
}

std::string InUse(const std::string& what, const std::string& reason) {
  return what + " を使用中のため、消去できません。このドライブを使っているプログラムを終了してから、もう一度実行して下さい。\r\n" +
         reason;
}

std::string ReadBackStopped(int percent) {
  return "全ての工程を書き込みましたが、照合は " + std::to_string(percent) + "% で中止されました。";
}

std::string ReadBackFailed(uint64_t sector) {
  return "全ての工程を書き込みましたが、照合の読み出しがセクタ " + std::to_string(sector) + " で失敗しました。";
}

namespace {

// "セクタ 3000000 から 8 個（エラー 1117）" per range, the first few of them.
void AppendRanges(std::string& text, const char* heading, const std::vector<SectorRange>& ranges) {
  constexpr size_t kShown = 8;
  for (size_t i = 0; i < ranges.size() && i < kShown; ++i)
    text += "\r\n" + std::string(heading) + ": セクタ " + std::to_string(ranges[i].first) + " から " +
            std::to_string(ranges[i].count) + " 個（エラー " + std::to_string(ranges[i].error) + "）";
  if (ranges.size() > kShown)
    text += "\r\n" + std::string(heading) + ": ほか " + std::to_string(ranges.size() - kShown) + " 範囲（消去レポートに全て記載）";
}

}  // namespace

std::string ErasedWithExceptions(const std::vector<SectorRange>& unwritten, const std::vector<SectorRange>& unreadable,
                                 uint64_t hidden) {
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
  AppendRanges(text, "書き込めなかった範囲", unwritten);
  AppendRanges(text, "読み戻せなかった範囲", unreadable);
  return text;
}

std::string PassLine(int32_t pass_number, int32_t pass_count) {
  return "現在の工程 " + std::to_string(pass_number) + " / " + std::to_string(pass_count);
}

}  // namespace plexi::erase_text
