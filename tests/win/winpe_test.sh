#!/usr/bin/env bash
# Both programs in a prefix that looks like Windows PE: the MiniNT control
# key set, and no WinINet (not every Windows PE image carries it), so a
# static import of it would stop the programs before their first line. The
# command-line tool lists the simulated drives, and the GUI shows the rows
# the tool lists.
#   winpe_test.sh WINE_RUN PREFIX DRIVER EXE CLI MACHINE SCREENSHOTS
set -euo pipefail
wine_run=$1 prefix=$2 driver=$3 exe=$4 cli=$5 machine=$6 screenshots=$7
mkdir -p "$screenshots"

# Each setting in a run of its own (reg.exe) before the programs' runs.
"$wine_run" "$prefix" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\MiniNT' /f >/dev/null
# An empty override disables the library.
"$wine_run" "$prefix" reg add 'HKCU\Software\Wine\DllOverrides' /v wininet /t REG_SZ /d '' /f >/dev/null
"$wine_run" "$prefix" reg query 'HKLM\SYSTEM\CurrentControlSet\Control\MiniNT' >/dev/null

listed=$("$wine_run" "$prefix" "$cli" list --simulate "$machine" | tr -d '\r')
echo "$listed"
for product in 'SanDisk Cruzer Blade' 'WDC WD10EZEX'; do
  grep -q "$product" <<<"$listed" || { echo "winpe: the list lacks $product" >&2; exit 1; }
done

"$wine_run" "$prefix" "$driver" --exe="$exe" --machine="$machine" --cli="$cli" --screenshots="$screenshots" \
  --gtest_filter='MainWindow.LayoutToolbarAndTheRowsOfBothViewsAsTheCommandLineToolLists:DriveList.ClickEnablesTheButtonsTheSelectedRowAllows'
