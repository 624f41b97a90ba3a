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
run_view ja_JP.UTF-8 "Plexiscrub: ディスク一覧" "消去できません: 2 is protected" "(選択: 1)" "del と入力" "Plexiscrub: 結果" p

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
