#!/usr/bin/env bash
# plexiscrub-cli erase reports: every erase files one where it should, the
# operator comes from the options or the settings, `report list`, `show` and
# `check` (which notices a changed byte), and a reports folder that cannot
# be written leaves the erase completed, with the error on screen and in the
# error log.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export XDG_DATA_HOME="$work/data"

cat >"$work/pc.machine" <<'MACHINE'
disk 0 size=1G bus=sata product="System"
volume C: disk=0 offset=1M length=900M
disk 1 sectors=8192 bus=usb vendor="Kingston" product="DataTraveler" serial="60A4/4C3F" media=ssd
MACHINE
files="$work/pc.files"

out=$("$cli" erase 1 --yes --verify --operator "山田 太郎" --organisation "総務部" --simulate "$work/pc.machine" 2>"$work/err")
rc=$?
[ $rc -eq 0 ] || fail "erase exited $rc: $(cat "$work/err")"
json=$(ls "$files"/reports/*.json 2>/dev/null | head -1)
[ -n "$json" ] || fail "no report in $files/reports"
[ -f "${json%.json}.html" ] || fail "no page beside $json"
grep -q "^report: ${json%.json}.html" <<<"$out" || fail "the erase does not name its report: $out"
grep -q '"operator": "山田 太郎"' "$json" || fail "operator missing"
grep -q '"organisation": "総務部"' "$json" || fail "organisation missing"

list=$("$cli" report list --simulate "$work/pc.machine")
grep -q '| Kingston DataTraveler | 60A4/4C3F | ゼロ(0x00) | erased |' <<<"$list" || fail "report list: $list"
show=$("$cli" report show "$json")
grep -q '^drive.serial: 60A4/4C3F$' <<<"$show" || fail "report show: $show"
grep -q '^verification.result: passed$' <<<"$show" || fail "report show lacks the read-back"
"$cli" report check "$json" >/dev/null || fail "an untouched report fails its check"

# One changed byte: the serial number's first digit.
sed -i 's/"serial": "60A4/"serial": "70A4/' "$json"
check=$("$cli" report check "$json" 2>&1)
rc=$?
[ $rc -ne 0 ] || fail "a changed report passes its check"
grep -q 'CHANGED' <<<"$check" || fail "the check does not say it was changed: $check"
"$cli" report check "$work/none.json" >/dev/null 2>&1 && fail "a missing file passes the check"
"$cli" report frobnicate >/dev/null 2>&1; [ $? -eq 2 ] || fail "an unknown report action is a usage error"

# The operator from the program's settings when no option gives one.
printf 'operator=text:鈴木\norganisation=text:情報システム課\n' >"$work/pc.machine.settings"
"$cli" erase 1 --yes --report "$work/chosen" --simulate "$work/pc.machine" >/dev/null 2>&1 || fail "second erase"
grep -q '"operator": "鈴木"' "$work"/chosen/*.json || fail "operator not taken from the settings"

# A reports folder that cannot be made (a network share that is gone): the
# erase stays completed, and the report is kept in the local folder, named
# on screen and in the error log.
echo "not a folder" >"$work/blocked"
before=$(ls "$files"/reports/*.json | wc -l)
out=$("$cli" erase 1 --yes --asset A-7 --report "$work/blocked/reports" --simulate "$work/pc.machine" 2>"$work/err")
rc=$?
[ $rc -eq 0 ] || fail "an unwritable report folder changed the erase's exit code to $rc"
grep -q '^result: 2 ' <<<"$out" || fail "the result changed: $out"
kept=$(sed -n 's/^report: //p' <<<"$out")
case $kept in "$files"/reports/*.html) ;; *) fail "the report was not kept locally: $out" ;; esac
[ "$(ls "$files"/reports/*.json | wc -l)" -eq $((before + 1)) ] || fail "no local report beside the others"
grep -q '"asset_number": "A-7"' "${kept%.html}.json" || fail "the local report lost the asset number"
grep -q 'so it was saved on this computer.' "$work/err" || fail "the kept report is not said: $(cat "$work/err")"
grep -q "$work/blocked/reports" "$files/errlog.log" || fail "the share that failed is not in the error log"

# The folder's reports for an asset system: a CSV with a byte order mark
# whose text fields a spreadsheet cannot run, and a JSON array.
"$cli" erase 1 --yes --asset '=cmd|calc' --simulate "$work/pc.machine" >/dev/null 2>&1 || fail "erase with a formula asset"
"$cli" report export --csv "$work/all.csv" --json "$work/all.json" --simulate "$work/pc.machine" >/dev/null ||
  fail "report export"
[ "$(head -c 3 "$work/all.csv" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "the CSV has no byte order mark"
[ "$(sed -n 1p "$work/all.csv" | tr -d '\r\357\273\277')" = date,asset,serial,model,capacity,method,outcome,category,signer,check ] ||
  fail "CSV header: $(sed -n 1p "$work/all.csv")"
rows=$(($(wc -l <"$work/all.csv") - 1))
[ "$rows" -eq "$(ls "$files"/reports/*.json | wc -l)" ] || fail "$rows CSV rows for $(ls "$files"/reports/*.json | wc -l) reports"
grep -q "^[^,]*,'=cmd|calc,60A4/4C3F,Kingston DataTraveler,4194304,ゼロ(0x00),completed,Clear,,unsigned" "$work/all.csv" ||
  fail "the formula asset's row: $(grep calc "$work/all.csv")"
# The report changed earlier is marked so, not passed off as unsigned.
grep -q ",changed"$'\r'"\$" "$work/all.csv" ||
  fail "the changed report is not marked changed: $(cat "$work/all.csv")"
python3 -c 'import json,sys; a=json.load(open(sys.argv[1])); assert len(a) == int(sys.argv[2]) and all(r["report"]["drive"] for r in a)' \
  "$work/all.json" "$rows" || fail "the JSON export is no array of the reports"
"$cli" report export --simulate "$work/pc.machine" >/dev/null 2>&1; [ $? -eq 2 ] || fail "export without a file is a usage error"
"$cli" erase 1 0 --asset A-1 --simulate "$work/pc.machine" >/dev/null 2>&1; [ $? -eq 2 ] ||
  fail "one --asset for two drives is a usage error"
# --drive names the target too, and takes its own --asset.
"$cli" erase --drive 1 --yes --asset D-1 --report "$work/by-drive" --simulate "$work/pc.machine" >/dev/null 2>&1 ||
  fail "erase --drive 1 --asset D-1"
grep -q '"asset_number": "D-1"' "$work"/by-drive/*.json 2>/dev/null || fail "--drive lost its asset number"

# A refused erase files a report too; an image file's goes to the data folder.
"$cli" erase 0 --yes --simulate "$work/pc.machine" >/dev/null 2>&1
grep -l '"outcome": "refused"' "$files"/reports/*.json >/dev/null || fail "the refused erase filed no report"
head -c 1M /dev/zero >"$work/disk.img"
"$cli" erase "$work/disk.img" --yes >/dev/null 2>&1 || fail "image erase"
ls "$XDG_DATA_HOME"/plexiscrub/reports/*.json >/dev/null 2>&1 || fail "no report under XDG_DATA_HOME"

# An image file's report is named by the file's name, not its whole path.
case $(ls "$XDG_DATA_HOME"/plexiscrub/reports/) in
  *／*) fail "the report's name holds the image's path: $(ls "$XDG_DATA_HOME"/plexiscrub/reports/)" ;;
esac
ls "$XDG_DATA_HOME"/plexiscrub/reports/*_disk.img.json >/dev/null 2>&1 || fail "the report's name lacks disk.img"

# A relative reports folder is taken from the current folder once, and the
# paths printed are where the files are.
mkdir "$work/cwd"
out=$(cd "$work/cwd" && "$cli" erase "$work/disk.img" --yes --report rep 2>&1)
page=$(sed -n 's/^report: //p' <<<"$out")
[ -n "$page" ] && (cd "$work/cwd" && [ -f "$page" ]) || fail "the printed page is not there: $out"
ls "$work"/cwd/rep/*.json >/dev/null 2>&1 || fail "no report in rep/: $(cd "$work/cwd" && find . -type f)"
[ -e "$work/cwd/rep/rep" ] && fail "the relative folder was taken twice (rep/rep)"
list=$(cd "$work/cwd" && "$cli" report list --report rep 2>&1)
grep -q 'disk.img.json' <<<"$list" || fail "report list --report rep: $list"

"$cli" list --operator x >/dev/null 2>&1; [ $? -eq 2 ] || fail "--operator outside erase is a usage error"

[ $failures -eq 0 ] && echo "cli_report: all passed"
exit $((failures > 0))
