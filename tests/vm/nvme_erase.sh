#!/usr/bin/env bash
# The tool against the kernel's own drivers: a virtual machine whose
# emulated NVMe drive is backed by 64 MiB of random bytes inspects and
# erases it with verification; the host then finds zeros after the first
# sector and the completion record in it. A SATA (AHCI), a USB and a
# virtio drive beside it, 16 MiB each, must be listed, inspected and
# reported under their own serials and whole models; the SATA and the USB
# one are erased, the virtio one is left as it was. Skipped (exit 77)
# where qemu, busybox or the guest kernel is missing (scripts/setup brings
# them).
#   nvme_erase.sh STATIC_CLI HOST_CLI SOURCE_DIR
set -u
static_cli=$1
host_cli=$2
top=$3
run=$top/tests/vm/run_in_vm.sh
# The erase method the guest runs: the drive's own purge by default.
method=${PLEXISCRUB_VM_METHOD:-3}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Only image files are attached: a device is refused before anything boots.
"$run" --cli "$static_cli" /dev/null true >/dev/null 2>&1
[ $? -eq 2 ] || fail "a device was not refused as the guest's drive"

image=$work/nvme.img
head -c 64M /dev/urandom >"$image"
# Models longer than the SCSI inquiry's 16 characters; serials of their own.
sata_model="PLEXI SATA Model With A Long Name 01"
sata_serial=SATA0001
usb_serial=USB0002
virtio_serial=VIRT0003
for kind in sata usb virtio; do head -c 16M /dev/urandom >"$work/$kind.img"; done
virtio_sum=$(cksum <"$work/virtio.img")
disks=(--disk "sata,$work/sata.img,$sata_serial,$sata_model" --disk "usb,$work/usb.img,$usb_serial"
       --disk "virtio,$work/virtio.img,$virtio_serial")
# The guest's device of a bus, found by its sysfs path ("ata", "usb").
on() { echo "\$(for d in /sys/block/sd*; do case \$(readlink -f \$d) in */$1*) echo /dev/\${d##*/};; esac; done)"; }
commands=(
  'ls -1 /sys/block; cat /sys/block/nvme0n1/device/model /sys/block/nvme0n1/device/serial; ls -l /dev/nvme0'
  'plexiscrub-cli list'
  'plexiscrub-cli inspect /dev/nvme0n1'
  "plexiscrub-cli erase /dev/nvme0n1 --method $method --verify --yes --report /tmp/reports"
  'plexiscrub-cli inspect /dev/nvme0n1'
  'exit 7'
  'cat /tmp/reports/*.json'
  "plexiscrub-cli inspect $(on ata)"
  "plexiscrub-cli inspect $(on usb)"
  'plexiscrub-cli inspect /dev/vda'
  "plexiscrub-cli erase $(on ata) --method 0 --yes --report /tmp/more"
  "plexiscrub-cli erase $(on usb) --method 0 --yes --report /tmp/more"
  'ls -1 /tmp/more'
  'cat /tmp/more/*.json'
  # The SATA drive as an earlier copy protected it: by the SCSI inquiry's
  # names and the kernel's wwid. It stays protected until allowed.
  "mkdir -p /tmp/config/plexiscrub; d=\$(basename $(on ata)); printf '#DRIVE|ATA|%s|%s=SATA\\r\\n' \"\$(sed 's/ *\$//' /sys/block/\$d/device/model)\" \"\$(sed 's/ *\$//' /sys/block/\$d/device/wwid)\" >/tmp/config/plexiscrub/drvnotlist.txt; cat /tmp/config/plexiscrub/drvnotlist.txt"
  "plexiscrub-cli inspect $(on ata) 2>/dev/null"
  "plexiscrub-cli allow $(on ata); cat /tmp/config/plexiscrub/drvnotlist.txt"
)
"$run" --cli "$static_cli" --console "$work/console" "${disks[@]}" "$image" "${commands[@]}" >"$work/out" 2>"$work/err"
status=$?
cat "$work/err"
if [ $status -eq 77 ]; then exit 77; fi
# The last command fails on purpose: a guest's failure must reach the host.
[ $status -eq 1 ] || { fail "run_in_vm exited $status, not 1"; cat "$work/out" "$work/console"; }

# The output of guest command N, and its exit code.
output() { sed -n "/^@@VM: begin $1: /,/^@@VM: exit $1: /p" "$work/out" | sed '1d;$d'; }
code() { sed -n "s/^@@VM: exit $1: \([0-9]*\)$/\1/p" "$work/out"; }
for n in 1 2 3 4 5; do
  [ "$(code $n)" = 0 ] || fail "guest command $n (${commands[n - 1]}) exited '$(code $n)': $(output $n)"
done
[ "$(code 6)" = 7 ] || fail "the guest's 'exit 7' came back as '$(code 6)'"
[ "$(code 7)" = 0 ] || fail "no erase report in the guest: $(output 7)"
for n in 8 9 10 11 12 13 14 15 16 17; do
  [ "$(code $n)" = 0 ] || fail "guest command $n (${commands[n - 1]}) exited '$(code $n)': $(output $n)"
done

# The guest's drive is the NVMe one, and the tool sees it so.
sysfs=$(output 1)
grep -qx nvme0n1 <<<"$sysfs" || fail "no nvme0n1 in the guest's /sys/block: $sysfs"
grep -q '^QEMU NVMe Ctrl' <<<"$sysfs" || fail "model: $sysfs"
grep -q '^PLEXI0001' <<<"$sysfs" || fail "serial: $sysfs"
# The controller's own device, which takes the driver's admin commands.
grep -q '^c.* /dev/nvme0$' <<<"$sysfs" || fail "no controller device /dev/nvme0: $sysfs"
row=$(output 2 | grep ' | /dev/nvme0n1 | ')
[[ $row == "QEMU NVMe Ctrl"*" | nvme | ― | 64MB |  | /dev/nvme0n1 | 0 |  | PLEXI0001"* ]] ||
  fail "list row of the drive: $row"
grep -q '^kind: 0 ' <<<"$(output 3)" || fail "the random drive has a record: $(output 3)"

grep -q '^result: 2 ' <<<"$(output 4)" || fail "erase: $(output 4)"
if [ "$method" = 3 ]; then
  # QEMU's controller formats with user-data erase and has no sanitize: the
  # choice falls back to the format, whose zeros need no zero pass. A format
  # deallocates: the read-back reads the drive's answer for such blocks,
  # which the report says, and the weaker command is Clear, not Purge.
  purge=$(output 3)
  grep -q 'NVMe sanitize: crypto erase no / block erase no / overwrite no' <<<"$purge" || fail "sanitize capability: $purge"
  grep -q 'command to run: NVMe format (user data erase)' <<<"$purge" || fail "chosen command: $purge"
  grep -q 'the read-back reads the deallocated blocks' <<<"$purge" || fail "the read-back of deallocated blocks: $purge"
  report=$(output 7)
  grep -q '"category": "Clear"' <<<"$report" || fail "the report's category: $report"
  grep -q '"technique": "nvme_format_user_data_erase"' <<<"$report" || fail "the report's technique: $report"
  grep -q '"reads": "deallocated_blocks"' <<<"$report" || fail "what the read-back read: $report"
  grep -q '"blocks_deallocated": true' <<<"$report" || fail "the blocks' state: $report"
  grep -q '"bytes_written": 512,' <<<"$report" || fail "more than the record was written: $report"
  grep -q '"firmware_command": "NVMe フォーマット（ユーザーデータ消去）"' <<<"$report" || fail "the report's command: $report"
  grep -q '"firmware_command_completed": true' <<<"$report" || fail "the command did not complete: $report"
fi
grep -q "^method: $method " <<<"$(output 5)" || fail "the guest reads no method $method record: $(output 5)"

# The host's view of the image after the guest powered off.
[ "$(stat -c %s "$image")" -eq $((64 << 20)) ] || fail "the image changed size"
[ "$(tail -c +513 "$image" | tr -d '\0' | wc -c)" -eq 0 ] || fail "data left after the first sector"
inspect=$("$host_cli" inspect "$image" 2>&1)
grep -q '^kind: 2 (completion record)$' <<<"$inspect" || fail "no completion record in the image: $inspect"
grep -q "^method: $method " <<<"$inspect" || fail "the record names another method: $inspect"

# Every drive under its own names, whichever driver it came through.
list=$(output 2)
sata_row=$(grep ' | sata | ' <<<"$list")
[[ $sata_row == "$sata_model | sata | ― | 16MB | "*" | $sata_serial" ]] || fail "list row of the SATA drive: $sata_row"
usb_row=$(grep ' | usb | ' <<<"$list")
[[ $usb_row == *" | usb | ― | 16MB | "*" | $usb_serial" ]] || fail "list row of the USB drive: $usb_row"
virtio_row=$(grep ' | /dev/vda | ' <<<"$list")
[[ $virtio_row == *" | virtio | ― | 16MB | "*" | $virtio_serial" ]] || fail "list row of the virtio drive: $virtio_row"
# names N MODEL SERIAL SOURCE: inspect's account of a drive.
names() {
  local said
  said=$(output "$1")
  [ -z "$2" ] || grep -qx "model: $2" <<<"$said" || fail "model in inspect $1: $said"
  grep -qx "serial: $3" <<<"$said" || fail "serial in inspect $1: $said"
  grep -qx "identity source: $4" <<<"$said" || fail "identity source in inspect $1: $said"
}
names 3 "QEMU NVMe Ctrl" PLEXI0001 nvme_identify_controller
names 8 "$sata_model" $sata_serial ata_identify
names 9 "" $usb_serial usb_device
# QEMU's USB disk is a SCSI disk: it refuses ATA pass-through, which is no answer.
grep -qx 'hidden: unknown (the drive did not answer)' <<<"$(output 9)" || fail "the USB disk's hidden area: $(output 9)"
names 10 "" $virtio_serial virtio_serial
grep -q '"identity_source": "nvme_identify_controller"' <<<"$(output 7)" || fail "the NVMe report's identity source: $(output 7)"
# Each report named by its drive's serial and telling its names' source.
files=$(output 13)
grep -q "_$sata_serial\.json\$" <<<"$files" || fail "no report file named by the SATA serial: $files"
grep -q "_$usb_serial\.json\$" <<<"$files" || fail "no report file named by the USB serial: $files"
reports=$(output 14)
for fact in "\"product\": \"$sata_model\"" "\"serial\": \"$sata_serial\"" '"identity_source": "ata_identify"' \
            "\"serial\": \"$usb_serial\"" '"identity_source": "usb_device"'; do
  grep -qF "$fact" <<<"$reports" || fail "the reports lack $fact: $reports"
done
for kind in sata usb; do
  [ "$(tail -c +513 "$work/$kind.img" | tr -d '\0' | wc -c)" -eq 0 ] || fail "data left on the $kind drive"
  grep -q '^kind: 2 (completion record)$' <<<"$("$host_cli" inspect "$work/$kind.img" 2>&1)" ||
    fail "no completion record on the $kind drive"
done
[ "$(cksum <"$work/virtio.img")" = "$virtio_sum" ] || fail "the virtio drive, never erased, changed"
grep -q "^#DRIVE|ATA|PLEXI SATA Model|t10.ATA .*$sata_serial=SATA" <<<"$(output 15)" || fail "the earlier protection line: $(output 15)"
grep -qx 'protected: yes' <<<"$(output 16)" || fail "the drive protected by an earlier copy is not: $(output 16)"
grep -q '^#DRIVE' <<<"$(output 17)" && fail "allowing the drive left its earlier line: $(output 17)"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
