#!/usr/bin/env bash
# Boots a small Linux virtual machine whose drives are an emulated NVMe
# controller backed by IMAGE and those --disk adds (each a regular file,
# never a device), runs each COMMAND in it with busybox sh, in order, and
# powers it off. The guest's root is an initramfs holding busybox,
# plexiscrub-cli (statically linked, on the PATH) and the kernel's modules
# for those drives.
#
#   tests/vm/run_in_vm.sh [OPTIONS] IMAGE COMMAND...
#     --cli FILE        the statically linked tool (default:
#                       build/linux/src/plexiscrub-cli-static)
#     --serial TEXT     the NVMe controller's serial number (PLEXI0001)
#     --disk KIND,IMAGE,SERIAL[,MODEL]  one more drive: KIND sata (AHCI;
#                       MODEL up to 40 characters), usb (USB storage on
#                       xHCI) or virtio (virtio-blk); repeatable
#     --accel kvm|tcg   KVM, or plain emulation (also PLEXISCRUB_VM_ACCEL;
#                       default: KVM where the CPU has it and /dev/kvm
#                       opens, emulation otherwise or when KVM fails)
#     --timeout SECONDS the whole run, boot to power-off (300)
#     --console FILE    keep the guest's whole console output in FILE
#
# Prints each command's output between "@@VM: begin N: COMMAND" and
# "@@VM: exit N: CODE". Exits 0 when every command exited 0, 1 when one did
# not, 2 on bad arguments, 3 when the guest did not finish (boot failure,
# timeout: its console is printed to standard error), 77 when a tool or
# the kernel is missing (scripts/setup installs and fetches them).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/scripts/lib/initramfs.sh"

usage() { sed -n '9,20p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
missing() { echo "run_in_vm: $* (scripts/setup installs it)" >&2; exit 77; }

cli=$top/build/linux/src/plexiscrub-cli-static
serial=PLEXI0001
accel=${PLEXISCRUB_VM_ACCEL:-}
limit=300
console_copy=""
disks=()
while [ $# -gt 0 ]; do
  case $1 in
    --cli) cli=${2:?}; shift 2 ;;
    --serial) serial=${2:?}; shift 2 ;;
    --disk) disks+=("${2:?}"); shift 2 ;;
    --accel) accel=${2:?}; shift 2 ;;
    --timeout) limit=${2:?}; shift 2 ;;
    --console) console_copy=${2:?}; shift 2 ;;
    -h|--help) usage ;;
    --) shift; break ;;
    -*) echo "run_in_vm: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || usage
image=$1
shift
case $accel in ""|kvm|tcg) ;; *) echo "run_in_vm: --accel is kvm or tcg, not $accel" >&2; exit 2 ;; esac
[[ $limit =~ ^[1-9][0-9]*$ ]] || { echo "run_in_vm: --timeout wants whole seconds, not $limit" >&2; exit 2; }
[[ $serial =~ ^[A-Za-z0-9]{1,20}$ ]] || { echo "run_in_vm: --serial wants 1 to 20 letters and digits" >&2; exit 2; }
# Only an image file goes into the guest: -f is false for a block device,
# also behind a symbolic link. A comma would end qemu's file= option.
attachable() {
  [ -f "$1" ] || { echo "run_in_vm: $1 is not a regular file (only image files are attached)" >&2; exit 2; }
  [[ $1 != *,* ]] || { echo "run_in_vm: $1: an image's path has no commas" >&2; exit 2; }
}
attachable "$image"
# The drives' qemu options and the modules their drivers are in.
drive_args=(-drive "file=$image,if=none,id=d0,format=raw" -device "nvme,serial=$serial,drive=d0")
modules=(nvme)
sata_ports=0
usb_drives=0
for ((n = 0; n < ${#disks[@]}; n++)); do
  IFS=, read -r kind file disk_serial model extra <<<"${disks[n]}"
  [ -z "$extra" ] && [ -n "$file" ] || { echo "run_in_vm: --disk wants KIND,IMAGE,SERIAL[,MODEL], not ${disks[n]}" >&2; exit 2; }
  attachable "$file"
  [[ $disk_serial =~ ^[A-Za-z0-9]{1,20}$ ]] || { echo "run_in_vm: a --disk serial is 1 to 20 letters and digits" >&2; exit 2; }
  [ -z "$model" ] || [ "$kind" = sata ] || { echo "run_in_vm: only a sata --disk takes a MODEL" >&2; exit 2; }
  [[ $model =~ ^[A-Za-z0-9\ ._-]{0,40}$ ]] || { echo "run_in_vm: a --disk model is up to 40 letters, digits, blanks, . _ -" >&2; exit 2; }
  id=d$((n + 1))
  drive_args+=(-drive "file=$file,if=none,id=$id,format=raw")
  case $kind in
    sata)
      # One AHCI controller, a port for each drive.
      [ $sata_ports -gt 0 ] || drive_args+=(-device ahci,id=ahci)
      drive_args+=(-device "ide-hd,bus=ahci.$sata_ports,drive=$id,serial=$disk_serial${model:+,model=$model}")
      sata_ports=$((sata_ports + 1))
      modules+=(ahci sd_mod) ;;
    usb)
      [ $usb_drives -gt 0 ] || drive_args+=(-device qemu-xhci,id=xhci)
      drive_args+=(-device "usb-storage,bus=xhci.0,drive=$id,serial=$disk_serial")
      usb_drives=$((usb_drives + 1))
      modules+=(xhci_pci usb_storage sd_mod) ;;
    virtio)
      drive_args+=(-device "virtio-blk-pci,drive=$id,serial=$disk_serial")
      modules+=(virtio_pci virtio_blk) ;;
    *) echo "run_in_vm: a --disk KIND is sata, usb or virtio, not $kind" >&2; exit 2 ;;
  esac
done
[ -x "$cli" ] || { echo "run_in_vm: no tool at $cli (build plexiscrub-cli-static, or give --cli)" >&2; exit 77; }
command -v readelf >/dev/null || missing "readelf is not installed (package binutils)"
if ! static_elf "$cli"; then
  echo "run_in_vm: $cli is not statically linked; the guest has no libraries" >&2
  exit 2
fi

qemu=$(command -v qemu-system-x86_64) || missing "qemu-system-x86_64 is not installed (package qemu-system-x86)"
busybox=$(static_busybox) || missing "no statically linked busybox (package busybox-static)"
command -v cpio >/dev/null || missing "cpio is not installed"
kernel_root=$("$top/tests/vm/kernel.sh") || missing "the guest kernel could not be fetched"
kernel=$(compgen -G "$kernel_root/boot/vmlinuz-*" | head -n1)
config=$(compgen -G "$kernel_root/boot/config-*" | head -n1) || true

# Without a choice: KVM where /dev/kvm opens, and emulation when KVM does
# not start the guest (a nested KVM may refuse the CPU or never run it).
fallback=""
if [ -z "$accel" ]; then
  accel=tcg
  # A CPU without vmx or svm (a virtual machine without nested
  # virtualisation) may still show a /dev/kvm that runs nothing.
  if [ -e /dev/kvm ] && grep -Eqw 'vmx|svm' /proc/cpuinfo && { exec 9<>/dev/kvm; } 2>/dev/null; then
    exec 9>&-
    accel=kvm
    fallback=tcg
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
initramfs_base "$root" "$busybox" "$cli"

# The drivers this kernel builds as modules, with what they need, in the
# order they load.
"$top/scripts/initramfs-modules" "$kernel_root" "$root" "${modules[@]}" ||
  { echo "run_in_vm: the guest's drivers could not be put in its initramfs" >&2; exit 3; }
echo $((${#disks[@]} + 1)) >"$root/disk-count"

for command in "$@"; do
  [[ $command != *$'\n'* ]] || { echo "run_in_vm: a COMMAND is one line" >&2; exit 2; }
done
printf '%s\n' "$@" >"$root/commands"
cat >"$root/init" <<'EOF'
#!/bin/sh
/bin/busybox mount -t devtmpfs dev /dev
exec </dev/console >/dev/console 2>&1
echo "@@VM: init"
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
# Kernel messages would mix into the commands' output.
echo 1 >/proc/sys/kernel/printk
while read -r module; do insmod "$module" || echo "@@VM: insmod $module failed"; done </modules
# Controllers are probed in the background, a USB disk after a delay of
# the driver's own: wait for every drive.
tries=0
while [ "$(ls /sys/block | grep -cvE '^(loop|ram|zram)')" -lt "$(cat /disk-count)" ] && [ $tries -lt 300 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
export PATH=/bin:/sbin HOME=/root XDG_DATA_HOME=/tmp/data XDG_CONFIG_HOME=/tmp/config
echo "@@VM: ready"
n=0
while IFS= read -r command <&3; do
  n=$((n + 1))
  echo "@@VM: begin $n: $command"
  sh -c "$command" </dev/null
  code=$?
  echo
  echo "@@VM: exit $n: $code"
done 3</commands
echo "@@VM: done"
sync
poweroff -f
EOF
chmod +x "$root/init"
initramfs_pack "$root" "$work/initramfs.gz" gzip -n -1

# Runs the guest with acceleration $1 in the background, and waits for it.
# With a fallback, gives up on it when its init has not spoken within
# start_limit seconds (nothing has touched the image by then): status 125.
start_limit=20
boot() {
  local accel_args=() waited=0
  [ "$1" = kvm ] && accel_args=(-enable-kvm -cpu host)
  : >"$work/console"
  timeout "$limit" "$qemu" -nodefaults -display none -no-reboot -m 512 "${accel_args[@]}" \
    -serial "file:$work/console" -monitor none -nic none \
    -kernel "$kernel" -initrd "$work/initramfs.gz" -append "console=ttyS0 quiet panic=-1" \
    "${drive_args[@]}" \
    </dev/null >"$work/qemu.out" 2>&1 &
  local pid=$!
  if [ -n "$fallback" ]; then
    while kill -0 $pid 2>/dev/null && ! grep -q '@@VM: init' "$work/console"; do
      if [ $waited -ge $((start_limit * 5)) ]; then
        kill $pid
        wait $pid 2>/dev/null
        return 125
      fi
      sleep 0.2
      waited=$((waited + 1))
    done
    grep -q '@@VM: init' "$work/console" || { wait $pid 2>/dev/null; return 125; }
  fi
  wait $pid
}

echo "run_in_vm: booting ($accel) with $image as the NVMe drive${disks[*]:+ and ${disks[*]}}" >&2
started=$(date +%s%N)
set +e
boot "$accel"
qemu_status=$?
if [ $qemu_status -eq 125 ]; then
  echo "run_in_vm: KVM did not start the guest ($(head -c 200 "$work/qemu.out" | tr '\n' ' ')); emulating instead" >&2
  accel=$fallback
  fallback=""
  started=$(date +%s%N)
  boot "$accel"
  qemu_status=$?
fi
set -e
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
elapsed=$((elapsed_ms / 1000)).$(printf %03d $((elapsed_ms % 1000)))
tr -d '\r' <"$work/console" >"$work/console.txt" 2>/dev/null || : >"$work/console.txt"
[ -z "$console_copy" ] || cp "$work/console.txt" "$console_copy"

if ! grep -q '^@@VM: done$' "$work/console.txt"; then
  if [ $qemu_status -eq 124 ]; then
    echo "run_in_vm: the guest did not finish within $limit seconds" >&2
  else
    echo "run_in_vm: the guest stopped before its commands were done (qemu exit $qemu_status)" >&2
  fi
  cat "$work/qemu.out" "$work/console.txt" >&2
  exit 3
fi
echo "run_in_vm: boot to power-off took ${elapsed}s ($accel)" >&2
sed -n '/^@@VM: ready$/,/^@@VM: done$/p' "$work/console.txt" | sed '1d;$d'
if grep -q '@@VM: insmod' "$work/console.txt"; then
  echo "run_in_vm: the guest could not load its drivers' modules:" >&2
  grep -B1 '@@VM: insmod' "$work/console.txt" >&2
  exit 1
fi
if grep -Eq '@@VM: exit [0-9]+: [1-9][0-9]*$' "$work/console.txt"; then exit 1; fi
exit 0
