#!/usr/bin/env bash
# Several loop devices (created here and always detached) erased at once,
# and the names of one storage refused as a set: the device and a symbolic
# link to it, a disk and its own partition, an image file and a loop device
# attached to it, two loop devices whose stretches of one file overlap, a
# loop device over another. Two loop devices over separate stretches of one
# file are erased side by side. Skipped (exit 77) without root or loop
# devices.
set -u
cli=$(realpath "$1")
[ "$(id -u)" -eq 0 ] || { echo "needs root"; exit 77; }
command -v losetup >/dev/null || { echo "no losetup"; exit 77; }
work=$(mktemp -d)
loops=()
mounts=()
cleanup() {
  for where in "${mounts[@]}"; do umount "$where" 2>/dev/null; done
  # Loop devices stacked on others first.
  for ((i = ${#loops[@]} - 1; i >= 0; i--)); do losetup -d "${loops[i]}" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
# The third image holds one partition (an MBR entry written by hand: type
# 0x83 from sector 2048, 16384 sectors), which the kernel finds on attach.
truncate -s 32M "$work/d1.img" "$work/d2.img" "$work/d3.img"
{
  head -c 446 /dev/zero
  printf '\x00\x00\x00\x00\x83\x00\x00\x00\x00\x08\x00\x00\x00\x40\x00\x00'
  head -c 48 /dev/zero
  printf '\x55\xaa'
} | dd of="$work/d3.img" conv=notrunc status=none
for n in 1 2 3; do
  loop=$(losetup --find --show --partscan "$work/d$n.img" 2>/dev/null) || { echo "no loop device"; exit 77; }
  loops+=("$loop")
done
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fill() { for loop in "$@"; do dd if=/dev/urandom of="$loop" bs=4M oflag=direct status=none 2>/dev/null; done; }
zero_after_record() { [ "$(tail -c +513 "$1" | tr -d '\0' | wc -c)" -eq 0 ]; }

fill "${loops[0]}" "${loops[1]}"
"$cli" erase "${loops[0]}" "${loops[1]}" --verify --yes </dev/null >"$work/out" 2>"$work/err" ||
  fail "two loop devices exited $?: $(cat "$work/err")"
for loop in "${loops[0]}" "${loops[1]}"; do
  zero_after_record "$loop" || fail "$loop was not erased"
  "$cli" inspect "$loop" | grep -q '^kind: 2 ' || fail "$loop has no completion record"
done

# A device and a symbolic link to it: one drive, refused, nothing written.
fill "${loops[0]}"
ln -s "${loops[0]}" "$work/link"
before=$(md5sum <"${loops[0]}")
"$cli" erase "${loops[0]}" "$work/link" --yes </dev/null >"$work/out" 2>"$work/err"
[ $? -eq 4 ] || fail "a device named twice exits 4"
grep -q 'name the same drive' "$work/err" || fail "duplicate message: $(cat "$work/err")"
[ "$before" = "$(md5sum <"${loops[0]}")" ] || fail "a refused set wrote to ${loops[0]}"

# A disk and its own partition overlap.
disk=${loops[2]}
name=$(basename "$disk")
for _ in $(seq 20); do [ -e "/sys/block/$name/${name}p1/dev" ] && break; sleep 0.1; done
# Without udev the kernel has the partition but /dev lacks its node.
part=${disk}p1
if [ ! -b "$part" ] && [ -e "/sys/block/$name/${name}p1/dev" ]; then
  IFS=: read -r major minor <"/sys/block/$name/${name}p1/dev"
  part=$work/part1
  mknod "$part" b "$major" "$minor"
fi
if [ -b "$part" ]; then
  before=$(md5sum <"$disk")
  "$cli" erase "$part" "$disk" --yes </dev/null >"$work/out" 2>"$work/err"
  [ $? -eq 4 ] || fail "a disk with its partition exits 4"
  grep -q 'overlap' "$work/err" || fail "overlap message: $(cat "$work/err")"
  [ "$before" = "$(md5sum <"$disk")" ] || fail "a refused set wrote to $disk"
else
  echo "note: the kernel shows no partition of $disk; the overlap case was not run"
fi

# Attaches a loop device (losetup's options and the file last) into $attached.
attach() {
  attached=$(losetup --find --show "$@" 2>/dev/null) || { fail "losetup $*"; return 1; }
  loops+=("$attached")
}
# A refused set: exit 4, the pair named in one line, and not one byte of the
# image changed.
refused_pair() {
  local image=$1 first=$2 second=$3 what=$4 before
  before=$(md5sum <"$image")
  "$cli" erase "$first" "$second" --yes </dev/null >"$work/out" 2>"$work/err"
  local code=$?
  [ $code -eq 4 ] || fail "$what: exits $code, not 4"
  grep -F "$first and $second" "$work/err" | grep -q 'name the same drive or overlap' ||
    fail "$what: the message names both: $(cat "$work/err")"
  [ "$before" = "$(md5sum <"$image")" ] || fail "$what: a refused set wrote to $image"
}
random_image() { head -c 32M /dev/urandom >"$1"; }

# An image file and the loop device attached to it; the file by a hard
# link, by a relative path and through a bind mount too.
random_image "$work/a.img"
if attach "$work/a.img"; then
  loop_a=$attached
  refused_pair "$work/a.img" "$work/a.img" "$loop_a" "file + its loop device"
  refused_pair "$work/a.img" "$loop_a" "$work/a.img" "loop device + its file"
  ln "$work/a.img" "$work/a-hard.img"
  refused_pair "$work/a.img" "$work/a-hard.img" "$loop_a" "hard link + loop device"
  pushd "$work" >/dev/null && refused_pair "$work/a.img" a.img "$loop_a" "relative path + loop device"
  popd >/dev/null
  mkdir "$work/bound"
  if mount --bind "$work" "$work/bound" 2>/dev/null; then
    mounts+=("$work/bound")
    refused_pair "$work/a.img" "$work/bound/a.img" "$loop_a" "bind mount + loop device"
    umount "$work/bound" && mounts=()
  fi
fi
# The same without a loop device: one file by two names.
random_image "$work/f.img"
ln "$work/f.img" "$work/f-hard.img"
ln -s "$work/f.img" "$work/f-sym.img"
refused_pair "$work/f.img" "$work/f.img" "$work/f-hard.img" "a file and its hard link"
refused_pair "$work/f.img" "$work/f-sym.img" "$work/f.img" "a file and a symbolic link to it"
pushd "$work" >/dev/null && refused_pair "$work/f.img" f.img "$work/f.img" "a file by a relative and a full path"
popd >/dev/null

# Two loop devices over the whole of one file.
random_image "$work/b.img"
if attach "$work/b.img"; then
  loop_b1=$attached
  attach "$work/b.img" && refused_pair "$work/b.img" "$loop_b1" "$attached" "two loop devices of one file"
fi

# The first 16 MiB of a file, and from 8 MiB to its end: they overlap.
random_image "$work/c.img"
if attach --sizelimit 16M "$work/c.img"; then
  loop_c1=$attached
  attach --offset 8M "$work/c.img" && refused_pair "$work/c.img" "$loop_c1" "$attached" "overlapping loop devices"
fi

# The first 16 MiB and the rest: two drives, erased together.
random_image "$work/d.img"
if attach --sizelimit 16M "$work/d.img"; then
  loop_d1=$attached
  if attach --offset 16M "$work/d.img"; then
    loop_d2=$attached
    "$cli" erase "$loop_d1" "$loop_d2" --yes </dev/null >"$work/out" 2>"$work/err" ||
      fail "two loop devices over separate stretches exited $?: $(cat "$work/err")"
    for loop in "$loop_d1" "$loop_d2"; do
      zero_after_record "$loop" || fail "$loop (a stretch of d.img) was not erased"
      "$cli" inspect "$loop" | grep -q '^kind: 2 ' || fail "$loop has no completion record"
    done
    [ "$(head -c 16M "$work/d.img" | tail -c +513 | tr -d '\0' | wc -c)" -eq 0 ] || fail "d.img's first half"
    [ "$(tail -c 16M "$work/d.img" | tail -c +513 | tr -d '\0' | wc -c)" -eq 0 ] || fail "d.img's second half"
  fi
fi

# A loop device over another loop device: its backing is a block device.
random_image "$work/e.img"
if attach "$work/e.img"; then
  loop_e1=$attached
  attach "$loop_e1" && refused_pair "$work/e.img" "$loop_e1" "$attached" "a loop device over another"
  attach --offset 4M --sizelimit 4M "$loop_e1" &&
    refused_pair "$work/e.img" "$work/e.img" "$attached" "a loop over a loop over the file"
fi

# A loop device whose backing file's name was deleted: the file lives on
# under a hard link, and the loop device still writes into it.
random_image "$work/g.img"
ln "$work/g.img" "$work/g-kept.img"
if attach "$work/g.img"; then
  rm "$work/g.img"
  refused_pair "$work/g-kept.img" "$work/g-kept.img" "$attached" "a file whose loop device's name was deleted"
fi

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
