#!/usr/bin/env bash
# plexiscrub-cli list and inspect, end to end: the demo machine's rows, the
# record found in image files, and clear refusals of bad arguments.
set -u
cli=$1
top=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_line() {  # expect_line OUTPUT PATTERN DESCRIPTION
  grep -qE -- "$2" <<<"$1" || fail "$3 (no line matching '$2')"
}

# The physical view of the demo machine.
out=$("$cli" list --simulate "$top/demo/demo.machine" 2>"$work/err") || fail "list exited $?"
expect_line "$out" '^Samsung SSD 860 EVO 500GB \| SATA \| C: D: \| 465\.76GB \|  \| 0 \| 0 \| not \|' "system disk row"
expect_line "$out" '\| NVMe \| F: \| .* \| 0xFF,zeros \| 2 \| 2 \|  \|' "NVMe disk with its completion record"
expect_line "$out" '\| USB \| G: \| .* \| US Army \| 3 \| 1 \|' "USB stick with its resume record"
grep -q 'Q:' <<<"$out" && fail "the CD drive is listed"
grep -qi 'ram' <<<"$out" && fail "the RAM disk is listed"
grep -q 'Z:' <<<"$out" && fail "the network drive is listed"
[ -s "$work/err" ] && fail "list printed errors: $(cat "$work/err")"

# The partition view: one row per letter, the label in the caption.
out=$("$cli" list --partitions --simulate "$top/demo/demo.machine") || fail "list --partitions exited $?"
expect_line "$out" '【 Windows 】 \| SATA \| C: \| .* \| 67 \| 0 \| not \|' "C: in the partition view"
expect_line "$out" '【 .* 】 \| SATA \| D: \| .* \| 68 \| 0 \|  \|' "D: in the partition view"

# Records in image files.
complete="$work/complete.img"
resume="$work/resume.img"
zeros="$work/zeros.img"
truncate -s 1M "$complete" "$resume" "$zeros"
printf 'plexi scrub ok\0\001\0\0\0' | dd of="$complete" conv=notrunc status=none
printf 'plexi scrub\0\0\0\0\0\170\0\0\0\002\0\0\0\001\0\0\0' | dd of="$resume" conv=notrunc status=none

out=$("$cli" inspect "$complete") || fail "inspect complete exited $?"
expect_line "$out" '^kind: 2 ' "completion record kind"
expect_line "$out" '^method: 1 ' "completion record method"
expect_line "$out" '^resume point: none' "completion record has no resume point"
out=$("$cli" inspect "$resume") || fail "inspect resume exited $?"
expect_line "$out" '^kind: 1 ' "resume record kind"
expect_line "$out" '^method: 2 ' "resume record method"
expect_line "$out" '^resume point: pass 1, chunk 120$' "resume point"
out=$("$cli" inspect "$zeros") || fail "inspect zeros exited $?"
expect_line "$out" '^kind: 0 ' "zeroed image"
expect_line "$out" '^method: none' "zeroed image method"

# A simulated drive by number and by letter.
out=$("$cli" inspect 2 --simulate "$top/demo/demo.machine") || fail "inspect 2 exited $?"
expect_line "$out" '^kind: 2 ' "simulated NVMe disk"
out=$("$cli" inspect G: --simulate "$top/demo/demo.machine") || fail "inspect G: exited $?"
expect_line "$out" '^kind: 1 ' "simulated USB volume"

# Bad arguments: exit code 2 and a message; a missing target: 1.
"$cli" >/dev/null 2>&1; [ $? -eq 2 ] || fail "no command should exit 2"
"$cli" frobnicate >/dev/null 2>&1; [ $? -eq 2 ] || fail "unknown command should exit 2"
"$cli" list --bogus >/dev/null 2>&1; [ $? -eq 2 ] || fail "unknown option should exit 2"
"$cli" inspect >/dev/null 2>&1; [ $? -eq 2 ] || fail "inspect without target should exit 2"
"$cli" list --simulate >/dev/null 2>&1; [ $? -eq 2 ] || fail "--simulate without file should exit 2"
err=$("$cli" inspect "$work/missing.img" 2>&1 >/dev/null); [ $? -eq 1 ] || fail "missing image should exit 1"
grep -q "missing.img" <<<"$err" || fail "missing image message names the file: $err"
err=$("$cli" list --simulate "$work/missing.machine" 2>&1 >/dev/null); [ $? -eq 1 ] || fail "missing machine should exit 1"
"$cli" --help | grep -q '^usage: plexiscrub-cli' || fail "--help prints the usage"

# inspect says the size an erase writes, not the geometry's cylinder
# product: a 4096-byte-sector stick of 2503 sectors, a 20011-sector disk.
cat >"$work/odd.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
disk 0 size=1G bus=sata product="System"
volume C: disk=0 offset=1M length=500M
disk 1 sectors=2503 sector-size=4096 bus=usb product="Stick" serial="K1"
disk 2 sectors=20011 bus=sata product="Odd" serial="K2"
disk 3 sectors=20000 bus=sata product="Hides" serial="K3" hpa=1000 dco=24
MACHINE
out=$("$cli" inspect 1 --simulate "$work/odd.machine") || fail "inspect 1 exited $?"
expect_line "$out" '^sectors: 2503 \(9\.78MB\)$' "inspect of a 4096-byte-sector stick"
out=$("$cli" inspect 2 --simulate "$work/odd.machine") || fail "inspect 2 exited $?"
expect_line "$out" '^sectors: 20011 ' "inspect of a 20011-sector disk"
expect_line "$out" '^hidden: unknown \(the drive did not answer\)$' "a drive without the commands"
# The sectors a drive hides, and the kinds of drive that are not asked.
out=$("$cli" inspect 3 --simulate "$work/odd.machine") || fail "inspect 3 exited $?"
expect_line "$out" '^sectors: 20000 ' "the host-visible size of a disk that hides sectors"
expect_line "$out" '^hidden: 1024 sectors \(host protected area 1000, device configuration overlay 24\)$' "hidden sectors"
expect_line "$out" 'DCO maximum sectors: 21024$' "the overlay's maximum"
out=$("$cli" inspect 2 --simulate "$top/demo/demo.machine") || fail "inspect 2 exited $?"
expect_line "$out" '^hidden: not asked \(not an ATA drive\)$' "an NVMe disk is not asked"
out=$("$cli" inspect G: --simulate "$top/demo/demo.machine") || fail "inspect G: exited $?"
expect_line "$out" '^hidden: not asked \(a volume\)$' "a volume is not asked"

# One language a run: the locale's. The English run writes no Japanese
# (the erase's questions, confirmation and pass lines included); the
# Japanese run's tables, questions, answers and results are Japanese.
cat >"$work/lang.machine" <<'MACHINE'
disk 0 size=1G bus=sata product="System"
volume C: disk=0
disk 1 sectors=8192 bus=usb product="Stick" serial="S1" removable=yes
volume G: disk=1 offset=0 type=removable
disk 2 sectors=20000 bus=sata product="Hides" serial="K3" hpa=1000 dco=24
MACHINE
run_in() {  # run_in LANG: list, inspect, one erase and a set of two, all output
  local lang=$1 machine="$work/lang-$1.machine"
  cp "$work/lang.machine" "$machine"
  for args in "list" "inspect 2" "erase 1 --yes --verify" "erase 1 2 --yes" "erase 0 --yes"; do
    # shellcheck disable=SC2086
    LANG=$lang LC_ALL= LC_MESSAGES= "$cli" $args --simulate "$machine" 2>&1 | tr '\r' '\n'
  done
}
english=$(run_in C)
japanese_line=$(LC_ALL=C.UTF-8 grep -nP '[\x{3000}-\x{30ff}\x{4e00}-\x{9fff}\x{ff00}-\x{ffef}]' <<<"$english" | head -3)
[ -z "$japanese_line" ] || fail "the English run writes Japanese: $japanese_line"
expect_line "$english" '^model \| type \| letters \| size \| method' "the English list header"
expect_line "$english" 'Erase everything on this drive\? → yes$' "the English question and answer"
expect_line "$english" '^pass 1 / 1  100%' "the English pass line"
expect_line "$english" '^target \| model \| serial \| size \| method \| verify$' "the English table of a set"
expect_line "$english" 'holds the system drive and is never erased$' "the English refusal"
japanese=$(LANG=ja_JP.UTF-8 run_in ja_JP.UTF-8)
expect_line "$japanese" '^製品名 \| タイプ \| ドライブ文字 \| 容量 \| 消去方式' "the Japanese list header"
expect_line "$japanese" '^対象: .*PHYSICALDRIVE2$' "the Japanese inspect"
expect_line "$japanese" '^隠し領域: 1024 セクタ' "the Japanese hidden area"
expect_line "$japanese" 'このドライブの内容を全て消去しますか？ → はい$' "the Japanese question and answer"
expect_line "$japanese" '現在の工程 1 / 1  100%' "the Japanese pass line"
expect_line "$japanese" '^結果: 2 \(消去完了。完了の記録を保存しました\)$' "the Japanese result"
expect_line "$japanese" '^対象 \| 製品名 \| シリアル番号 \| 容量 \| 消去方式 \| 照合$' "the Japanese table of a set"
expect_line "$japanese" '^ドライブ \| シリアル番号 \| 消去方式 \| 結果 \| 時間 \| 速度$' "the Japanese summary"
expect_line "$japanese" 'はシステムのドライブがあるため、消去しません$' "the Japanese refusal"
grep -qE '^(model|target|result|pass|drives to erase|summary):? ' <<<"$japanese" && fail "the Japanese run writes English lines"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
