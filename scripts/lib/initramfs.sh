# Shared by the test virtual machine (tests/vm/run_in_vm.sh) and the live
# medium (scripts/live): the parts of a busybox initramfs. Sourced by bash.

# A statically linked ELF program: it has loadable segments and names no loader.
static_elf() {
  readelf -l "$1" 2>/dev/null | grep -q 'LOAD' && ! readelf -l "$1" 2>/dev/null | grep -q 'program interpreter'
}

# The path of a statically linked busybox; nothing printed (status 1) without one.
static_busybox() {
  local candidate found=""
  for candidate in /bin/busybox /usr/bin/busybox; do
    if [ -x "$candidate" ] && static_elf "$candidate"; then found=$candidate; fi
  done
  [ -n "$found" ] && echo "$found"
}

# Lays out the root every initramfs of ours starts from in ROOT: busybox
# (as /bin/sh too) and the statically linked tool as /bin/plexiscrub-cli.
#   initramfs_base ROOT BUSYBOX CLI
initramfs_base() {
  mkdir -p "$1"/{bin,sbin,proc,sys,dev,tmp,root,etc,lib/modules}
  cp "$2" "$1/bin/busybox"
  ln -sf busybox "$1/bin/sh"
  strip -o "$1/bin/plexiscrub-cli" "$3" 2>/dev/null || cp "$3" "$1/bin/plexiscrub-cli"
}

# Packs ROOT into the newc archive OUT, compressed by the command COMPRESS...
# (e.g. "gzip -n -1"). Names sorted, every time stamp SOURCE_DATE_EPOCH (0
# without it) and every owner root, so the same tree gives the same bytes.
#   initramfs_pack ROOT OUT COMPRESS...
initramfs_pack() {
  local root=$1 out=$2
  shift 2
  find "$root" -exec touch -h -d "@${SOURCE_DATE_EPOCH:-0}" {} +
  (cd "$root" && find . -print0 | LC_ALL=C sort -z | cpio -o -0 -H newc -R 0:0 --reproducible --quiet) | "$@" >"$out"
}
