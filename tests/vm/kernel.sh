#!/usr/bin/env bash
# Fetches Debian's standard kernel (linux-image-amd64: the cloud kernel has
# no AHCI, USB or xHCI drivers) for the test virtual machine into CACHE
# (default: build/vm-cache) and prints the folder it is unpacked in, which
# holds boot/vmlinuz-*, boot/config-* and lib/modules/VERSION with its
# modules.dep. Does nothing when the cache already holds an unpacked kernel.
#   tests/vm/kernel.sh [CACHE]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cache=${1:-${PLEXISCRUB_VM_CACHE:-$top/build/vm-cache}}
meta=linux-image-amd64
# Its own folder: a cache from before holds the cloud kernel in kernel/.
unpacked_dir=$cache/amd64

die() { echo "kernel.sh: $*" >&2; exit 1; }

unpacked() { compgen -G "$unpacked_dir/boot/vmlinuz-*" >/dev/null; }
if unpacked; then
  echo "$unpacked_dir"
  exit 0
fi

command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null ||
  die "apt-get and dpkg-deb are needed to fetch the kernel (a Debian machine)"
command -v depmod >/dev/null || [ -x /usr/sbin/depmod ] || [ -x /sbin/depmod ] || die "depmod is needed (package kmod)"

# The meta package only depends on the versioned one that holds the kernel.
versioned() {
  apt-cache depends "$meta" 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n1
}
package=$(versioned)
if [ -z "$package" ]; then
  # A fresh machine may have no package lists yet.
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "kernel.sh: updating the package lists to find $meta" >&2
  "${sudo_cmd[@]}" apt-get update -qq >&2 || die "apt-get update failed (is the package mirror reachable?)"
  package=$(versioned)
  [ -n "$package" ] || die "no package $meta in the package lists, or it names no versioned kernel"
fi

mkdir -p "$cache/download"
rm -rf "$cache/download"/*.deb "$unpacked_dir.partial"
# apt-get download warns when its sandbox user cannot write the folder.
(cd "$cache/download" && apt-get download -q "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed' >&2) ||
  true
deb=$(compgen -G "$cache/download/${package}_*.deb" | head -n1) || true
[ -n "$deb" ] && [ -s "$deb" ] || die "could not download $package (is the package mirror reachable?)"

# Unpacked beside the final folder and renamed, so a broken run leaves no
# half kernel that a later run would take as ready.
dpkg-deb -x "$deb" "$unpacked_dir.partial" || die "$deb is not a package dpkg-deb can unpack"
compgen -G "$unpacked_dir.partial/boot/vmlinuz-*" >/dev/null || die "$package holds no boot/vmlinuz-*"
# The package leaves modules.dep to its installation: depmod makes it here.
version=$(basename "$(compgen -G "$unpacked_dir.partial/lib/modules/*" | head -n1)")
command -v depmod >/dev/null || PATH=$PATH:/usr/sbin:/sbin
depmod -b "$unpacked_dir.partial" "$version" || die "depmod failed on $package (package kmod)"
rm -rf "$unpacked_dir"
mv "$unpacked_dir.partial" "$unpacked_dir"
rm -f "$deb"
echo "kernel.sh: unpacked $package into $unpacked_dir" >&2
echo "$unpacked_dir"
