// The terminal view's texts. The Japanese ones avoid characters of
// ambiguous width (arrows, the ellipsis), which terminals draw one or two
// columns wide as they please.
#include "cli/cli_tui.h"

namespace plexi::cli {
namespace {

constexpr TuiTexts kEnglish = {
    "Plexiscrub: disks",
    "selected",
    "Disk", "Model", "Serial", "Size", "Bus", "Record", "Own purge", "M", "Verify", "Note",
    "yes", "no",
    "cannot be erased: ",
    "may be erased",
    "can purge itself: ",
    "cannot purge itself",
    "m: 0 zeros | 1 0xFF, zeros | 2 random, 0xFF, zeros | 3 the drive's own purge",
    "Up/Down j/k move  Space select  m method  v verify  Enter confirm  q quit",
    "Up/Down j/k move  Space select  m method  v verify  Enter confirm  q quit  p power off",
    "Select a disk with Space first.",
    "No disks found.",
    "The terminal is too small for the table: it needs at least 60 columns and 14 lines.",
    "Preparing the selected disks...",
    "y: yes   n: no",
    "Confirm the erase",
    "Everything on these disks is overwritten and cannot be recovered.",
    "Type del and press Enter to start (Esc: back): ",
    "Type del to start, or Esc to go back.",
    "Not every disk of the set fits on the screen: make the terminal larger to see them all before typing del.",
    {"zeros", "0xFF, zeros", "random, 0xFF, zeros", "the drive's own purge"},
    "Erasing",
    "c or Ctrl+C: interrupt all (each keeps its resume record)",
    "Interrupting every disk...",
    "waiting",
    "left",
    "calculating",
    "Summary",
    "Reports in: ",
    "report: ",
    "no report",
    "time",
    "rate",
    "Enter: disk list  q: quit",
    "more disks below: make the terminal larger to see them, or read their reports",
    "Enter: disk list  q: quit  p: power off",
    "powering off: ",
    "(resumed)",
    "the drive's own command: it cannot be interrupted",
};

constexpr TuiTexts kJapanese = {
    "Plexiscrub: ディスク一覧",
    "選択",
    "ディスク", "製品名", "シリアル", "容量", "接続", "記録", "自己消去", "方式", "検証", "状態",
    "あり", "なし",
    "消去できません: ",
    "消去できます",
    "自己消去できます: ",
    "自己消去できません",
    "m: 0 ゼロ | 1 0xFF・ゼロ | 2 乱数・0xFF・ゼロ | 3 ドライブ自身の消去",
    "上下 j/k 移動  Space 選択  m 方式  v 検証  Enter 確認へ  q 終了",
    "上下 j/k 移動  Space 選択  m 方式  v 検証  Enter 確認へ  q 終了  p 電源を切る",
    "先に Space でディスクを選んでください。",
    "ディスクが見つかりません。",
    "端末が小さすぎて表を表示できません。60 桁 14 行以上にしてください。",
    "選択したディスクを準備しています...",
    "y: はい   n: いいえ",
    "消去の確認",
    "これらのディスクの内容はすべて上書きされ、元に戻せません。",
    "開始するには del と入力して Enter (Esc: 戻る): ",
    "del と入力すると開始します。Esc で戻ります。",
    "消去するディスクが画面に入りきりません。del と入力する前に、端末を大きくしてすべて表示してください。",
    {"ゼロ", "0xFF・ゼロ", "乱数・0xFF・ゼロ", "ドライブ自身の消去"},
    "消去中",
    "c または Ctrl+C: すべて中断 (再開記録を残します)",
    "すべてのディスクを中断しています...",
    "待機中",
    "残り",
    "計算中",
    "結果",
    "報告書の保存先: ",
    "報告書: ",
    "報告書なし",
    "時間",
    "速度",
    "Enter: ディスク一覧  q: 終了",
    "台のディスクが画面の外にあります。端末を大きくするか、報告書を見てください",
    "Enter: ディスク一覧  q: 終了  p: 電源を切る",
    "電源を切ります: ",
    "(再開)",
    "ドライブ自身の消去: 途中で中止できません",
};

}  // namespace

const TuiTexts& TextsOf(Language language) { return language == Language::kJapanese ? kJapanese : kEnglish; }

}  // namespace plexi::cli
