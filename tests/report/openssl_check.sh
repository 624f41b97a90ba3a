#!/usr/bin/env bash
# A signed report checked without Plexiscrub: the command lines of
# docs/erase-report.md ("Checking a report without Plexiscrub") run as they
# stand on a report the tool signed for a simulated machine, Japanese text
# in it; an edit with its digest computed again fails them and `report
# check`; `check --key` tells keys apart; an unsigned report says so.
set -u
cli=$1
doc=$2/docs/erase-report.md
command -v jq >/dev/null && command -v openssl >/dev/null || { echo "jq or openssl missing (scripts/setup)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

cat >"$work/pc.machine" <<'MACHINE'
disk 0 size=1G bus=sata product="System"
volume C: disk=0 offset=1M length=900M
disk 1 sectors=8192 bus=usb vendor="バッファロー" product="外付けSSD" serial="日本-0042" media=ssd
MACHINE
sim=(--simulate "$work/pc.machine")
files="$work/pc.files"
# The doc's lines, from between its markers.
sed -n '/<!-- openssl-check -->/,/<!-- \/openssl-check -->/p' "$doc" | sed '1,2d;$d' | sed '$d' >"$work/check.sh"
grep -q '^openssl dgst -sha256 -verify' "$work/check.sh" || fail "no openssl lines taken from $doc"
python_line=$(grep '^python3 -c' "$doc")

# An unsigned report first: it passes with the warning, and fails with --key.
"$cli" erase 1 --yes --operator "山田 太郎" --organisation "総務部" "${sim[@]}" >/dev/null 2>&1 || fail "unsigned erase"
unsigned=$(ls "$files"/reports/*.json | head -1)
out=$("$cli" report check "$unsigned" 2>&1) || fail "an unsigned report fails its check: $out"
grep -q '^signature: none: unsigned, digest only' <<<"$out" || fail "no warning for an unsigned report: $out"
mkdir "$work/reports-unsigned" && mv "$files"/reports/* "$work/reports-unsigned/"

out=$("$cli" report keygen "${sim[@]}") || fail "keygen: $out"
fingerprint=$(sed -n 's/^signing key: //p' <<<"$out")
grep -q "^public key: $files/signing-key.public.pem$" <<<"$out" || fail "keygen names no public key: $out"
[ "$(stat -c %a "$files/signing-key.private")" = 600 ] || fail "the private key is not 0600"
[ ! -e "$work/config" ] || fail "keygen with --simulate touched the configuration folder"
"$cli" report keygen "${sim[@]}" >/dev/null 2>&1 && fail "keygen replaced a key unasked"
"$cli" report check "$unsigned" --key "$files/signing-key.public.pem" >/dev/null 2>&1 && fail "an unsigned report passes --key"

"$cli" erase 1 --yes --operator $'山田 "太郎"\x7f\\' --organisation "総務部 情報課" "${sim[@]}" >/dev/null 2>&1 || fail "signed erase"
json=$(ls "$files"/reports/*.json | head -1)
mkdir "$work/o" && cp "$json" "$work/o/report.json" && cp "$files/signing-key.public.pem" "$work/o/"
out=$(cd "$work/o" && bash -e "$work/check.sh" 2>&1) || fail "the doc's openssl lines fail on a signed report: $out"
[ "$(grep -c '^Verified OK$' <<<"$out")" = 2 ] || fail "openssl did not verify twice: $out"
[ "$(grep -c "^$fingerprint$" <<<"$out")" = 2 ] || fail "the fingerprints differ from $fingerprint: $out"
grep -q "$fingerprint" "${json%.json}.html" || fail "the page lacks the key's fingerprint"
"$cli" report canonical "$json" >"$work/canonical.txt"
cmp -s "$work/canonical.txt" "$work/o/canonical.txt" || fail "jq -jcS .report differs from report canonical"
(cd "$work/o" && eval "$python_line") && cmp -s "$work/canonical.txt" "$work/o/canonical.txt" ||
  fail "the doc's python3 line differs from report canonical"
"$cli" report export --csv "$work/all.csv" "${sim[@]}" >/dev/null || fail "report export"
grep -q ",$fingerprint,signed"$'\r'"\$" "$work/all.csv" || fail "the export names no signer: $(cat "$work/all.csv")"
out=$("$cli" report check "$json" --key "$files/signing-key.public.pem") || fail "check --key with the signer's key: $out"
grep -q "^signature: valid, signed by key $fingerprint$" <<<"$out" || fail "check names no key: $out"

# The facts edited with the digest computed again, as anyone can.
jq '.report.bytes_written += 512 | .report.method.resume_point = {"pass": 1, "chunk": 3}' "$json" >"$work/edited.json"
digest=$("$cli" report canonical "$work/edited.json" | sha256sum | cut -d' ' -f1)
jq --arg d "$digest" '.digest.value = $d' "$work/edited.json" >"$work/o/report.json"
out=$("$cli" report check "$work/o/report.json" 2>&1) && fail "an edited signed report passes its check: $out"
grep -q '^digest: .* (unchanged)$' <<<"$out" || fail "the recomputed digest should match: $out"
grep -q '^signature: INVALID' <<<"$out" || fail "the check does not call the signature invalid: $out"
out=$(cd "$work/o" && bash -e "$work/check.sh" 2>&1) && fail "openssl verifies an edited report: $out"
grep -q 'Verification failure' <<<"$out" || fail "openssl says no verification failure: $out"

# Another organisation's key: its own signature is valid, but not ours.
mkdir "$work/other" && printf 'disk 0 size=1G bus=sata\n' >"$work/other/x.machine"
"$cli" report keygen --simulate "$work/other/x.machine" >/dev/null || fail "second keygen"
"$cli" report check "$json" --key "$work/other/x.files/signing-key.public.pem" >/dev/null 2>&1 &&
  fail "a report passes --key of another key"
out=$("$cli" report keygen --replace "${sim[@]}") || fail "keygen --replace: $out"
grep -q "$fingerprint" <<<"$out" && fail "--replace kept the old key"
"$cli" report check "$json" >/dev/null || fail "a report signed by the replaced key no longer verifies"

[ $failures -eq 0 ] && echo "report.openssl: all passed"
exit $((failures > 0))
