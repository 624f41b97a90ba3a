#!/usr/bin/env bash
# plexiscrub-cli probe and its replay: the probe only asks (no open for
# writing, no data read, no firmware command but identify and logs), its
# file replays as the machine it was taken on, serials are masked, and the
# probes kept under tests/data/probes list and inspect as their machines.
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
hex_of() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
# The list without its record columns (method, record): the probe reads no data.
without_records() { awk -F' \\| ' 'BEGIN { OFS = " | " } { $5 = ""; $7 = ""; print }'; }

cat >"$work/m.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
clock 2026-12-08 09:30:00
disk 0 sectors=2097152 bus=sata product="System SSD" serial="SYS-SERIAL-0001" media=ssd sanitize=crypto security=enhanced
volume C: disk=0 offset=1M type=fixed label="Windows"
disk 1 sectors=8192 bus=nvme product="Fast NVMe" serial="NVME-SERIAL-0002" sanitize=crypto format=crypto dlfeat=zeros
volume F: disk=1 offset=1M type=fixed label="Work"
record disk=1 kind=complete method=1
disk 2 sectors=8192 bus=usb vendor="Stick" product="Blade" serial="USB-SERIAL-0003" removable=yes
volume G: disk=2 offset=0 type=removable label="STICK"
volume Q: type=cdrom extents=none
volume Z: type=remote
trace opens reads writes controls commands
MACHINE

# What the probe did: opens for query or read only, no data, identify and logs.
"$cli" probe --out "$work/masked.json" --simulate "$work/m.machine" >/dev/null || fail "probe exited $?"
trace=$(cat "$work/m.machine.trace")
grep -q '^open ' <<<"$trace" || fail "the trace shows no opens: $trace"
grep -E '^open .* read-write' <<<"$trace" && fail "the probe opened a drive for writing"
grep -E '^(write|read) ' <<<"$trace" && fail "the probe read or wrote data"
grep -E '^command ' <<<"$trace" | grep -vE ' nvme opcode=0x(6|2) | ata command=0xec ' && fail "the probe sent a command that is not an identify or a log"
grep -qE '^command .* nvme opcode=0x6 ' <<<"$trace" || fail "the NVMe drive was not identified"
grep -q 'Z:' <<<"$trace" && fail "the probe opened the network drive"

# Serials masked, and kept only when asked.
"$cli" probe --keep-serials --out "$work/kept.json" --simulate "$work/m.machine" >/dev/null || fail "probe --keep-serials"
for serial in SYS-SERIAL-0001 NVME-SERIAL-0002 USB-SERIAL-0003; do
  grep -q "$(hex_of "$serial")" "$work/kept.json" || fail "--keep-serials lost $serial"
  grep -qi -e "$serial" -e "$(hex_of "$serial")" "$work/masked.json" && fail "$serial is in the masked probe"
done
# ATA pass-through needs a read-write handle, which the probe never opens.
grep -A2 '"command": 236' "$work/kept.json" | grep -q '"error": 5' || fail "the ATA identify was not asked, or not refused"
grep -q '"serials": "masked"' "$work/masked.json" || fail "the masked probe does not say so"

# The replay answers as the machine: the same rows, the same purge, and a
# probe of the replay is the probe it was made from.
for view in "" --partitions; do
  sim=$("$cli" list $view --all --simulate "$work/m.machine" | without_records)
  replay=$("$cli" list $view --all --simulate "$work/kept.json" | without_records)
  [ "$sim" = "$replay" ] || fail "list $view of the replay differs: $(diff <(echo "$sim") <(echo "$replay"))"
done
for target in 1 2; do
  sim=$("$cli" inspect $target --simulate "$work/m.machine" 2>&1 | sed -n '/^purge:/,$p')
  replay=$("$cli" inspect $target --simulate "$work/kept.json" 2>&1 | sed -n '/^purge:/,$p')
  [ -n "$sim" ] && [ "$sim" = "$replay" ] || fail "inspect $target of the replay: '$replay', not '$sim'"
done
# What a read-write handle would have been told was never asked.
out=$("$cli" inspect 0 --simulate "$work/kept.json" 2>&1)
expect_line "$out" '^purge: unknown \(access denied\)$' "inspect of the replayed ATA drive"
"$cli" probe --keep-serials --simulate "$work/kept.json" >"$work/again.json" || fail "probe of the replay"
cmp -s "$work/kept.json" "$work/again.json" || fail "the replay's probe differs: $(diff "$work/kept.json" "$work/again.json" | head)"
"$cli" list --simulate "$work/masked.json" | grep -q '^Fast NVMe | NVMe | F: ' || fail "the masked probe replays"
out=$("$cli" erase 2 --yes --simulate "$work/kept.json" 2>&1); rc=$?
[ $rc -eq 4 ] || fail "an erase on a replay exited $rc, not 4 (nothing written): $out"

# The probes kept as test data: file | command | a line its output holds.
# Replayed from copies: a machine keeps its files beside its description,
# and nothing is written into the source tree.
cp "$top"/tests/data/probes/*.json "$work/"
while IFS='|' read -r file command pattern; do
  [ -z "$file" ] && continue
  out=$("$cli" $command --simulate "$work/$file" 2>&1) || fail "$command on $file exited $?"
  expect_line "$out" "$pattern" "$command on $file"
done <<'ROWS'
sata-ssd.json|list|^Samsung SSD 870 EVO 1TB \| SATA \| C: \| 931\.51GB \|  \| 0 \| 0 \| not \| 53616D
sata-ssd.json|list --partitions|【 Windows 】 \| SATA \| C: \| 930\.81GB \|
sata-ssd.json|inspect 0|^purge: unknown \(access denied\)$
nvme.json|list|^NVMe Samsung SSD 980 PRO 1TB \| NVMe \| C: \| 931\.51GB \|  \| 0 \| 0 \| not \|
nvme.json|inspect 0|^purge: yes \(NVMe sanitize
nvme.json|inspect 0|^  NVMe sanitize: crypto erase yes / block erase yes / overwrite no$
usb-stick.json|list|^SanDisk Cruzer Blade \| USB \| G: \| 14\.32GB \|  \| 1 \| 0 \|  \|
usb-stick.json|inspect G:|^sectors: 30029824 \(14\.32GB\)$
usb-stick.json|inspect 1|^sectors: 30031872 \(14\.32GB\)$
ROWS

# Bad arguments: 2; a file that cannot be written or read as a probe: 1.
"$cli" probe 0 --simulate "$work/m.machine" >/dev/null 2>&1; [ $? -eq 2 ] || fail "probe with a target should exit 2"
"$cli" probe --out >/dev/null 2>&1; [ $? -eq 2 ] || fail "--out without a file should exit 2"
"$cli" list --keep-serials --simulate "$work/m.machine" >/dev/null 2>&1; [ $? -eq 2 ] || fail "--keep-serials on list should exit 2"
err=$("$cli" probe --out "$work/none/p.json" --simulate "$work/m.machine" 2>&1 >/dev/null); [ $? -eq 1 ] || fail "an unwritable --out should exit 1"
grep -q 'none/p.json' <<<"$err" || fail "the message names the file: $err"
printf '{"probe": 1, "devices": [{"path": "\\\\\\\\.\\\\PHYSICALDRIVE0", "controls": [{"code": "0x00070000", "out": "zz"}]}]}' >"$work/bad.json"
err=$("$cli" list --simulate "$work/bad.json" 2>&1 >/dev/null); [ $? -eq 1 ] || fail "a broken probe should exit 1"
grep -q 'devices\[0\]\.controls\[0\]\.out is not hexadecimal' <<<"$err" || fail "the message names the member: $err"
printf '{"probe": 7}' >"$work/future.json"
err=$("$cli" list --simulate "$work/future.json" 2>&1 >/dev/null); [ $? -eq 1 ] || fail "a probe of another format should exit 1"
grep -q 'format 1' <<<"$err" || fail "the message names the format: $err"
"$cli" --help | grep -q '^  probe \[--out FILE\] \[--keep-serials\]' || fail "--help tells of probe"

[ $failures -eq 0 ] || exit 1
echo "cli_probe: all checks passed"
