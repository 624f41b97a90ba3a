#!/usr/bin/env bash
# `list` on Linux: the machine's own disks (only read), and with --loop a
# loop device this test creates (and always detaches): its row, the record
# an erase leaves in its first sector, and "not" with the reason while a
# file system on it is mounted or the protection list holds it. Skipped
# (exit 77) without root or loop devices.
set -u
cli=$1
[ "$(uname -s)" = Linux ] || { echo "Linux only"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
header='model | type | letters | size | method | number | record | not | identity'

out=$("$cli" list 2>/dev/null) || fail "list exited $?"
[ "$(head -n1 <<<"$out")" = "$header" ] || fail "heading: $out"
grep -q '/dev/loop' <<<"$out" && fail "loop devices without --loop: $out"
root_disk=$(findmnt -n -o SOURCE / 2>/dev/null)
if [ -b "$root_disk" ]; then
  disk=/dev/$(lsblk -n -d -o PKNAME "$root_disk" 2>/dev/null)
  [ "$disk" = /dev/ ] && disk=$root_disk
  grep -q " | $disk | .* | not (system disk" <<<"$out" || fail "the system disk $disk is not marked: $out"
fi

[ "$(id -u)" -eq 0 ] || { echo "needs root for the loop part"; [ $failures -eq 0 ]; exit $?; }
command -v losetup >/dev/null || exit 77
work=$(mktemp -d)
loop=""
cleanup() {
  mountpoint -q "$work/mnt" 2>/dev/null && umount "$work/mnt"
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
truncate -s 16M "$work/disk.img"
loop=$(losetup --find --show "$work/disk.img" 2>/dev/null) || { echo "no loop device"; exit 77; }
row() { "$cli" list --loop 2>/dev/null | grep " | $loop | "; }

line=$(row) || fail "no row for $loop"
[[ "$line" == "Loop device | loop | ― | 16MB |  | $loop | 0 |  | "* ]] || fail "fresh loop row: $line"

"$cli" erase "$loop" --method 1 --yes </dev/null >/dev/null 2>&1 || fail "erase failed"
line=$(row)
[[ "$line" == "Loop device | loop | ― | 16MB | 0xFF,zeros | $loop | 2 |  | "* ]] || fail "erased loop row: $line"

"$cli" protect "$loop" >/dev/null 2>&1 || fail "protect failed"
line=$(row)
[[ "$line" == *" | 2 | not ("*")"* ]] || fail "protected loop row: $line"
"$cli" allow "$loop" >/dev/null 2>&1 || fail "allow failed"

if command -v mkfs.ext2 >/dev/null && mkfs.ext2 -q -F "$loop" 2>/dev/null && mkdir -p "$work/mnt" &&
   mount "$loop" "$work/mnt" 2>/dev/null; then
  line=$(row)
  [[ "$line" == *" | not ($loop is mounted on $work/mnt) | "* ]] || fail "mounted loop row: $line"
  umount "$work/mnt"
fi

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
