#!/usr/bin/env bash
# Erase speed of plexiscrub-cli against dd, shred and nwipe, measured in the
# same run on the same loop device. Needs root (losetup). Usage:
#   bench/erase_bench.sh [SIZE_MIB]        (default 1024)
# Prints seconds per tool and each ratio plexiscrub / other (below 1: faster).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cli="${PLEXISCRUB_CLI:-$top/build/linux/src/plexiscrub-cli}"
size_mib=${1:-1024}

[ "$(id -u)" -eq 0 ] || { echo "bench: needs root for loop devices" >&2; exit 2; }
[ -x "$cli" ] || { echo "bench: build first (scripts/build)" >&2; exit 2; }
command -v nwipe >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nwipe >/dev/null 2>&1 || true

work=$(mktemp -d)
image="$work/bench.img"
loop=""
cleanup() {
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

truncate -s "${size_mib}M" "$image"
loop=$(losetup --find --show --direct-io=on "$image")
echo "bench: ${size_mib} MiB on $loop (direct I/O)"

seconds() {  # seconds COMMAND...: wall time of one run, output discarded
  local start end
  sync
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
fill() { dd if=/dev/urandom of="$loop" bs=4M count=$((size_mib / 4)) oflag=direct status=none; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }
report() { printf '%-44s %8.2f s\n' "$1" "$2"; }

fill
ours_zero=$(seconds "$cli" erase "$loop" --method 0 --no-history --yes)
fill
dd_zero=$(seconds dd if=/dev/zero of="$loop" bs=4M oflag=direct conv=fsync)
fill
shred_zero=$(seconds shred -n 0 -z "$loop")
report "plexiscrub-cli, one pass of zeros" "$ours_zero"
report "dd if=/dev/zero bs=4M oflag=direct" "$dd_zero"
report "shred -n 0 -z (one pass of zeros)" "$shred_zero"

fill
ours_three=$(seconds "$cli" erase "$loop" --method 2 --no-history --yes)
fill
shred_three=$(seconds shred -n 2 -z "$loop")
report "plexiscrub-cli, random + 0xFF + zeros" "$ours_three"
report "shred -n 2 -z (random, random, zeros)" "$shred_three"

fill
ours_verify=$(seconds "$cli" erase "$loop" --method 0 --verify --no-history --yes)
fill
dd_verify=$(seconds sh -c "dd if=/dev/zero of=$loop bs=4M oflag=direct conv=fsync && cmp -n $((size_mib << 20)) /dev/zero $loop")
report "plexiscrub-cli, zeros and read-back" "$ours_verify"
report "dd zeros, then cmp against /dev/zero" "$dd_verify"

if command -v nwipe >/dev/null; then
  fill
  nwipe_zero=$(seconds nwipe --autonuke --nogui --nowait --method=zero --verify=off --noblank "$loop")
  report "nwipe --method=zero" "$nwipe_zero"
fi

echo
echo "ratios (plexiscrub-cli time / other time; below 1 is faster):"
echo "  zeros vs dd:            $(ratio "$ours_zero" "$dd_zero")"
echo "  zeros vs shred:         $(ratio "$ours_zero" "$shred_zero")"
echo "  three passes vs shred:  $(ratio "$ours_three" "$shred_three")"
echo "  zeros+verify vs dd+cmp: $(ratio "$ours_verify" "$dd_verify")"
[ -n "${nwipe_zero:-}" ] && echo "  zeros vs nwipe:         $(ratio "$ours_zero" "$nwipe_zero")"
exit 0
