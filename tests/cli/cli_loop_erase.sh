#!/usr/bin/env bash
# A real erase on Linux: a loop device this test creates (and always
# detaches), erased with each method, verified, interrupted and resumed, and
# every byte checked, killed and resumed; the image itself refused while the loop device is
# attached to it. Skipped (exit 77) without root or loop devices.
set -u
cli=$1
[ "$(id -u)" -eq 0 ] || { echo "needs root"; exit 77; }
command -v losetup >/dev/null || { echo "no losetup"; exit 77; }
work=$(mktemp -d)
loop=""
cleanup() {
  if [ -n "$loop" ]; then losetup -d "$loop" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
fallocate -l 256M "$work/disk.img" 2>/dev/null || truncate -s 256M "$work/disk.img"
loop=$(losetup --find --show "$work/disk.img" 2>/dev/null) || { echo "no loop device"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fill() { dd if=/dev/urandom of="$loop" bs=4M oflag=direct status=none 2>/dev/null; }
zero_after_record() { [ "$(tail -c +513 "$loop" | tr -d '\0' | wc -c)" -eq 0 ]; }

for method in 0 1 2; do
  fill
  out=$("$cli" erase "$loop" --method $method --verify --yes </dev/null 2>/dev/null)
  grep -q '^result: 2 ' <<<"$out" || fail "method $method: $out"
  zero_after_record || fail "method $method left data behind"
  "$cli" inspect "$loop" | grep -q "^method: $method " || fail "method $method: record"
done

# Interrupted (Ctrl+C) in the first of three passes; no terminal, so the
# resume record is saved without a question. Then resumed to the end.
fill
"$cli" erase "$loop" --method 2 --yes </dev/null >"$work/out" 2>/dev/null &
pid=$!
sleep 0.15
kill -INT $pid
wait $pid
code=$?
if [ $code -eq 3 ]; then
  "$cli" inspect "$loop" | grep -q '^kind: 1 ' || fail "no resume record after the interrupt"
  out=$("$cli" erase "$loop" --resume --verify --yes </dev/null 2>/dev/null)
  grep -q '^result: 2 ' <<<"$out" || fail "resumed erase: $out"
  zero_after_record || fail "the resumed erase left data behind"
  "$cli" inspect "$loop" | grep -q '^method: 2 ' || fail "the resumed erase records method 2"
elif [ $code -eq 0 ]; then
  echo "note: the erase ended before the interrupt arrived"
else
  fail "the interrupted erase exited $code"
fi

# Killed (kill -9, as a crash or a power cut ends it) once the second pass
# has begun: the checkpoint that starts each pass is on the drive, and the
# next erase continues from it, says the erase before ended unexpectedly,
# and leaves nothing behind.
fill
"$cli" erase "$loop" --method 2 --yes --report "$work/killed" </dev/null >"$work/out" 2>/dev/null &
pid=$!
seen=false
for _ in $(seq 1 2000); do
  if dd if="$loop" bs=512 count=1 iflag=direct status=none 2>/dev/null | grep -qa 'plexi scrub'; then
    seen=true
    break
  fi
  sleep 0.01
done
kill -KILL $pid 2>/dev/null
wait $pid 2>/dev/null
code=$?
if $seen && [ $code -eq 137 ]; then
  "$cli" inspect "$loop" | grep -q '^resume point: pass [12], .*a checkpoint' ||
    fail "no checkpoint after kill -9: $("$cli" inspect "$loop")"
  out=$("$cli" erase "$loop" --resume --verify --yes --report "$work/killed" </dev/null 2>"$work/err")
  grep -q '^result: 2 ' <<<"$out" || fail "erase resumed after kill -9: $out"
  grep -q '"earlier_run_ended_unexpectedly": true' "$work/killed/"*.json || fail "the report after kill -9"
  zero_after_record || fail "the erase resumed after kill -9 left data behind"
else
  echo "note: the erase ended before it could be killed (exit $code)"
fi

# The image itself, while the loop device is attached to it: refused as a
# device in use, naming the loop device, and not one byte changed.
fill
before=$(md5sum <"$work/disk.img")
"$cli" erase "$work/disk.img" --yes </dev/null >"$work/out" 2>"$work/err"
code=$?
[ $code -eq 4 ] || fail "the image of an attached loop device: exit $code, not 4"
grep -q "in use by loop device $loop" "$work/err" || fail "the refusal names $loop: $(cat "$work/err")"
[ "$before" = "$(md5sum <"$work/disk.img")" ] || fail "the image of an attached loop device was written"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
