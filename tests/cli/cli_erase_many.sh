#!/usr/bin/env bash
# plexiscrub-cli erase with several targets on a simulated machine whose
# disks are image files: all erased at once, a set with one drive that may
# not be erased (or one drive named twice) refused with nothing written,
# Ctrl+C leaving a resume record on every drive, and the exit code of a set
# whose drives end differently.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

nonzero_after_first_sector() { tail -c +513 "$1" | tr -d '\0' | wc -c; }
fill() { for n in "$@"; do head -c "${size:-8M}" /dev/urandom >"$work/d$n.img"; done; }
sums() { md5sum "$work"/d*.img; }
writes() { cat "$work/m.machine.trace" 2>/dev/null | awk '/^write /{n++} END{print n+0}'; }

# Disks 3 and 4 report no serial number: their reports share a name stem.
cat >"$work/m.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
disk 0 size=1G bus=sata product="System" serial="SYS"
volume C: disk=0 offset=1M length=500M
disk 1 image=d1.img bus=sata product="One" serial="S1"
disk 2 image=d2.img bus=usb product="Two" serial="S2" removable=yes
volume F: disk=2 offset=1M length=4M
disk 3 image=d3.img bus=sata product="Three"
disk 4 image=d4.img bus=sata product="Four"
disk 5 image=d5.img bus=sata product="Five" serial="S5"
fault disk=5 op=drop-write sector=100
trace writes
MACHINE
run() { "$cli" erase "$@" --simulate "$work/m.machine" </dev/null >"$work/out" 2>"$work/err"; }

# Two and three drives at once: every byte after the record zero, each
# with its completion record, its progress lines and its own report.
fill 1 2 3 4 5
run 1 2 --yes || fail "two drives exited $?: $(cat "$work/err")"
run 1 3 4 --method 1 --yes --asset A-1 --asset A-3 --asset A-4 || fail "three drives exited $?: $(cat "$work/err")"
for n in 1 2 3 4; do
  [ "$(nonzero_after_first_sector "$work/d$n.img")" -eq 0 ] || fail "disk $n was not erased"
  "$cli" inspect $n --simulate "$work/m.machine" | grep -q '^kind: 2 ' || fail "disk $n has no completion record"
done
"$cli" inspect 3 --simulate "$work/m.machine" | grep -q '^method: 1 ' || fail "disk 3 records method 1"
for n in 1 3 4; do
  grep -Eq "^$n \| [^|]* \| 1 \| erased; completion record saved \| [0-9.]+ s \| [0-9.]+ MB/s$" "$work/out" ||
    fail "summary row of disk $n: $(cat "$work/out")"
  # Not a terminal: plain lines, the last at 100 %.
  grep -q "^\[$n\] pass 2 / 2  100%$" "$work/err" || fail "progress lines of disk $n: $(cat "$work/err")"
done
grep -q '^target | model | serial | size | method | verify$' "$work/out" || fail "no table before the erase"
grep -q '^3 | Three | - | 8MB | 1 | no$' "$work/out" || fail "table row of disk 3: $(cat "$work/out")"
[ "$(grep -c '^report data: ' "$work/out")" -eq 3 ] || fail "one report per drive: $(cat "$work/out")"
[ "$(ls "$work/m.files/reports/"*no-serial*.json | wc -l)" -eq 2 ] || fail "two drives without serial, two reports"
# Each drive's certificate carries its own asset number, whichever worker
# finished first.
for n in 1 3 4; do
  grep -l "\"asset_number\": \"A-$n\"" "$work/m.files/reports/"*.json | xargs -r grep -lF "PHYSICALDRIVE$n\"" |
    grep -q . || fail "no report of disk $n with asset A-$n"
done

# One drive of the set may not be erased: the whole set is refused, and
# no byte reaches any disk. The protected drive gets its refusal report.
fill 1 2 3 4
"$cli" protect 2 --simulate "$work/m.machine" >/dev/null || fail "protect 2"
rm -f "$work/m.machine.trace" "$work/m.files/reports/"*
before=$(sums)
run 1 2 3 --yes
[ $? -eq 4 ] || fail "a set with a protected drive exits 4"
grep -q 'nothing was written to any drive' "$work/err" || fail "refusal message: $(cat "$work/err")"
grep -q '2 is protected' "$work/err" || fail "the protected drive is named: $(cat "$work/err")"
[ "$(ls "$work/m.files/reports/"*.json 2>/dev/null | wc -l)" -eq 1 ] || fail "one refusal report"
"$cli" allow 2 --simulate "$work/m.machine" >/dev/null || fail "allow 2"
# The system drive, the same drive named twice (any spelling), a disk
# with one of its volumes, a drive that is not there.
for set in "1 0" "1 \\\\.\\physicaldrive1" "3 \\\\.\\PHYSICALDRIVE3" "2 F:" "1 9"; do
  # shellcheck disable=SC2086
  run $set --yes
  [ $? -eq 4 ] || fail "the set '$set' exits 4"
  grep -q 'nothing was written to any drive' "$work/err" || fail "set '$set': $(cat "$work/err")"
  case $set in
    *PHYSICAL* | *physical* | *F:) grep -q 'name the same drive or overlap' "$work/err" || fail "set '$set' names the pair" ;;
  esac
done
[ "$(writes)" -eq 0 ] || fail "a refused set wrote: $(cat "$work/m.machine.trace")"
[ "$before" = "$(sums)" ] || fail "a refused set changed an image"
# Not confirmed: nothing written either.
printf 'nope\n' | "$cli" erase 1 3 --simulate "$work/m.machine" >"$work/out" 2>"$work/err"
[ $? -eq 4 ] || fail "a set without del exits 4"
[ "$(writes)" -eq 0 ] && [ "$before" = "$(sums)" ] || fail "a set without del wrote"

# Exit code: the most serious outcome. Disk 5 drops a write, so its
# verification fails while disk 1 completes.
fill 1 5
run 1 5 --verify --yes
[ $? -eq 1 ] || fail "completed + failed exits 1"
grep -q '^5 | S5 | 0 | failed' "$work/out" || fail "summary of the failed drive: $(cat "$work/out")"
grep -q '^1 | S1 | 0 | erased; completion record saved' "$work/out" || fail "disk 1 still completes"

# Ctrl+C interrupts every drive; each keeps its resume record, and a later
# erase of one drive resumes where it stopped.
cat >"$work/slow.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
disk 0 size=1G bus=sata product="System" serial="SYS"
volume C: disk=0 offset=1M length=500M
disk 1 image=d1.img bus=sata product="One" serial="S1" write-delay=50
disk 2 image=d2.img bus=sata product="Two" serial="S2" write-delay=50
disk 3 image=d3.img bus=sata product="Three" serial="S3" write-delay=50
MACHINE
size=64M fill 1 2 3
rm -f "$work/err"  # what is polled below must be this run's
"$cli" erase 1 2 3 --method 2 --yes --simulate "$work/slow.machine" </dev/null >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 100); do
  [ "$(grep -c 'pass [0-9]' "$work/err" 2>/dev/null)" -ge 3 ] && break
  sleep 0.05
done
kill -INT $pid
wait $pid
code=$?
[ $code -eq 3 ] || fail "an interrupted set exits 3, not $code: $(cat "$work/err")"
for n in 1 2 3; do
  grep -q "^$n | S$n | 2 | interrupted; resume record saved" "$work/out" || fail "summary of $n: $(cat "$work/out")"
  "$cli" inspect $n --simulate "$work/slow.machine" | grep -q '^kind: 1 ' || fail "disk $n has no resume record"
done
out=$("$cli" erase 2 --resume --yes --simulate "$work/slow.machine" 2>/dev/null </dev/null)
grep -q '(resumed erase)' <<<"$out" || fail "the single erase resumes: $out"
grep -q '^result: 2 ' <<<"$out" || fail "the resumed erase completes: $out"
[ "$(nonzero_after_first_sector "$work/d2.img")" -eq 0 ] || fail "the resumed erase left data"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
