#!/usr/bin/env bash
# plexiscrub-cli protect and allow: the mark in list, the answer inspect
# gives, where the list file lives, and the system drive refused. Runs on a
# copy of the demo machine so that the repository's files are never touched.
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

# H: is made smaller than its drive, so that its row's keys differ from the
# drive's in every form.
sed 's/^volume H: disk=4 offset=1M /&length=1T /' "$top/demo/demo.machine" >"$work/pc.machine"
machine="$work/pc.machine"
list="$work/pc.files/drvnotlist.txt"
# The host's list must not be read or written by the simulated runs.
export XDG_CONFIG_HOME="$work/config"

# Drive 1 (E:) starts erasable.
out=$("$cli" list --simulate "$machine") || fail "list exited $?"
expect_line "$out" '\| SATA \| E: \| .* \| 1 \| 0 \|  \|' "drive 1 erasable at first"

out=$("$cli" protect 1 --simulate "$machine" 2>"$work/err") || fail "protect 1 exited $?"
expect_line "$out" '^protected: 1 \(WDC WD10EZEX-08WN4A0, E:, 931\.51GB\)' "protect reports the drive"
[ -s "$work/err" ] && fail "protect printed errors: $(cat "$work/err")"
[ -f "$list" ] || fail "the list is made in the machine's .files folder"
grep -q $'^#DRIVE||WDC WD10EZEX-08WN4A0|WD-WCC6Y0KXJ4PN=SATA\r$' "$list" || fail "stable line: $(cat -A "$list")"
[ "$(wc -l <"$list")" -eq 2 ] || fail "identity line and stable line expected: $(cat "$list")"

out=$("$cli" list --simulate "$machine") || fail "list exited $?"
expect_line "$out" '\| SATA \| E: \| .* \| 1 \| 0 \| not \|' "drive 1 marked not after protect"
expect_line "$out" '\| NVMe \| F: \| .* \| 2 \| 2 \|  \|' "other drives stay erasable"
out=$("$cli" inspect 1 --simulate "$machine" 2>"$work/err") || fail "inspect 1 exited $?"
expect_line "$out" '^protected: yes$' "inspect sees the protection"
grep -q "allow 1" "$work/err" || fail "inspect tells how to lift it: $(cat "$work/err")"

# Protecting again changes nothing; --drive names the target too.
out=$("$cli" protect --drive 1 --simulate "$machine") || fail "protect again exited $?"
expect_line "$out" '^already protected: 1 ' "second protect"
[ "$(wc -l <"$list")" -eq 2 ] || fail "protecting twice adds no line"

# A firmware update changes the identity; the stable line still protects.
sed 's/revision="01.01A01"/revision="02.00A02"/' "$machine" >"$work/pc2.machine"
mkdir -p "$work/pc2.files" && cp "$list" "$work/pc2.files/"
out=$("$cli" list --simulate "$work/pc2.machine") || fail "list after update exited $?"
expect_line "$out" '\| SATA \| E: \| .* \| 1 \| 0 \| not \|' "protection survives a firmware update"

out=$("$cli" allow 1 --simulate "$machine") || fail "allow 1 exited $?"
expect_line "$out" '^allowed: 1 ' "allow reports the drive"
[ -s "$list" ] && fail "allowing leaves lines: $(cat "$list")"
out=$("$cli" list --simulate "$machine") || fail "list exited $?"
expect_line "$out" '\| SATA \| E: \| .* \| 1 \| 0 \|  \|' "drive 1 erasable after allow"
out=$("$cli" inspect 1 --simulate "$machine" 2>/dev/null)
expect_line "$out" '^protected: no$' "inspect after allow"
out=$("$cli" allow 1 --simulate "$machine") || fail "second allow exited $?"
expect_line "$out" '^was not protected: 1 ' "second allow"

# A partition's protection leaves the whole drive in the physical view alone.
"$cli" protect H: --simulate "$machine" >/dev/null || fail "protect H: failed"
out=$("$cli" list --partitions --simulate "$machine")
expect_line "$out" '\| USB \| H: \| .* \| 72 \| 0 \| not \|' "H: marked in the partition view"
out=$("$cli" list --simulate "$machine")
expect_line "$out" '\| USB \| H: \| .* \| 4 \| 0 \|  \|' "drive 4 erasable in the physical view"

# The system drive: refused both ways, by number and by letter; list unchanged.
before=$(cat "$list")
for target in 0 C: '\\.\PHYSICALDRIVE0'; do
  for verb in protect allow; do
    err=$("$cli" $verb "$target" --simulate "$machine" 2>&1 >/dev/null)
    rc=$?
    [ $rc -eq 4 ] || fail "$verb $target exited $rc, not 4"
    grep -q "system drive" <<<"$err" || fail "$verb $target message: $err"
  done
done
[ "$(cat "$list")" = "$before" ] || fail "refusals changed the list"

# Bad arguments.
"$cli" protect --simulate "$machine" >/dev/null 2>&1; [ $? -eq 2 ] || fail "protect without target should exit 2"
"$cli" allow 1 2 --simulate "$machine" >/dev/null 2>&1; [ $? -eq 2 ] || fail "allow with two targets should exit 2"
err=$("$cli" protect 9 --simulate "$machine" 2>&1 >/dev/null); [ $? -eq 1 ] || fail "protect of a missing drive should exit 1"
grep -q "PHYSICALDRIVE9" <<<"$err" || fail "missing drive message names it: $err"

# An image file on the host: keyed by its path, kept under XDG_CONFIG_HOME.
truncate -s 1M "$work/disk.img"
out=$("$cli" protect "$work/disk.img") || fail "protect image exited $?"
host_list="$XDG_CONFIG_HOME/plexiscrub/drvnotlist.txt"
grep -qF "|$work/disk.img=" "$host_list" 2>/dev/null || fail "image line in the host list: $(cat "$host_list" 2>&1)"
out=$("$cli" inspect "$work/./disk.img" 2>/dev/null) || fail "inspect image exited $?"
expect_line "$out" '^protected: yes$' "image protected under another spelling of its path"
"$cli" allow "$work/disk.img" >/dev/null || fail "allow image failed"
out=$("$cli" inspect "$work/disk.img" 2>/dev/null)
expect_line "$out" '^protected: no$' "image allowed"

# Protection covers every name of the same bytes: a protected disk refuses
# its volumes (by letter and by volume path), a protected volume its disk;
# the refusal names the protected row and nothing is written.
head -c 8M /dev/urandom >"$work/s1.img"
head -c 8M /dev/urandom >"$work/s2.img"
cat >"$work/s.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
disk 0 size=1G bus=sata product="System" serial="SYS"
volume C: disk=0 offset=1M length=500M
disk 1 image=s1.img bus=usb product="Stick" serial="P1"
volume E: disk=1 offset=1M length=4M
disk 2 image=s2.img bus=usb product="Other" serial="P2"
volume F: disk=2 offset=1M length=2M
volume G: disk=2 offset=4M length=3M
trace writes
MACHINE
sm="$work/s.machine"
sums() { md5sum "$work"/s1.img "$work"/s2.img; }
refused() {  # refused TARGET NAMED-ROW
  local before; before=$(sums)
  rm -f "$sm.trace"
  err=$("$cli" erase "$1" --yes --simulate "$sm" 2>&1 >/dev/null </dev/null)
  rc=$?
  [ $rc -eq 4 ] || fail "erase $1 under a covering protection exited $rc, not 4"
  grep -q "allow $2" <<<"$err" || fail "erase $1: the refusal names $2: $err"
  [ "$(sums)" = "$before" ] || fail "erase $1 changed bytes"
  ! grep -q '^write ' "$sm.trace" 2>/dev/null || fail "erase $1 wrote: $(head -3 "$sm.trace")"
}
"$cli" protect 1 --simulate "$sm" >/dev/null || fail "protect 1 (images)"
refused E: 1
refused '\\.\e:' 1
refused '\\?\Volume{5eed0000-0000-0000-0000-000000000002}' 1
out=$("$cli" inspect E: --simulate "$sm" 2>/dev/null)
expect_line "$out" '^protected: yes$' "inspect of a volume on a protected disk"
"$cli" allow 1 --simulate "$sm" >/dev/null || fail "allow 1 (images)"
"$cli" protect F: --simulate "$sm" >/dev/null || fail "protect F:"
refused 2 F:
refused '\\.\PHYSICALDRIVE2' F:
# A volume beside the protected one on the same disk is its own storage.
"$cli" erase G: --yes --simulate "$sm" </dev/null >/dev/null 2>&1 || fail "G: beside a protected F: exited $?"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
