#!/usr/bin/env bash
# include_layers.sh itself: a clean tree passes, an upward include and a
# folder outside the order fail with a message naming the file.
set -uo pipefail
check="$(dirname "$0")/include_layers.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "include_layers_test: $*"; exit 1; }

mkdir -p "$tree/src/util" "$tree/src/app"
cp "$(dirname "$0")/../src/layers.txt" "$tree/src/"
echo '#include "util/a.h"' >"$tree/src/app/b.cpp"
echo '#include <string>' >"$tree/src/util/a.h"
bash "$check" "$tree" >/dev/null || fail "a downward include was refused"

echo '#include "app/b.h"' >>"$tree/src/util/a.h"
out=$(bash "$check" "$tree") && fail "an upward include passed"
grep -q 'util/a.h:2: util/ includes app/, a higher layer' <<<"$out" || fail "unclear message: $out"

echo '#include <string>' >"$tree/src/util/a.h"
mkdir -p "$tree/src/misc"
echo '#include "util/a.h"' >"$tree/src/misc/c.cpp"
out=$(bash "$check" "$tree") && fail "a folder outside the order passed"
grep -q 'src/misc/ is not in the layer order' <<<"$out" || fail "unclear message: $out"

out=$(bash "$check" --print "$tree")
grep -qx 'app -> util ' <<<"$out" || fail "--print does not show app -> util: $out"
echo "include_layers_test: ok"
