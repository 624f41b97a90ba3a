#!/usr/bin/env bash
# plexiscrub-cli tui driven in a detached tmux session of fixed size on a
# simulated machine whose disks are image files: the table shows the disks
# (a protected one cannot be selected), one disk is chosen with a method
# and the read-back, "del" starts it, the summary names its report; then
# the bytes: exactly that disk is erased, with its record, every other disk
# unchanged. Once in English (LANG=C), once in Japanese.
set -u
cli=$1
if ! command -v tmux >/dev/null; then
  echo "SKIP: tmux is not installed (scripts/setup installs it)"
  exit 77
fi
work=$(mktemp -d)
sock="$work/tmux.sock"
trap 'tmux -S "$sock" kill-server 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

screen() { tmux -S "$sock" capture-pane -p -t view 2>/dev/null; }
keys() { tmux -S "$sock" send-keys -t view "$@"; }
# Polls the screen until it shows TEXT; false, with the screen, after 30 s.
wait_for() {
  local deadline=$((SECONDS + 30))
  until screen | grep -qF -- "$1"; do
    if [ $SECONDS -ge $deadline ]; then
      fail "the screen never showed '$1':"
      screen
      return 1
    fi
    sleep 0.1
  done
}
nonzero_after_first_sector() { tail -c +513 "$1" | tr -d '\0' | wc -c; }

cat >"$work/m.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
disk 0 size=1G bus=sata product="System" serial="SYS"
volume C: disk=0 offset=1M length=500M
disk 1 image=d1.img bus=sata product="One" serial="S1"
disk 2 image=d2.img bus=usb product="Two" serial="S2" removable=yes
disk 3 image=d3.img bus=nvme product="Three" serial="S3"
disk 4 image=d4.img bus=sata product="Four" serial="S4"
MACHINE
fill() { for n in 1 2 3 4; do head -c 4M /dev/urandom >"$work/d$n.img"; done; }
fill
"$cli" protect 2 --simulate "$work/m.machine" >/dev/null || fail "protect 2"

# One run of the view: LANG, then the texts the table, the confirmation
# and the summary show in that language.
run_view() {
  local lang=$1 table=$2 refused=$3 selected=$4 confirm=$5 summary=$6 last_key=$7
  fill
  tmux -S "$sock" kill-session -t view 2>/dev/null
  rm -rf "$work/reports" "$work/exit"
  local before_others
  before_others=$(md5sum "$work/d1.img" "$work/d2.img" "$work/d4.img")
  tmux -S "$sock" -f /dev/null new-session -d -s view -x 100 -y 30 \
    "env LANG=$lang LC_ALL= '$cli' tui --simulate '$work/m.machine' --report '$work/reports' \
     --power-off-command 'touch $work/powered-off'; echo \$? >'$work/exit'"
  wait_for "$table" || return
  for model in One Two Three Four; do screen | grep -q " $model " || fail "$lang: the table lacks $model"; done
  screen | grep -qF "$refused" || fail "$lang: the protected disk is not marked"
  # Down to disk 2 (protected: Space does nothing), on to disk 3: select it,
  # method 1, read-back on.
  keys j j Space j Space m v
  wait_for "$selected" || return
  keys Enter
  wait_for "$confirm" || return
  screen | grep -E '^3 +Three +S3 ' | grep -q '1 ' || fail "$lang: the confirmation lacks disk 3 with method 1"
  # Columns line up by display width: the size column starts at the same
  # column in the header and in the row, whatever the letters before it.
  python3 - "$(screen)" <<'PY' || fail "$lang: the confirmation's columns do not line up"
import sys, unicodedata
def column(line, word):
    head = line[:line.index(word)]
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in head)
lines = sys.argv[1].splitlines()
row = next(l for l in lines if l.startswith("3 ") and "Three" in l)
header = lines[lines.index(row) - 1]
size_word = next(w for w in ("Size", "容量") if w in header)
sys.exit(0 if column(header, size_word) == column(row, "4MB") else 1)
PY
  keys d E l Enter
  wait_for "$summary" || return
  local page
  page=$(ls "$work/reports/"*.html 2>/dev/null)
  [ "$(echo "$page" | grep -c .)" -eq 1 ] || fail "$lang: one report page expected, found: $page"
  [ -n "$page" ] && { wait_for "$(basename "$page")" || fail "$lang: the summary does not name the report"; }
  ls "$work/reports/"*.json >/dev/null 2>&1 || fail "$lang: no report data"
  # q quits; p runs the power-off command once the screen is given back.
  rm -f "$work/powered-off"
  keys "$last_key"
  local deadline=$((SECONDS + 30))
  until [ -s "$work/exit" ] || [ $SECONDS -ge $deadline ]; do sleep 0.1; done
  [ "$(cat "$work/exit" 2>/dev/null)" = 0 ] || fail "$lang: the view exited $(cat "$work/exit" 2>/dev/null)"
  if [ "$last_key" = p ] && [ ! -e "$work/powered-off" ]; then fail "$lang: p did not run the power-off command"; fi
  if [ "$last_key" = q ] && [ -e "$work/powered-off" ]; then fail "$lang: q ran the power-off command"; fi
  # Exactly disk 3 erased, its completion record of method 1 in place.
  [ "$(nonzero_after_first_sector "$work/d3.img")" -eq 0 ] || fail "$lang: disk 3 was not erased"
  local inspect
  inspect=$("$cli" inspect 3 --simulate "$work/m.machine")
  echo "$inspect" | grep -q '^kind: 2 ' || fail "$lang: disk 3 has no completion record"
  echo "$inspect" | grep -q '^method: 1 ' || fail "$lang: disk 3 does not record method 1"
  [ "$before_others" = "$(md5sum "$work/d1.img" "$work/d2.img" "$work/d4.img")" ] ||
    fail "$lang: a disk that was not chosen changed"
}

run_view C "Plexiscrub: disks" "cannot be erased: 2 is protected" "(selected: 1)" "Type del" "Plexiscrub: Summary" q
run_view ja_JP.UTF-8 "Plexiscrub: ディスク一覧" "消去できません: 2 は消去が禁止されています" "(選択: 1)" "del と入力" "Plexiscrub: 結果" p

# Ctrl+C interrupts every drive: each is asked whether to keep its resume
# point (as erase asks at a terminal), keeps it, and the summary says so.
sed 's/serial="S1"/serial="S1" write-delay=400/; s/serial="S3"/serial="S3" write-delay=400/' "$work/m.machine" \
  >"$work/slow.machine"
for n in 1 3; do head -c 64M /dev/urandom >"$work/d$n.img"; done
tmux -S "$sock" kill-session -t view 2>/dev/null
rm -f "$work/exit"
tmux -S "$sock" -f /dev/null new-session -d -s view -x 80 -y 24 \
  "env LANG=C LC_ALL= '$cli' tui --simulate '$work/slow.machine' --report '$work/reports'; echo \$? >'$work/exit'"
if wait_for "Plexiscrub: disks"; then
  keys j Space j j Space Enter
  wait_for "Type del" && keys d e l Enter
  wait_for "%  " && keys C-c
  # Each drive's question, answered yes, until the summary.
  deadline=$((SECONDS + 60))
  until screen | grep -qF "Plexiscrub: Summary" || [ $SECONDS -ge $deadline ]; do
    screen | grep -qF "y: yes" && keys y
    sleep 0.2
  done
  [ "$(screen | grep -c 'interrupted; resume record saved')" -eq 2 ] || { fail "Ctrl+C: two interrupted drives expected:"; screen; }
  for n in 1 3; do
    "$cli" inspect $n --simulate "$work/slow.machine" | grep -q '^kind: 1 ' || fail "Ctrl+C: disk $n has no resume record"
  done
  keys q
fi

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
