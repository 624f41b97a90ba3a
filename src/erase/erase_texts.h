// Every text the erase shows, in one place: its questions (which callers
// tell apart by their id, never by their wording), its messages, captions
// and pass lines. The program speaks Japanese; the command-line tool speaks
// its user's language, so each text has an English twin: the functions take
// the language (Japanese unless told), the constants have theirs in
// erase_text::english.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "erase/sector_exceptions.h"
#include "util/language.h"

namespace plexi {

// A question of the erase with its buttons, icon and words.
struct EraseQuestion {
  enum class Id {
    kEraseDrive,        // the erase button's first question (OK / Cancel)
    kResume,            // continue an interrupted erase? (Yes / No)
    kEraseAgain,        // erase a drive that was erased before? (Yes / No)
    kSaveResumePoint,   // save where the interrupted erase stopped? (Yes / No)
    kLiftHiddenArea,    // lift the drive's host protected area for the erase? (Yes / No)
  };
  enum class Buttons { kOkCancel, kYesNo };
  enum class Icon { kNone, kQuestion };

  Id id;
  Buttons buttons;
  Icon icon;
  std::string text;
  std::string caption;
};

namespace erase_text {

EraseQuestion EraseDriveQuestion(const std::string& drive_label, Language language = Language::kJapanese);
// With `unexpected_end` (the drive holds a checkpoint) it first says that
// the erase before ended without stopping.
EraseQuestion ResumeQuestion(bool unexpected_end = false, Language language = Language::kJapanese);
inline constexpr char kUnexpectedEndLine[] =
    "前回の消去は途中で予期せず終了しました（電源断、強制終了など）。最後に保存された位置から続けられます。\n";
// `method` is the method code the completion record names.
EraseQuestion EraseAgainQuestion(int32_t method, Language language = Language::kJapanese);
EraseQuestion SaveResumePointQuestion(Language language = Language::kJapanese);
EraseQuestion LiftHiddenAreaQuestion(uint64_t sectors, Language language = Language::kJapanese);
inline constexpr char kHiddenAreaNotLifted[] =
    "ドライブの隠し領域 (HPA) を解除できませんでした。隠し領域は消去されません。";

inline constexpr char kConfirmCaption[] = "ドライブ消去の最終確認";
inline constexpr char kResumedSuffix[] = " （継続消去）";
inline constexpr char kProgressCaption[] = "ドライブのデータを消去中 ・・・";
inline constexpr char kVerifyCaption[] = "データの消去を確認中 ・・・";
inline constexpr char kWritingDone[] = "消去完了";
// Beside the program while it holds the end of the session: an erase is
// writing, and ending now stops it (its resume point is saved first).
inline constexpr char kEraseHoldsSessionEnd[] =
    "ドライブの消去中です。このまま終了すると、消去を中断して続きから行うための情報を保存します。";
inline constexpr char kDriveLinePrefix[] = "ドライブ > ";

inline constexpr char kVerifyFailed[] = "照合の結果、未消去個所が見つかりました。";
inline constexpr char kNoSectors[] = "このドライブには消去できるセクタがありません。";
inline constexpr char kNoChunkLayout[] = "このドライブのセクタ数では区切りよく消去できないため、消去できません。";
inline constexpr char kProtected[] =
    "このドライブは消去が禁止されています。消去するには、先に消去の禁止を解除して下さい。";
inline constexpr char kListedDriveChanged[] =
    "一覧を表示した後にドライブが入れ替わったため、消去を中止しました。一覧を更新してから、もう一度操作して下さい。";
inline constexpr char kConfirmedDriveChanged[] =
    "確認した後にドライブが入れ替わったか取り外されたため、消去を中止しました。ドライブには何も書き込んでいません。";
inline constexpr char kAnotherErase[] =
    "このドライブはほかの消去が実行中のため、消去できません。実行中の消去が終わってから、もう一度実行して下さい。"
    "ドライブには何も書き込んでいません。";
// A worker that never ran: the progress dialog could not be shown, or could
// not carry the worker's steps. The second sentence unless a purge ran first.
inline constexpr char kWorkerNotStarted[] = "消去の処理を開始できなかったため、消去を中止しました。";
inline constexpr char kNothingWritten[] = "ドライブには何も書き込んでいません。";
inline constexpr char kResumeLayoutChanged[] =
    "中断したときとドライブの大きさが異なるため、続きからではなく最初から消去します。";

// The firmware purge: what the confirmation warns of, what the progress
// dialog shows while the drive works, and how it can fail.
inline constexpr char kPurgeWarning[] =
    "ファームウェア消去はドライブ自身が行うため、開始すると途中で中止できません。"
    "終わるまでパソコンの電源を切ったり、ドライブを取り外したりしないで下さい。";
inline constexpr char kPurgePassLabel[] = "ファームウェア消去中（中止できません）";
inline constexpr char kPurgeNotOffered[] = "このドライブではファームウェア消去を使用できません。";

// The end of an erase that wrote every pass but did not prove all of it.
inline constexpr char kEarlierPartUnchecked[] =
    "続きから消去を完了しましたが、中断前に書き込んだ部分は今回読み戻していないため、照合済みの消去（Clear）にはなりません。";
// "全ての工程を書き込みましたが、照合は 40% で中止されました。"
std::string ReadBackStopped(int percent, Language language = Language::kJapanese);
// "全ての工程を書き込みましたが、照合の読み出しがセクタ 5000 で失敗しました。"
std::string ReadBackFailed(uint64_t sector, Language language = Language::kJapanese);
// The end of an erase that went around sectors it could not write or read
// back, or did not reach sectors the drive hides: how many, and the first
// ranges of each.
std::string ErasedWithExceptions(const std::vector<SectorRange>& unwritten, const std::vector<SectorRange>& unreadable,
                                 uint64_t hidden = 0, Language language = Language::kJapanese);

// "ドライブ E: を使用中のため、…" and the system's reason on the next line.
std::string InUse(const std::string& name, const std::string& reason, Language language = Language::kJapanese);
// "ドライブ E:" / "drive E:": a volume named in InUse.
std::string VolumeName(const std::string& letter, Language language = Language::kJapanese);
// "現在の工程 2 / 3".
std::string PassLine(int32_t pass_number, int32_t pass_count, Language language = Language::kJapanese);

// The English twins of the constants above, for the command-line tool.
namespace english {
inline constexpr char kUnexpectedEndLine[] =
    "The erase before ended unexpectedly (a power cut, a forced end). It can go on from the last saved point.\n";
inline constexpr char kHiddenAreaNotLifted[] =
    "The drive's hidden area (HPA) could not be lifted. The hidden area is not erased.";
inline constexpr char kConfirmCaption[] = "Final confirmation of the erase";
inline constexpr char kResumedSuffix[] = " (resumed erase)";
inline constexpr char kProgressCaption[] = "Erasing the drive's data ...";
inline constexpr char kVerifyCaption[] = "Checking the erase ...";
inline constexpr char kWritingDone[] = "Writing done";
inline constexpr char kDriveLinePrefix[] = "drive > ";
inline constexpr char kVerifyFailed[] = "The read-back found sectors that were not erased.";
inline constexpr char kNoSectors[] = "This drive has no sectors to erase.";
inline constexpr char kNoChunkLayout[] =
    "This drive's sector count cannot be divided into chunks, so it cannot be erased.";
inline constexpr char kProtected[] =
    "Erasing this drive is forbidden. To erase it, first allow erasing it.";
inline constexpr char kListedDriveChanged[] =
    "The drive was replaced after the list was shown, so the erase was stopped. Refresh the list and try again.";
inline constexpr char kConfirmedDriveChanged[] =
    "The drive was replaced or removed after it was confirmed, so the erase was stopped. Nothing was written to the "
    "drive.";
inline constexpr char kAnotherErase[] =
    "Another erase is running on this drive, so it cannot be erased. Try again once that erase has ended. "
    "Nothing was written to the drive.";
inline constexpr char kWorkerNotStarted[] = "The erase could not be started, so it was stopped.";
// Follows kWorkerNotStarted, hence its leading blank.
inline constexpr char kNothingWritten[] = " Nothing was written to the drive.";
inline constexpr char kResumeLayoutChanged[] =
    "The drive's size differs from when the erase was interrupted, so it is erased from the start, not resumed.";
inline constexpr char kPurgeWarning[] =
    "The drive runs the firmware purge itself: once started it cannot be stopped. "
    "Do not switch the computer off or remove the drive until it has ended.";
inline constexpr char kPurgePassLabel[] = "Firmware purge (cannot be stopped)";
inline constexpr char kPurgeNotOffered[] = "This drive cannot use the firmware purge.";
inline constexpr char kEarlierPartUnchecked[] =
    "The resumed erase completed, but the part written before the interruption was not read back this time, so the "
    "erase is not a verified erase (Clear).";
}  // namespace english

}  // namespace erase_text
}  // namespace plexi
