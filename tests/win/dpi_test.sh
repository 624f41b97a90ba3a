#!/usr/bin/env bash
# The GUI on denser screens: for each LogPixels value a prefix of its own
# (the value is the prefix's, read when Wine starts), the DPI scenario of
# the GUI driver with its screenshots.
#   dpi_test.sh WINE_RUN PREFIX_BASE DRIVER EXE MACHINE SCREENSHOTS DPI...
set -euo pipefail
wine_run=$1 prefix_base=$2 driver=$3 exe=$4 machine=$5 screenshots=$6
shift 6
status=0
for dpi in "$@"; do
  prefix="$prefix_base-$dpi"
  # A new prefix is made by the first run; the value is set before the
  # program's run, in a run of its own (reg.exe), then Wine is restarted.
  "$wine_run" "$prefix" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  "$wine_run" "$prefix" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  echo "== $dpi DPI"
  # A screen of that density is as many more pixels wide: the main window
  # at 192 DPI is wider than 1280.
  PLEXISCRUB_WINE_SCREEN="$((1280 * dpi / 96))x$((1024 * dpi / 96))" \
  "$wine_run" "$prefix" "$driver" --exe="$exe" --machine="$machine" --screenshots="$screenshots" \
    --dpi="$dpi" --gtest_filter='HighDpi.*' || status=1
done
exit $status
