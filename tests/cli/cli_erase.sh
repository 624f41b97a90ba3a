#!/usr/bin/env bash
# plexiscrub-cli erase end to end: image files overwritten completely with
# the record in the first sector, the "del" confirmation, resuming on a
# simulated drive, and a verification failure reported as one.
set -u
cli=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Bytes of FILE after the first sector that are not zero.
nonzero_after_first_sector() { tail -c +513 "$1" | tr -d '\0' | wc -c; }

img="$work/disk.img"
head -c 8M /dev/urandom >"$img"
out=$("$cli" erase "$img" --method 2 --verify --yes 2>/dev/null) || fail "erase exited $?"
grep -q '^result: 2 ' <<<"$out" || fail "method 2 with verification: $out"
[ "$(nonzero_after_first_sector "$img")" -eq 0 ] || fail "data left after a method 2 erase"
"$cli" inspect "$img" | grep -q '^method: 2 ' || fail "the record names method 2"
[ "$(stat -c %s "$img")" -eq $((8 << 20)) ] || fail "the image changed size"

head -c 4M /dev/urandom >"$img"
out=$("$cli" erase "$img" --no-history --yes 2>/dev/null) || fail "erase --no-history exited $?"
grep -q '^result: 0 ' <<<"$out" || fail "no history: $out"
[ "$(tr -d '\0' <"$img" | wc -c)" -eq 0 ] || fail "the whole image, first sector included, should be zero"

# Asked on the terminal: "del" starts it (any letter case), anything else does not.
head -c 1M /dev/urandom >"$img"
printf 'y\nwipe\n' | "$cli" erase "$img" >"$work/out" 2>/dev/null
grep -q '^result: -1 ' "$work/out" || fail "a wrong word must not erase"
[ "$(nonzero_after_first_sector "$img")" -gt 0 ] || fail "the image was erased without del"
printf 'y\nDEL\n' | "$cli" erase "$img" >"$work/out" 2>/dev/null
grep -q '^result: 2 ' "$work/out" || fail "DEL should start the erase: $(cat "$work/out")"
printf 'n\n' | "$cli" erase "$img" >"$work/out" 2>/dev/null
grep -q '^result: -1 ' "$work/out" || fail "no at the first question erases nothing"

# Two erases of one image at once: while the first waits for its "del",
# the second is refused before it writes a byte (exit 4); the first then
# erases the image.
head -c 2M /dev/urandom >"$img"
mkfifo "$work/answers"
"$cli" erase "$img" <"$work/answers" >"$work/first.out" 2>"$work/first.err" &
first=$!
exec 3>"$work/answers"
printf 'y\n' >&3
for _ in $(seq 200); do grep -q 'Type del' "$work/first.err" && break; sleep 0.05; done
before=$(md5sum <"$img")
"$cli" erase "$img" --yes </dev/null >"$work/out" 2>"$work/err"
code=$?
[ $code -eq 4 ] || fail "a second erase of an image being erased: exit $code, not 4"
grep -q 'Another erase is running' "$work/err" || fail "the second erase says another is running: $(cat "$work/err")"
[ "$before" = "$(md5sum <"$img")" ] || fail "the second erase wrote to the image"
printf 'del\n' >&3
exec 3>&-
wait $first || fail "the first erase exited $?"
grep -q '^result: 2 ' "$work/first.out" || fail "the first erase: $(cat "$work/first.out")"
[ "$(nonzero_after_first_sector "$img")" -eq 0 ] || fail "the first erase left data behind"

# A simulated stick with a resume record: continued in the second pass.
cat >"$work/stick.machine" <<'MACHINE'
disk 0 size=1G bus=sata product="System"
volume C: disk=0
disk 3 sectors=61440 bus=usb product="Stick" removable=yes
volume G: disk=3 offset=0 type=removable
record volume=G: kind=resume chunk=7 method=2 pass=1
disk 4 image=forgetful.img bus=sata product="Forgetful"
fault disk=4 op=drop-write sector=100
MACHINE
head -c 30M /dev/urandom >"$work/forgetful.img"
out=$("$cli" erase G: --resume --yes --simulate "$work/stick.machine" 2>"$work/err")
grep -q '^result: 2 ' <<<"$out" || fail "resumed erase: $out"
grep -q '(resumed erase)' <<<"$out" || fail "the confirmation names a resumed erase"
grep -q 'pass 2 / 3' "$work/err" || fail "the resumed erase starts in pass 2 of 3"
# Not read back whole in this run: said before it starts, and in its result.
grep -q 'resuming without --verify.*not count as Clear' "$work/err" || fail "no warning before an unverified resume"
grep -q '^result: 2 (.*was not read back, so the erase is not Clear)$' <<<"$out" || fail "unchecked resume: $out"
grep -q '"category": "none"' "$work/stick.files/reports/"*.json || fail "an unchecked resume's report is not Clear"
out=$("$cli" erase --drive G: --no-resume --method 0 --yes --simulate "$work/stick.machine" 2>"$work/err")
grep -q 'pass 1 / 1' "$work/err" || fail "declining the resume starts afresh"

# The drive drops a write: verification says so and nothing is recorded.
"$cli" erase 4 --verify --yes --simulate "$work/stick.machine" >"$work/out" 2>"$work/err"
[ $? -eq 1 ] || fail "a failed verification exits 1"
grep -q 'The read-back found sectors that were not erased.' "$work/err" || fail "verification failure text: $(cat "$work/err")"

# The worn disk of the failing machine: the erase goes around the sector no
# write reaches and the one no read does, lists both, and is neither
# completed nor Clear (exit 8, no completion record).
cp "$src/tests/data/failing.machine" "$work/failing.machine"
"$cli" erase 1 --verify --yes --report "$work/worn" --simulate "$work/failing.machine" >"$work/out" 2>"$work/err"
code=$?
[ $code -eq 8 ] || fail "an erase with exceptions exits 8, not $code: $(cat "$work/out" "$work/err")"
grep -q '^result: -1 (erased with exceptions' "$work/out" || fail "exceptions: $(cat "$work/out")"
grep -q 'not written: 1 from sector 3500000 (error 23)' "$work/err" || fail "the unwritten range: $(cat "$work/err")"
grep -q 'not read back: 1 from sector 1000000 (error 23)' "$work/err" || fail "the unreadable range: $(cat "$work/err")"
grep -q '"outcome": "erased_with_exceptions"' "$work/worn/"*.json || fail "the report's outcome"
grep -q '"category": "none"' "$work/worn/"*.json || fail "an erase with exceptions is not Clear"
grep -q '"first_sector_record": "none"' "$work/worn/"*.json || fail "no completion record after exceptions"

# Ctrl+C interrupts; with no terminal to ask, the resume record is saved.
cat >"$work/big.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
disk 0 size=64G bus=sata product="System"
volume C: disk=0 offset=1M length=10G
disk 1 size=64G bus=sata product="Big"
MACHINE
# An erase of the big drive sent SIGNAL half a second in (more options
# after it); its exit code.
signalled_erase() {
  "$cli" erase 1 --yes --simulate "$work/big.machine" "${@:2}" >"$work/out" 2>/dev/null &
  local pid=$!
  sleep 0.5
  kill -"$1" $pid
  wait $pid
}
signalled_erase INT
code=$?
[ $code -eq 3 ] || fail "an interrupted erase exits 3, not $code"
grep -q '^result: 1 ' "$work/out" || fail "interrupted: $(cat "$work/out")"

# The terminal closing (a hang-up) stops the erase the same way: it ends
# with its resume record and its report instead of being killed.
signalled_erase HUP --report "$work/hangup"
code=$?
[ $code -eq 3 ] || fail "an erase whose terminal hung up exits 3, not $code"
grep -q '^result: 1 ' "$work/out" || fail "hung up: $(cat "$work/out")"
ls "$work/hangup/"*.json >/dev/null 2>&1 || fail "no report after the hang-up"

# Ctrl+C during the read-back: every pass is written and recorded, but the
# erase is not a verified one: its own exit code and result line.
cat >"$work/verify.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
disk 0 size=64G bus=sata product="System"
volume C: disk=0 offset=1M length=10G
disk 1 size=4G bus=sata product="Big"
MACHINE
rm -f "$work/err"  # what is polled below must be this run's, not an earlier one's
"$cli" erase 1 --verify --yes --simulate "$work/verify.machine" >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 1 600); do grep -q 'Writing done  [1-9]' "$work/err" 2>/dev/null && break; sleep 0.05; done
kill -INT $pid
wait $pid
code=$?
[ $code -eq 6 ] || fail "a read-back stopped by Ctrl+C exits 6, not $code: $(cat "$work/out")"
grep -Eq '^result: 2 \(every pass written; the read-back was stopped at [0-9]+%\)$' "$work/out" ||
  fail "read-back stopped: $(cat "$work/out")"

# Interrupted after writing, and the resume record cannot be written: the
# drive is partly overwritten, which has its own exit code.
cat >"$work/norecord.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
disk 0 size=1G bus=sata product="System"
volume C: disk=0 offset=1M
disk 2 size=64G bus=sata product="NoRecord"
record disk=2 kind=resume chunk=7 method=0 pass=0
fault disk=2 op=write sector=0 error=29
MACHINE
"$cli" erase 2 --resume --yes --simulate "$work/norecord.machine" >"$work/out" 2>"$work/err" &
pid=$!
sleep 0.5
kill -INT $pid
wait $pid
code=$?
[ $code -eq 5 ] || fail "an interruption without a resume record exits 5, not $code: $(cat "$work/out" "$work/err")"
grep -q 'partly overwritten' "$work/out" || fail "partly overwritten: $(cat "$work/out")"

# An image whose length is not a whole number of sectors: every byte,
# the part sector at its end too.
head -c $((3 * 1024 * 1024 + 300)) /dev/urandom >"$work/odd.img"
"$cli" erase "$work/odd.img" --verify --no-history --yes >"$work/out" 2>"$work/err" || fail "odd image: $(cat "$work/err")"
[ "$(stat -c %s "$work/odd.img")" -eq $((3 * 1024 * 1024 + 300)) ] || fail "the image changed its length"
[ -z "$(tr -d '\000' <"$work/odd.img" | head -c 1)" ] || fail "bytes of the odd image were left"

# The system drive is refused before anything happens.
"$cli" erase 0 --yes --simulate "$work/big.machine" >/dev/null 2>"$work/err"
[ $? -eq 4 ] || fail "the system drive exits 4"
grep -Eq 'system drive|holds the system' "$work/err" || fail "system drive message: $(cat "$work/err")"
"$cli" erase C: --yes --simulate "$work/big.machine" >/dev/null 2>&1
[ $? -eq 4 ] || fail "the system volume exits 4"
# However it is named.
for name in '\\.\physicaldrive0' '\\?\PhysicalDrive0' '\\.\c:' '\\?\Volume{5eed0000-0000-0000-0000-000000000001}'; do
  "$cli" erase "$name" --yes --simulate "$work/big.machine" >/dev/null 2>"$work/err"
  [ $? -eq 4 ] || fail "the system drive named $name exits 4"
  [ "$(head -c 512 "$work/err" | wc -c)" -gt 0 ] || fail "no reason for refusing $name"
done

# Bad arguments.
"$cli" erase "$img" --method 4 >/dev/null 2>&1; [ $? -eq 2 ] || fail "--method 4 exits 2"
printf 'n\n' | "$cli" erase "$img" >/dev/null 2>&1; [ $? -eq 4 ] || fail "a declined erase exits 4"
"$cli" erase >/dev/null 2>&1; [ $? -eq 2 ] || fail "erase without target exits 2"
"$cli" list --yes >/dev/null 2>&1; [ $? -eq 2 ] || fail "--yes outside erase exits 2"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
