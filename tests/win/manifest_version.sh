#!/usr/bin/env bash
# The program's embedded manifest carries the project's version as its
# assembly version, the one the version resource and the report name.
#   manifest_version.sh PLEXISCRUB_EXE VERSION
set -euo pipefail
exe=$1 version=$2
found=$(grep -ao 'name="QandZ.Plexiscrub" version="[^"]*"' "$exe" | head -n 1 || true)
want="name=\"QandZ.Plexiscrub\" version=\"$version\""
if [ "$found" != "$want" ]; then
  echo "manifest: found '${found:-no assembly identity}', want '$want'" >&2
  exit 1
fi
