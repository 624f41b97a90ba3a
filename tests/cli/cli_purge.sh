#!/usr/bin/env bash
# plexiscrub-cli and the drive's own purge, on simulated drives backed by
# image files: inspect shows what each drive can do and why not, erase
# --method 3 runs the chosen command, writes zeros where the drive does not
# promise them, and touches nothing but the confirmed drive.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

nonzero_after_first_sector() { tail -c +513 "$1" | tr -d '\0' | wc -c; }

for n in 1 2 3 4; do head -c 4M /dev/urandom >"$work/d$n.img"; done
cp "$work/d4.img" "$work/d4.orig"
cat >"$work/m.machine" <<'MACHINE'
disk 0 size=1G bus=sata product="System"
volume C: disk=0
disk 1 image=d1.img bus=nvme product="Fast" sanitize=crypto format=crypto dlfeat=zeros
disk 2 image=d2.img bus=sata product="Old" security=enhanced erase-minutes=2
disk 3 image=d3.img bus=sata product="Frozen" security=normal frozen=yes
disk 4 image=d4.img bus=usb product="Stick"
disk 5 sectors=8192 bus=sata product="Policy" security=enhanced
fault disk=5 op=open-write
trace writes commands
MACHINE

out=$("$cli" inspect 1 --simulate "$work/m.machine" 2>&1)
grep -q '^purge: yes (NVMe sanitize (crypto erase))' <<<"$out" || fail "inspect of an NVMe drive: $out"
grep -q 'no zero pass' <<<"$out" || fail "no zero pass after a purge that reads zeros: $out"
# ATA pass-through needs a read-write handle; inspect opens one for it.
out=$("$cli" inspect 2 --simulate "$work/m.machine" 2>&1)
grep -q '^purge: yes (ATA security erase (enhanced))' <<<"$out" || fail "inspect of an ATA drive: $out"
grep -q 'zeros are written once after it' <<<"$out" || fail "a zero pass after an ATA erase: $out"
out=$("$cli" inspect 3 --simulate "$work/m.machine" 2>&1)
grep -q '^purge: no (The drive.s security features are frozen' <<<"$out" || fail "frozen drive: $out"
out=$("$cli" inspect 4 --simulate "$work/m.machine" 2>&1)
grep -q '^purge: no (The USB adapter' <<<"$out" || fail "USB bridge: $out"
# A drive that may be read but not opened for writing: not known, rather
# than "not supported".
out=$("$cli" inspect 5 --simulate "$work/m.machine" 2>&1)
grep -q '^purge: unknown (access denied)$' <<<"$out" || fail "write access denied: $out"
# Inspect sends identify commands and READ NATIVE MAX ADDRESS only.
queries='command=0xec\|opcode=0x6 \|command=0x27 \|command=0xb1 feature=0xc2 '
grep -v "$queries" "$work/m.machine.trace" | grep -q '^command' && fail "inspect changed a drive"
grep -q '^write ' "$work/m.machine.trace" && fail "inspect wrote to a drive"
rm -f "$work/m.machine.trace"

out=$("$cli" erase 2 --method 3 --verify --yes --simulate "$work/m.machine" 2>"$work/err")
grep -q '^result: 2 ' <<<"$out" || fail "ATA purge: $out $(cat "$work/err")"
grep -q 'ATA security erase (enhanced)' <<<"$out" || fail "the purge names its command: $out"
grep -q 'cannot be stopped' <<<"$out" || fail "the confirmation warns that the purge cannot be stopped"
[ "$(nonzero_after_first_sector "$work/d2.img")" -eq 0 ] || fail "data left after the ATA purge"
"$cli" inspect 2 --simulate "$work/m.machine" | grep -q '^method: 3 (firmware purge)' || fail "the record names method 3"
# The password was set and cleared around the erase, and only drive 2 was written to.
grep -q 'PHYSICALDRIVE2 ata command=0xf1' "$work/m.machine.trace" || fail "no password set"
grep -q 'PHYSICALDRIVE2 ata command=0xf4' "$work/m.machine.trace" || fail "no erase unit"
grep '^write ' "$work/m.machine.trace" | grep -qv 'PHYSICALDRIVE2 ' && fail "a write reached another drive"
grep '^command ' "$work/m.machine.trace" | grep -qv 'PHYSICALDRIVE2 ' && fail "a command reached another drive"

out=$("$cli" erase 1 --method 3 --yes --simulate "$work/m.machine" 2>/dev/null)
grep -q '^result: 2 ' <<<"$out" || fail "NVMe purge: $out"
[ "$(nonzero_after_first_sector "$work/d1.img")" -eq 0 ] || fail "data left after the NVMe purge"

# Refused with the reason; the drive keeps every byte.
out=$("$cli" erase 4 --method 3 --yes --simulate "$work/m.machine" 2>&1)
grep -q '^result: -1 ' <<<"$out" || fail "a USB bridge cannot purge: $out"
grep -q 'The USB adapter' <<<"$out" || fail "the refusal says why: $out"
cmp -s "$work/d4.img" "$work/d4.orig" || fail "the refused drive changed"

# An erase with another method sends the drive no firmware command but the
# queries of what it hides.
rm -f "$work/m.machine.trace"
"$cli" erase 3 --method 0 --yes --simulate "$work/m.machine" >/dev/null 2>&1
grep -v "$queries" "$work/m.machine.trace" | grep -q '^command' && fail "method 0 sent a firmware command"
grep -q 'command=0x37 ' "$work/m.machine.trace" && fail "method 0 changed the drive's size"

"$cli" erase 1 --method 4 --yes --simulate "$work/m.machine" >/dev/null 2>"$work/err"
[ $? -eq 2 ] || fail "--method 4 is a usage error"

# A set with --method 3: a drive that cannot purge leaves the set before the
# table (nothing written to it); the table names the command; the purged
# drive's summary row has its duration and rate; the exit code says that
# some drives were erased and others not.
for n in 1 4; do head -c 4M /dev/urandom >"$work/d$n.img"; done
cp "$work/d4.img" "$work/d4.orig"
rm -f "$work/m.machine.trace"
"$cli" erase 1 4 --method 3 --yes --simulate "$work/m.machine" </dev/null >"$work/out" 2>"$work/err"
code=$?
[ $code -eq 7 ] || fail "a set with a drive left out exits 7, not $code: $(cat "$work/out" "$work/err")"
grep -q '4: cannot purge itself now.*leaves the set' "$work/err" || fail "the stick's leaving is said: $(cat "$work/err")"
grep -q '^1 | Fast | - | 4MB | 3 (NVMe sanitize (crypto erase)) | no$' "$work/out" || fail "table names the command: $(cat "$work/out")"
grep -q '^4 | Stick' "$work/out" && fail "the stick is in the table"
grep -Eq '^1 \| - \| 3 \(.*\) \| erased; completion record saved \| [0-9.]+ s \| [0-9.]+ MB/s$' "$work/out" ||
  fail "purged drive's summary row: $(cat "$work/out")"
cmp -s "$work/d4.img" "$work/d4.orig" || fail "the stick was written"
grep '^write' "$work/m.machine.trace" | grep -q PHYSICALDRIVE4 && fail "a write reached the stick"
[ "$(nonzero_after_first_sector "$work/d1.img")" -eq 0 ] || fail "disk 1 not purged in the set"

# The same drives on Windows 10 and in its Windows PE: only what the
# drivers carry is offered, and the rest says why.
head -c 4M /dev/urandom >"$work/w2.img"
for pe in no yes; do
  cat >"$work/w$pe.machine" <<MACHINE
windows-version 10.0.19045
windows-pe $pe
disk 0 size=1G bus=sata product="System"
volume C: disk=0
disk 1 size=64M bus=nvme product="Fast" sanitize=crypto format=crypto dlfeat=zeros
disk 2 image=w2.img bus=sata product="Old" security=enhanced erase-minutes=2
disk 3 size=64M bus=nvme product="Shared" sanitize=crypto format=crypto namespaces=2
MACHINE
done
out=$("$cli" inspect 1 --simulate "$work/wno.machine" 2>&1)
grep -q '^purge: yes (NVMe format (crypto erase))' <<<"$out" || fail "Windows 10: the crypto format: $out"
grep -q 'NVMe sanitize (crypto erase): .*It can be used when started from Windows PE' <<<"$out" || fail "why no sanitize: $out"
out=$("$cli" inspect 2 --simulate "$work/wno.machine" 2>&1)
grep -q '^purge: no (.*It can be used when started from Windows PE' <<<"$out" || fail "Windows 10: no security erase: $out"
# Windows cannot tell the namespace of a disk on a controller with two.
out=$("$cli" inspect 3 --simulate "$work/wyes.machine" 2>&1)
grep -q '^purge: no ' <<<"$out" || fail "unknown namespace: $out"
out=$("$cli" inspect 1 --simulate "$work/wyes.machine" 2>&1)
grep -q '^purge: yes (NVMe sanitize (crypto erase))' <<<"$out" || fail "Windows PE: sanitize: $out"
out=$("$cli" erase 2 --method 3 --verify --yes --simulate "$work/wyes.machine" 2>"$work/err")
grep -q '^result: 2 ' <<<"$out" || fail "security erase in Windows PE: $out $(cat "$work/err")"
[ "$(nonzero_after_first_sector "$work/w2.img")" -eq 0 ] || fail "data left after the erase in Windows PE"

[ "$failures" -eq 0 ] && echo "all passed"
exit $((failures > 0))
