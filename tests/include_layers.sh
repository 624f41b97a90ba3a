#!/usr/bin/env bash
# The folders of src/ stacked in layers: a file may include headers of its
# own folder and of the folders below it, never of one above. This lists
# every `#include "folder/..."` in src/ and fails on an arrow that points up
# (which also rules out cycles) or at a folder missing from the order.
#
#   include_layers.sh [--print] [SOURCE_ROOT]
#
# --print writes the folder-to-folder graph instead of checking it.
set -euo pipefail

print=0
if [[ "${1:-}" == "--print" ]]; then
  print=1
  shift
fi
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
src="$root/src"
[[ -d "$src" ]] || { echo "include_layers: no src/ folder under $root" >&2; exit 2; }

# Lowest first, as the build reads them too.
[[ -f "$src/layers.txt" ]] || { echo "include_layers: no src/layers.txt under $root" >&2; exit 2; }
mapfile -t LAYERS < <(grep -E '^[a-z]' "$src/layers.txt")

declare -A rank
for i in "${!LAYERS[@]}"; do rank[${LAYERS[$i]}]=$i; done

# "from to file:line" for each include of another folder's header.
arrows=$(cd "$src" && grep -rnE --include='*.h' --include='*.cpp' --include='*.rc' \
           '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[A-Za-z0-9_]+/' . |
         sed -E 's|^\./([^/]+)/([^:]*):([0-9]+):.*#[[:space:]]*include[[:space:]]+"([^/]+)/.*|\1 \4 \1/\2:\3|' |
         awk '$1 != $2')

if (( print )); then
  for from in "${LAYERS[@]}"; do
    targets=$(awk -v f="$from" '$1 == f {print $2}' <<<"$arrows" | sort -u | tr '\n' ' ')
    echo "$from -> ${targets:-(nothing)}"
  done
  exit 0
fi

failures=0
while read -r from to where; do
  [[ -z "$from" ]] && continue
  if [[ -z "${rank[$from]+x}" ]]; then
    echo "$where: folder src/$from/ is not in the layer order (src/layers.txt)"
    failures=$((failures + 1))
  elif [[ -z "${rank[$to]+x}" ]]; then
    echo "$where: includes from src/$to/, which is not in the layer order (src/layers.txt)"
    failures=$((failures + 1))
  elif (( rank[$to] > rank[$from] )); then
    echo "$where: $from/ includes $to/, a higher layer (order, lowest first: ${LAYERS[*]})"
    failures=$((failures + 1))
  fi
done <<<"$arrows"

# A folder of src/ with sources but no place in the order.
for dir in "$src"/*/; do
  name=$(basename "$dir")
  if [[ -z "${rank[$name]+x}" ]]; then
    echo "src/$name/ is not in the layer order (src/layers.txt)"
    failures=$((failures + 1))
  fi
done

if (( failures )); then
  echo "include_layers: $failures include(s) against the layer order"
  exit 1
fi
echo "include_layers: every include points down (${LAYERS[*]})"
