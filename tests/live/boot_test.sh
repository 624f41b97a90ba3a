#!/usr/bin/env bash
# Boots Plexiscrub Live as a user does: the image from scripts/live, copied
# as a USB stick that boots first, in a PC with four disks of random bytes
# (NVMe, SATA on AHCI, virtio, USB storage on xHCI). With the unattended
# entry turned on in the copy's settings it must erase exactly the four
# disks, each with one report on the stick, and leave the rest of the stick
# as it was; once with BIOS (SeaBIOS) and once with UEFI (OVMF). A third
# boot, of the interactive entry, keeps a picture of the view in
# build/artifacts/live-view.png.
#   tests/live/boot_test.sh [HOST_CLI [STATIC_CLI]]
# (exit 77: qemu or a package missing). The image is built twice and must
# come out the same, byte for byte.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
host_cli=${1:-$top/build/linux/src/plexiscrub-cli}
static_cli=${2:-$top/build/linux/src/plexiscrub-cli-static}

skip() { echo "boot_test: skipped: $* (scripts/setup installs it)"; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed (package qemu-system-x86)"
command -v mcopy >/dev/null || skip "mtools is not installed"
command -v convert >/dev/null || skip "ImageMagick is not installed"
ovmf_code="" ovmf_vars=""
for pair in OVMF_CODE_4M.fd:OVMF_VARS_4M.fd OVMF_CODE.fd:OVMF_VARS.fd; do
  if [ -z "$ovmf_code" ] && [ -f "/usr/share/OVMF/${pair%%:*}" ]; then
    ovmf_code=/usr/share/OVMF/${pair%%:*}
    ovmf_vars=/usr/share/OVMF/${pair#*:}
  fi
done
[ -n "$ovmf_code" ] || skip "no OVMF firmware in /usr/share/OVMF (package ovmf)"
[ -x "$host_cli" ] || { echo "boot_test: no host tool at $host_cli" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/live-boot.XXXXXX")
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1 MTOOLSRC=/dev/null
failures=0
fail() { echo "boot_test: FAIL: $*"; failures=$((failures + 1)); }

started=$(date +%s)
for copy in live again; do
  set +e
  "$top/scripts/live" --cli "$static_cli" --out "$work/$copy.img" >"$work/build.log" 2>&1
  status=$?
  set -e
  [ $status -ne 77 ] || { echo "boot_test: skipped: $(tail -n1 "$work/build.log")"; exit 77; }
  [ $status -eq 0 ] || { cat "$work/build.log"; echo "boot_test: FAIL: scripts/live exit $status"; exit 1; }
done
echo "boot_test: $(tail -n1 "$work/build.log")"
cmp -s "$work/live.img" "$work/again.img" || fail "two builds of the image differ: $(cmp "$work/live.img" "$work/again.img")"
rm -f "$work/again.img"
offset=$((2048 * 512))
part_end=$(sfdisk -d "$work/live.img" | sed -n 's/.*start= *\([0-9]*\), size= *\([0-9]*\).*/\1 \2/p' | awk '{ print ($1 + $2) * 512 }')

# The stick: a copy of the image whose settings say SETTING=VALUE...
make_stick() {
  local stick=$1 pair
  shift
  cp "$work/live.img" "$stick"
  mcopy -i "$stick@@$offset" ::/plexiscrub.cfg "$work/settings"
  for pair in "$@"; do
    sed -i "s/^set ${pair%%=*}=.*/set $pair/" "$work/settings"
    grep -qx "set $pair" "$work/settings" || echo "set $pair" >>"$work/settings"
  done
  mcopy -o -i "$stick@@$offset" "$work/settings" ::/plexiscrub.cfg
}

# The files of a stick's FAT partition outside reports/, each with its digest.
stick_files() {
  local path
  mdir -/ -b -i "$1@@$offset" ::/ | grep -v '/$' | grep -v '^::/reports/' | sort | while read -r path; do
    echo "$path $(mtype -i "$1@@$offset" "$path" | sha256sum | cut -c1-64)"
  done
}

serials=(LIVENVME1 LIVESATA2 LIVEVIRT3 LIVEUSB4)
kinds=(nvme sata virtio usb)
sata_model="PLEXI Live Test SATA Drive Model 36ch"

# Boots FIRMWARE (bios or uefi) with the stick and the four disks in WORK/NAME.
boot() {
  local name=$1 firmware=$2 stick=$3 limit=$4 dir=$work/$1 n firmware_args=()
  if [ "$firmware" = uefi ]; then
    cp "$ovmf_vars" "$dir/vars.fd"
    firmware_args=(-drive "if=pflash,format=raw,unit=0,readonly=on,file=$ovmf_code"
                   -drive "if=pflash,format=raw,unit=1,file=$dir/vars.fd")
  fi
  local disk_args=(-device qemu-xhci,id=xhci
    -drive "file=$stick,if=none,id=stick,format=raw" -device usb-storage,bus=xhci.0,drive=stick,serial=LIVESTICK,bootindex=0
    -drive "file=$dir/nvme.img,if=none,id=d0,format=raw" -device "nvme,serial=${serials[0]},drive=d0"
    -device ahci,id=ahci
    -drive "file=$dir/sata.img,if=none,id=d1,format=raw" -device "ide-hd,bus=ahci.0,drive=d1,serial=${serials[1]},model=$sata_model"
    -drive "file=$dir/virtio.img,if=none,id=d2,format=raw" -device "virtio-blk-pci,drive=d2,serial=${serials[2]}"
    -drive "file=$dir/usb.img,if=none,id=d3,format=raw" -device "usb-storage,bus=xhci.0,drive=d3,serial=${serials[3]}")
  timeout "$limit" qemu-system-x86_64 -nodefaults -no-reboot -m 1024 -smp 2 -vga std -display none \
    -serial "file:$dir/console" -monitor "unix:$dir/monitor,server,nowait" -nic none \
    "${firmware_args[@]}" "${disk_args[@]}" </dev/null >"$dir/qemu.out" 2>&1 &
  qemu_pid=$!
}

# Four disks of random bytes, 8 to 32 MiB.
make_disks() {
  local dir=$1
  mkdir -p "$dir"
  head -c 16M /dev/urandom >"$dir/nvme.img"
  head -c 8M /dev/urandom >"$dir/sata.img"
  head -c 12M /dev/urandom >"$dir/virtio.img"
  head -c 8M /dev/urandom >"$dir/usb.img"
}

# The disks must hold zeros after a completion record, the NVMe disk's
# naming method NVME_METHOD; one report each on the stick, which is as it
# was outside its reports folder.
check_erased() {
  local name=$1 dir=$work/$1 stick=$2 nvme_method=$3 n json serial
  mkdir -p "$dir/reports"
  mcopy -s -n -i "$stick@@$offset" '::/reports/*' "$dir/reports/" 2>/dev/null || true
  for n in 0 1 2 3; do
    local image=$dir/${kinds[n]}.img
    cmp -s -i 512:0 -n $(($(stat -c %s "$image") - 512)) "$image" /dev/zero ||
      fail "$name: data left on the ${kinds[n]} disk"
    grep -q '^kind: 2 (completion record)$' <<<"$(LC_ALL=C "$host_cli" inspect "$image" 2>&1)" ||
      fail "$name: no completion record on the ${kinds[n]} disk"
    serial=${serials[n]}
    json=$(grep -l "\"serial\": \"$serial\"" "$dir"/reports/*.json 2>/dev/null | wc -l)
    [ "$json" -eq 1 ] || fail "$name: $json reports for the ${kinds[n]} disk ($serial), not one"
  done
  grep -q "^method: $nvme_method " <<<"$(LC_ALL=C "$host_cli" inspect "$dir/nvme.img" 2>&1)" ||
    fail "$name: the NVMe disk's record names another method than $nvme_method"
  [ "$(ls "$dir"/reports/*.json 2>/dev/null | wc -l)" -eq 4 ] ||
    fail "$name: the reports folder holds other reports: $(ls "$dir/reports")"
  grep -q LIVESTICK "$dir"/reports/*.json && fail "$name: a report names the stick"
  [ "$(stick_files "$stick")" = "$(stick_files "$work/$name.before")" ] ||
    fail "$name: the stick's files outside reports/ changed"
  cmp -s -n $offset "$stick" "$work/$name.before" || fail "$name: the stick's first MiB changed"
  cmp -s -i "$part_end" "$stick" "$work/$name.before" || fail "$name: the stick changed after its partition"
  LC_ALL=C "$host_cli" inspect "$stick" 2>&1 | grep -q '^kind: 0 (no record)$' || fail "$name: the stick holds an erase record"
}

# An unattended boot with FIRMWARE; PURGE yes lets the NVMe disk format
# itself (method 3) while the others are overwritten.
unattended_run() {
  local name=$1 firmware=$2 purge=$3 stick=$work/$1.stick t0=$(date +%s)
  make_disks "$work/$name"
  make_stick "$stick" unattended=yes countdown=1 method=0 verify=yes purge=$purge serial_console=ttyS0
  cp "$stick" "$work/$name.before"
  boot "$name" "$firmware" "$stick" 300
  set +e
  wait $qemu_pid
  local code=$?
  set -e
  tr -d '\r' <"$work/$name/console" >"$work/$name/console.txt"
  mkdir -p "$top/build/artifacts"
  cp "$work/$name/console.txt" "$top/build/artifacts/live-$name-console.txt"
  grep -q 'every disk was erased' "$work/$name/console.txt" ||
    { fail "$name: the guest did not say every disk was erased (qemu exit $code)"; cat "$work/$name/qemu.out" "$work/$name/console.txt"; }
  grep -q 'Erasing EVERY disk' "$work/$name/console.txt" || fail "$name: no countdown was shown"
  check_erased "$name" "$stick" "$([ "$purge" = yes ] && echo 3 || echo 0)"
  echo "boot_test: $name: boot to power-off $(($(date +%s) - t0)) s"
}

# Sends one command to a QEMU monitor socket and waits for its prompt again.
monitor() {
  timeout 10 python3 - "$1" "$2" <<'PY'
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
def prompt():
    data = b""
    while not data.endswith(b"(qemu) "):
        chunk = s.recv(4096)
        if not chunk:
            break
        data += chunk
prompt()
s.sendall(sys.argv[2].encode() + b"\n")
prompt()
PY
}

# The interactive entry with its picture: the view is there when the
# screen has stopped changing and shows more than a few colours.
interactive_run() {
  local name=interactive stick=$work/interactive.stick dir=$work/interactive tries=0 previous="" colours sum
  make_disks "$dir"
  make_stick "$stick" serial_console=ttyS0
  sums=$(cat "$dir"/*.img | sha256sum)
  boot "$name" bios "$stick" 300
  while [ $tries -lt 90 ] && kill -0 $qemu_pid 2>/dev/null; do
    sleep 2
    tries=$((tries + 1))
    grep -q 'reports go to /medium/reports' "$dir/console" 2>/dev/null || continue
    rm -f "$dir/screen.ppm"
    monitor "$dir/monitor" "screendump $dir/screen.ppm" || continue
    [ -s "$dir/screen.ppm" ] || continue
    colours=$(convert "$dir/screen.ppm" -format %k info: 2>/dev/null || echo 0)
    sum=$(sha256sum <"$dir/screen.ppm")
    if [ "$colours" -gt 8 ] && [ "$sum" = "$previous" ]; then break; fi
    previous=$sum
  done
  kill $qemu_pid 2>/dev/null || true
  wait $qemu_pid 2>/dev/null || true
  if [ -s "$dir/screen.ppm" ] && [ "$colours" -gt 8 ]; then
    mkdir -p "$top/build/artifacts"
    convert "$dir/screen.ppm" "$top/build/artifacts/live-view.png"
    echo "boot_test: the interactive view: build/artifacts/live-view.png"
  else
    fail "interactive: no picture of the view"
    tr -d '\r' <"$dir/console" 2>/dev/null | tail -n 20
  fi
  grep -q 'fbterm ended' "$dir/console" && fail "interactive: fbterm ended: $(grep -m1 'fbterm ended' "$dir/console")"
  [ "$(cat "$dir"/*.img | sha256sum)" = "$sums" ] || fail "interactive: a disk changed without an erase"
}

# The unattended entry with a bad method in the settings: it must say so and
# erase nothing.
bad_settings_run() {
  local name=badsettings stick=$work/badsettings.stick dir=$work/badsettings tries=0 sums
  make_disks "$dir"
  make_stick "$stick" unattended=yes countdown=1 method=7 serial_console=ttyS0
  sums=$(cat "$dir"/*.img | sha256sum)
  boot "$name" bios "$stick" 300
  while [ $tries -lt 150 ] && kill -0 $qemu_pid 2>/dev/null &&
    ! grep -q 'press Enter for the interactive view' "$dir/console" 2>/dev/null; do
    sleep 1
    tries=$((tries + 1))
  done
  kill $qemu_pid 2>/dev/null || true
  wait $qemu_pid 2>/dev/null || true
  tr -d '\r' <"$dir/console" >"$dir/console.txt"
  grep -q 'bad setting method=7 (0, 1 or 2)' "$dir/console.txt" &&
    grep -q 'has bad values; nothing is erased' "$dir/console.txt" ||
    { fail "badsettings: no message about the bad method"; tail -n 20 "$dir/console.txt"; }
  grep -q 'Erasing EVERY disk' "$dir/console.txt" && fail "badsettings: the countdown ran"
  [ "$(cat "$dir"/*.img | sha256sum)" = "$sums" ] || fail "badsettings: a disk changed"
  echo "boot_test: badsettings: the bad method named after $tries s, nothing erased"
}

# PLEXISCRUB_LIVE_RUNS picks some of the boots (by hand, while debugging).
for run in ${PLEXISCRUB_LIVE_RUNS:-bios uefi badsettings interactive}; do
  case $run in
    bios) unattended_run bios bios no ;;
    uefi) unattended_run uefi uefi yes ;;
    badsettings) bad_settings_run ;;
    interactive) interactive_run ;;
    *) echo "boot_test: no run $run (bios, uefi, badsettings, interactive)" >&2; exit 2 ;;
  esac
done
echo "boot_test: $(($(date +%s) - started)) s in all"
[ $failures -eq 0 ] && echo "boot_test: all passed"
exit $((failures > 0))
