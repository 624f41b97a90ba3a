#!/usr/bin/env bash
# Several loop devices (created here and always detached) erased at once,
# and the names of one device refused as a set: the device and a symbolic
# link to it, a disk and its own partition. Skipped (exit 77) without root
# or loop devices.
set -u
cli=$1
[ "$(id -u)" -eq 0 ] || { echo "needs root"; exit 77; }
command -v losetup >/dev/null || { echo "no losetup"; exit 77; }
work=$(mktemp -d)
loops=()
cleanup() {
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
# The third image holds one partition (an MBR entry written by hand: type
# 0x83 from sector 2048, 16384 sectors), which the kernel finds on attach.
truncate -s 32M "$work/d1.img" "$work/d2.img" "$work/d3.img"
{
  head -c 446 /dev/zero
  printf '\x00\x00\x00\x00\x83\x00\x00\x00\x00\x08\x00\x00\x00\x40\x00\x00'
  head -c 48 /dev/zero
  printf '\x55\xaa'
} | dd of="$work/d3.img" conv=notrunc status=none
for n in 1 2 3; do
  loop=$(losetup --find --show --partscan "$work/d$n.img" 2>/dev/null) || { echo "no loop device"; exit 77; }
  loops+=("$loop")
done
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fill() { for loop in "$@"; do dd if=/dev/urandom of="$loop" bs=4M oflag=direct status=none 2>/dev/null; done; }
zero_after_record() { [ "$(tail -c +513 "$1" | tr -d '\0' | wc -c)" -eq 0 ]; }

fill "${loops[0]}" "${loops[1]}"
"$cli" erase "${loops[0]}" "${loops[1]}" --verify --yes </dev/null >"$work/out" 2>"$work/err" ||
  fail "two loop devices exited $?: $(cat "$work/err")"
for loop in "${loops[0]}" "${loops[1]}"; do
  zero_after_record "$loop" || fail "$loop was not erased"
  "$cli" inspect "$loop" | grep -q '^kind: 2 ' || fail "$loop has no completion record"
done

# A device and a symbolic link to it: one drive, refused, nothing written.
fill "${loops[0]}"
ln -s "${loops[0]}" "$work/link"
before=$(md5sum <"${loops[0]}")
"$cli" erase "${loops[0]}" "$work/link" --yes </dev/null >"$work/out" 2>"$work/err"
[ $? -eq 4 ] || fail "a device named twice exits 4"
grep -q 'name the same drive' "$work/err" || fail "duplicate message: $(cat "$work/err")"
[ "$before" = "$(md5sum <"${loops[0]}")" ] || fail "a refused set wrote to ${loops[0]}"

# A disk and its own partition overlap.
disk=${loops[2]}
name=$(basename "$disk")
for _ in $(seq 20); do [ -e "/sys/block/$name/${name}p1/dev" ] && break; sleep 0.1; done
# Without udev the kernel has the partition but /dev lacks its node.
part=${disk}p1
if [ ! -b "$part" ] && [ -e "/sys/block/$name/${name}p1/dev" ]; then
  IFS=: read -r major minor <"/sys/block/$name/${name}p1/dev"
  part=$work/part1
  mknod "$part" b "$major" "$minor"
fi
if [ -b "$part" ]; then
  before=$(md5sum <"$disk")
  "$cli" erase "$part" "$disk" --yes </dev/null >"$work/out" 2>"$work/err"
  [ $? -eq 4 ] || fail "a disk with its partition exits 4"
  grep -q 'overlap' "$work/err" || fail "overlap message: $(cat "$work/err")"
  [ "$before" = "$(md5sum <"$disk")" ] || fail "a refused set wrote to $disk"
else
  echo "note: the kernel shows no partition of $disk; the overlap case was not run"
fi

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
