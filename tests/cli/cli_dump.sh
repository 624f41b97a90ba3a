#!/usr/bin/env bash
# plexiscrub-cli dump, end to end: the dump lines of image files and
# simulated drives (large sectors, a drive of more than 2^32 sectors), read
# failures, refused arguments, and that the target is never written.
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
header='   Address     00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F   0123456789ABCDEF'

# An image with text at the start of its second sector.
image="$work/disk.img"
truncate -s 64K "$image"
printf 'Hello, sector one\001\377' | dd of="$image" bs=512 seek=1 conv=notrunc status=none
before=$(sha256sum <"$image")

out=$("$cli" dump "$image" 1) || fail "dump of an image exited $?"
[ "$(sed -n 1p <<<"$out")" = "$header" ] || fail "the first line is the header: $(sed -n 1p <<<"$out")"
[ "$(wc -l <<<"$out")" -eq 33 ] || fail "one sector gives the header and 32 lines, got $(wc -l <<<"$out")"
[ "$(sed -n 2p <<<"$out")" = " 000000000200  48 65 6C 6C 6F 2C 20 73 65 63 74 6F 72 20 6F 6E   Hello, sector on" ] ||
  fail "first dump line: $(sed -n 2p <<<"$out")"
expect_line "$out" '^ 000000000210  65 01 FF 00 .*   e\.\.\.\.\.\.\.\.\.\.\.\.\.\.\.$' "control and high bytes as dots"
expect_line "$out" '^ 0000000003F0  ' "the last line of the page"
awk 'length($0) != 81 { bad = 1 } END { exit bad }' <<<"$out" || fail "every line is 81 characters"

# Several sectors: a blank line between them, none at the end.
out=$("$cli" dump "$image" 0 --count 3) || fail "dump --count 3 exited $?"
[ "$(wc -l <<<"$out")" -eq $((3 * 33 + 2)) ] || fail "three sectors take 101 lines, got $(wc -l <<<"$out")"
[ "$(grep -c "^$header\$" <<<"$out")" -eq 3 ] || fail "a header for each sector"
[ -z "$(sed -n 34p <<<"$out")" ] || fail "a blank line after the first sector"
expect_line "$out" '^ 000000000400  ' "the third sector's address"
[ "$(sha256sum <"$image")" = "$before" ] || fail "the image was changed"

# Simulated drives: 4096-byte sectors, and the last sector beyond 2^32.
machine="$top/demo/demo.machine"
out=$("$cli" dump 4 3 --simulate "$machine") || fail "dump of the 4096-byte disk exited $?"
expect_line "$out" '^ 000000003000  ' "4096-byte sector 3 starts at 0x3000"
expect_line "$out" '^ 0000000031F0  ' "and shows its first 512 bytes"
grep -q '^ 000000003200  ' <<<"$out" && fail "more than 512 bytes of a large sector"
out=$("$cli" dump 5 5860533167 --simulate "$machine") || fail "dump of the last sector of the 3 TB disk exited $?"
expect_line "$out" "^ $(printf '%012X' $((5860533167 * 512)))  " "the last sector at its true offset"
out=$("$cli" dump G: 0 --simulate "$machine") || fail "dump of a volume exited $?"
expect_line "$out" '^ 000000000000  70 6C 65 78 69 20 73 63 72 75 62 00 ' "the resume record at the volume's start"

# A loop device over a copy of the image, attached read-only and detached
# again; skipped where loop devices cannot be made.
if [ "$(id -u)" -eq 0 ] && command -v losetup >/dev/null; then
  cp "$image" "$work/loop.img"
  loop=$(losetup --find --show --read-only "$work/loop.img" 2>/dev/null) || loop=""
  if [ -n "$loop" ]; then
    out=$("$cli" dump "$loop" 1) || fail "dump of a loop device exited $?"
    expect_line "$out" '^ 000000000200  48 65 6C 6C 6F ' "the loop device's second sector"
    losetup -d "$loop"
  fi
fi

# A sector that cannot be read: reported, dumped as zeros, exit 1.
cat >"$work/bad.machine" <<'MACHINE'
disk 0 sectors=100
fault disk=0 op=read sector=5 error=23
MACHINE
out=$("$cli" dump 0 4 --count 2 --simulate "$work/bad.machine" 2>"$work/err"); rc=$?
[ $rc -eq 1 ] || fail "an unreadable sector should exit 1, got $rc"
[ "$(grep -c "^$header\$" <<<"$out")" -eq 2 ] || fail "both sectors are dumped"
expect_line "$out" '^ 000000000A00  00 00 ' "the unreadable sector as zeros"
[ -s "$work/err" ] || fail "the read error is reported"

# Refusals: bad numbers exit 2, a sector beyond the end exits 1.
expect_refusal() {  # expect_refusal CODE DESCRIPTION ARGS...
  local code=$1 what=$2
  shift 2
  err=$("$cli" "$@" 2>&1 >/dev/null); rc=$?
  [ $rc -eq "$code" ] || fail "$what should exit $code, got $rc"
  [ -n "$err" ] || fail "$what gives no message"
}
expect_refusal 2 "a sector with junk" dump "$image" 12x
expect_refusal 2 "a negative sector" dump "$image" -1
expect_refusal 2 "a sector beyond 64 bits" dump "$image" 18446744073709551616
expect_refusal 2 "a missing sector" dump "$image"
expect_refusal 2 "--count 0" dump "$image" 0 --count 0
expect_refusal 2 "--count with junk" dump "$image" 0 --count 2x
expect_refusal 2 "--count for another command" inspect "$image" --count 2
expect_refusal 1 "the sector after the last" dump "$image" 128
expect_refusal 1 "a count past the end" dump "$image" 120 --count 9
expect_refusal 1 "a missing image" dump "$work/missing.img" 0
err=$("$cli" dump "$image" 128 2>&1 >/dev/null)
grep -q "127" <<<"$err" || fail "the refusal names the last sector: $err"
"$cli" dump "$image" 120 --count 8 >/dev/null || fail "a count up to the last sector is fine"
"$cli" --help | grep -q 'dump TARGET SECTOR \[--count N\]' || fail "--help names dump"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
