#!/usr/bin/env bash
# The about box's pictures: at rest and during a download from a local
# server. Saved as PNG in OUTDIR.
#   about_screenshots.sh WINE_RUN PREFIX ABOUT_BOX_EXE OUTDIR
set -euo pipefail
wine_run=$1 prefix=$2 program=$3 outdir=$4
mkdir -p "$outdir"
for shot in about about_downloading; do
  rm -f "$outdir/$shot.bmp" "$outdir/$shot.png"
  extra=()
  [ "$shot" = about_downloading ] && extra=(--downloading)
  "$wine_run" "$prefix" "$program" --serve "${extra[@]}" "--screenshot=$outdir/$shot.bmp"
  convert "$outdir/$shot.bmp" "$outdir/$shot.png"
  rm -f "$outdir/$shot.bmp"
  echo "screenshot: $outdir/$shot.png"
done
