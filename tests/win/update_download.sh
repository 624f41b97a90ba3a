#!/usr/bin/env bash
# The release as the program's own update check sees it. scripts/package
# packages the Windows build's programs under a version one above theirs, a
# local HTTP server serves that site, and this build's about box (under
# Wine) is pointed at it: its Update button must save exactly the archive
# served, which is checked here by SHA-256.
#   update_download.sh WINE_RUN PREFIX WIN_BUILD SOURCE_ROOT
set -euo pipefail
wine_run=$1 prefix=$2 win_build=$3 root=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/update-download.XXXXXX")
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work" "${downloads:-}"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/server.log" ] && sed 's/^/server: /' "$work/server.log" >&2; exit 1; }

# The programs' own version, and the next one, which the package is named
# after so that the program sees it as newer.
built=$(sed -n 's/^#define PLEXISCRUB_VERSION_DIGITS "\(.*\)"$/\1/p' "$win_build/generated/plexiscrub_version.h")
[ -n "$built" ] || fail "no version in $win_build/generated/plexiscrub_version.h"
[ "$built" != 9999 ] || fail "no version above 9.9.9.9 to offer"
next=$(printf '%04d' $((10#$built + 1)))
newer="${next:0:1}.${next:1:1}.${next:2:1}.${next:3:1}"
archive="Plexiscrub_Up$next.zip"

"$root/scripts/package" --no-build --win-build "$win_build" --out "$work/site" --version "$newer" >/dev/null
served="$work/site/UpdateFile/$archive"
[ -f "$served" ] || fail "scripts/package made no $archive"

# A plain HTTP server on a free port of the loopback interface.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/site" >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do
  port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.out" | head -n1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "${port:-}" ] || fail "the HTTP server did not start"

# The folder dialog is steered by path, which Wine's dialog follows on drive
# C: (the prefix's own drive_c), so the download goes there.
# (A fresh prefix is made first, so that the folder is not in its way.)
[ -e "$prefix/.plexiscrub-ready" ] || "$wine_run" "$prefix" cmd /c exit 0 >/dev/null 2>&1
downloads_name="update-download-$$"
downloads="$prefix/drive_c/$downloads_name"
rm -rf "$downloads"
mkdir -p "$downloads"
"$wine_run" "$prefix" "$win_build/tests/plexiscrub_gui_driver.exe" \
  --gtest_filter='UpdateDownloadScenario.*' \
  --exe="$win_build/src/plexiscrub.exe" --machine="$root/demo/demo.machine" \
  --update-site="http://127.0.0.1:$port/" --download-folder="C:\\$downloads_name" --archive="$archive" ||
  fail "the update download scenario failed"

saved="$downloads/$archive"
[ -f "$saved" ] || fail "nothing saved as $saved"
want=$(sha256sum "$served" | cut -d' ' -f1)
got=$(sha256sum "$saved" | cut -d' ' -f1)
[ "$want" = "$got" ] || fail "saved archive differs: SHA-256 $got, served $want"
grep -q '"GET /DownLoadHtml/UpdateFilePage.html ' "$work/server.log" || fail "the update page was not asked for"
grep -q "\"GET /UpdateFile/$archive " "$work/server.log" || fail "the archive was not asked for"
echo "update download: $archive saved whole (SHA-256 $got)"
