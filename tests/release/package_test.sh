#!/usr/bin/env bash
# scripts/package on stand-in programs: what the archive holds and how, that
# the same inputs give the same bytes, and that the update page names the
# archive and its digest the way the about box reads them.
#   package_test.sh SOURCE_ROOT
set -euo pipefail
root=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A Windows build folder as far as packaging looks at it.
fake_build() {
  local dir=$1 version=$2
  mkdir -p "$dir/src" "$dir/generated"
  printf 'MZ program %s' "$version" >"$dir/src/plexiscrub.exe"
  printf 'MZ cli %s' "$version" >"$dir/src/plexiscrub-cli.exe"
  printf '#define PLEXISCRUB_VERSION_TEXT "%s"\n' "$version" >"$dir/generated/plexiscrub_version.h"
}
package() { SOURCE_DATE_EPOCH=1700000000 "$root/scripts/package" --no-build "$@"; }

fake_build "$work/win" 1.1.0.2
package --win-build "$work/win" --out "$work/one" >/dev/null
zip="$work/one/UpdateFile/Plexiscrub_Up1102.zip"
page="$work/one/DownLoadHtml/UpdateFilePage.html"
[ -f "$zip" ] || fail "no archive named with the built version"
[ -f "$page" ] || fail "no update page beside the archive"

# Contents, order, time stamps and the README's encoding.
python3 - "$zip" <<'PY' || fail "archive contents"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = [i.filename for i in z.infolist()]
want = ["Plexiscrub/plexiscrub.exe", "Plexiscrub/plexiscrub-cli.exe",
        "Plexiscrub/Help/Plexiscrub.htm", "Plexiscrub/README.txt"]
assert names == want, names
assert z.read(want[0]) == b"MZ program 1.1.0.2"
assert len({i.date_time for i in z.infolist()}) == 1
readme = z.read("Plexiscrub/README.txt")
assert readme.startswith(b"\xef\xbb\xbf"), "no byte-order mark"
assert b"\n" not in readme.replace(b"\r\n", b""), "a line end that is not CRLF"
text = readme[3:].decode("utf-8")
for needed in ("1.1.0.2", "管理者", "フォルダーを丸ごと削除"):
    assert needed in text, needed
PY

# The page: the first mention of the update name is the archive (the about
# box takes the 8 characters after it), and the digest line matches.
first=$(grep -o 'Plexiscrub_Up.\{8\}' "$page" | head -n1)
[ "$first" = "Plexiscrub_Up1102.zip" ] || fail "the page first names '$first'"
digest=$(sha256sum "$zip" | cut -d' ' -f1)
grep -qx "<pre>SHA256 (Plexiscrub_Up1102.zip) = $digest</pre>" "$page" || fail "digest line"

# Reproducible: newer file times and another folder change nothing.
touch -d '2030-01-01' "$work/win/src/"*.exe
package --win-build "$work/win" --out "$work/two" >/dev/null
cmp -s "$zip" "$work/two/UpdateFile/Plexiscrub_Up1102.zip" || fail "two runs gave different archives"
cmp -s "$page" "$work/two/DownLoadHtml/UpdateFilePage.html" || fail "two runs gave different pages"

# A version override names archive and page; an older archive goes.
package --win-build "$work/win" --out "$work/one" --version 1.1.0.3 >/dev/null 2>&1
[ -f "$work/one/UpdateFile/Plexiscrub_Up1103.zip" ] || fail "no archive for the given version"
[ ! -e "$zip" ] || fail "the older archive stayed beside the new page"
grep -q 'SHA256 (Plexiscrub_Up1103.zip) = ' "$page" || fail "page not made for the given version"

# Versions the update check cannot compare, and a missing program, fail.
for bad in 1.1.0 1.10.0.2 1.1.0.2a; do
  if package --win-build "$work/win" --out "$work/bad" --version "$bad" >/dev/null 2>&1; then
    fail "version $bad accepted"
  fi
done
rm "$work/win/src/plexiscrub-cli.exe"
if package --win-build "$work/win" --out "$work/bad" >/dev/null 2>&1; then fail "packaged without the cli"; fi
echo "package: ok"
