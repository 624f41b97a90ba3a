#!/usr/bin/env bash
# Renders erase report pages with headless Chromium as a reader would print
# them: each must fit one A4 page. The long ones are made on purpose (three
# passes, a resumed erase with a read-back; an erase around a bad sector
# of a drive that hides sectors, with its errors;
# long names). The pictures and PDFs are kept in ARTIFACTS for a person to
# look at.
#
#   render_report.sh CLI ARTIFACTS
set -u
cli=$1
artifacts=$2
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ] || ! command -v pdfinfo >/dev/null; then
  echo "render_report: chromium or pdfinfo missing (scripts/setup installs them)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cat >"$work/pc.machine" <<'MACHINE'
system-directory "C:\Windows\system32"
clock 2026-12-08 09:30:00
disk 0 size=1G bus=sata product="System"
volume C: disk=0 offset=1M length=900M
disk 1 sectors=16384 bus=usb vendor="SanDisk" product="Extreme PRO USB 3.2 Solid State Flash Drive" serial="4C530001230815117433AB" revision="1.00" removable=yes media=ssd
record disk=1 kind=resume chunk=9 method=2 pass=1
disk 2 sectors=16384 bus=sata product="WDC WD10EZEX-08WN4A0" serial="WD-WCC6Y0KXJ4PN" revision="01.01A01" media=hdd hpa=2048 dco=128 hpa-frozen=yes
fault disk=2 op=write sector=9000 error=1117
MACHINE
cat >"$work/pc.machine.settings" <<'SETTINGS'
operator=text:山田 太郎（情報システム部 資産管理課）
organisation=text:株式会社サンプル商事 東京本社 情報システム部
operator_title=text:資産管理課 主任 データ消去担当
operator_location=text:東京都千代田区丸の内二丁目 サンプルビル 12階 情報システム部 作業室
operator_contact=text:03-1234-5678 内線 4321 / yamada.taro@example.co.jp
validator=text:佐藤 花子（情報セキュリティ室）
validator_title=text:情報セキュリティ室 室長代理
validator_organisation=text:株式会社サンプル商事 東京本社 情報セキュリティ室
validator_location=text:東京都千代田区丸の内二丁目 サンプルビル 14階
validator_contact=text:03-1234-5679 / sato.hanako@example.co.jp
media_destination=text:recycling
SETTINGS

# Signed, as an organisation's reports are: the key's line is on the page.
"$cli" report keygen --simulate "$work/pc.machine" >/dev/null 2>&1 || fail "report keygen"
"$cli" erase 1 --yes --resume --verify --asset "TKY-2026-IT-000123-A" --source "経理部 共用PC TKY-PC-0456（3階 経理課）" --report "$work/r" --simulate "$work/pc.machine" >/dev/null 2>&1
"$cli" erase 2 --yes --method 2 --verify --asset "TKY-2026-IT-000124-B" --report "$work/r" --simulate "$work/pc.machine" >/dev/null 2>&1

render() {  # PAGE NAME
  local page=$1 name=$2
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --no-pdf-header-footer --print-to-pdf-no-header \
    --print-to-pdf="$artifacts/$name.pdf" "file://$page" >/dev/null 2>&1
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=794,1123 \
    --screenshot="$artifacts/$name.png" "file://$page" >/dev/null 2>&1
  [ -s "$artifacts/$name.pdf" ] || { fail "$name: no PDF"; return; }
  [ -s "$artifacts/$name.png" ] || fail "$name: no screenshot"
  local pages
  pages=$(pdfinfo "$artifacts/$name.pdf" | awk '/^Pages:/ {print $2}')
  [ "$pages" = 1 ] || fail "$name: $pages pages printed, not one"
  pdfinfo "$artifacts/$name.pdf" | grep -q 'A4' || fail "$name: not printed on A4"
}

n=0
for page in "$work"/r/*.html; do
  [ -e "$page" ] || { fail "no report pages were written"; break; }
  n=$((n + 1))
  grep -q '"outcome": "completed"' "${page%.html}.json" && name=erase-report || name=erase-report-$n
  render "$page" "$name"
done
[ $n -eq 2 ] || fail "expected two reports, found $n"

[ $failures -eq 0 ] && echo "render_report: every page fits one A4 sheet; pictures in $artifacts"
exit $((failures > 0))
