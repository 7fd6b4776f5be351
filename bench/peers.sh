#!/usr/bin/env bash
# Times the filter against the tools named as its peers, in one run, whole
# process, median of five runs each:
#  - a 500-page vector PDF with and without the half turn, against
#    `qpdf --rotate=+180` (what turning may add) and through the real
#    cups-filters `pdftopdf` against `pdftopdf` alone;
#  - raster mode (300 dpi images) on 12 pages against Ghostscript's
#    pdfimage24 device: wall time, peak memory (largest resident set of the
#    process or any child it waited for) and output size.
# Run after a build:
#   bench/peers.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plain}
filter=$build/filter/ZLKPrintFilter
[ -x "$filter" ] || { echo "build the filter first ($filter missing)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed for peak memory" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/mime" "$work/bin/filter" "$work/etc" "$work/tmp"

# 125 copies of the 4-page sample: 500 pages of text and vector graphics;
# 3 copies: the 12 pages of the raster runs.
args=()
for _ in $(seq 125); do args+=(data/samples/sample.pdf); done
qpdf --empty --pages "${args[@]}" -- "$work/in.pdf"
qpdf --empty --pages data/samples/sample.pdf data/samples/sample.pdf data/samples/sample.pdf -- "$work/in12.pdf"

# A pass-through converter isolates the filter's own work.
printf 'application/pdf application/vnd.cups-pdf 1 passthrough\n' >"$work/data/mime/cupsfilters.convs"
printf '#!/bin/sh\nif [ $# -ge 6 ]; then exec cat "$6"; else exec cat; fi\n' >"$work/bin/filter/passthrough"
chmod +x "$work/bin/filter/passthrough"

run_filter() {  # $1: CUPS data dir, $2: CUPS server bin, $3: options, $4: input
  env -i PATH=/usr/bin:/bin PPD="$PWD/tests/fixtures/ppd/cp932.ppd" TMPDIR="$work/tmp" \
    CONTENT_TYPE=application/pdf CUPS_DATADIR="$1" CUPS_SERVERBIN="$2" CUPS_SERVERROOT="$work/etc" \
    "$filter" 1 bench bench 1 "$3" "$4" >"$work/out.prn" 2>/dev/null
}
passthrough() { run_filter "$work/data" "$work/bin" "$1" "$work/in.pdf"; }
through_pdftopdf() { run_filter /usr/share/cups /usr/lib/cups "" "$work/in.pdf"; }
# pdftopdf alone as the spooler runs it: with the same environment the
# filter gets (it takes longer with the CUPS folders set), into a file.
run_pdftopdf() {
  env -i PATH=/usr/bin:/bin PPD="$PWD/tests/fixtures/ppd/cp932.ppd" TMPDIR="$work/tmp" \
    CONTENT_TYPE=application/pdf CUPS_DATADIR=/usr/share/cups CUPS_SERVERBIN=/usr/lib/cups \
    CUPS_SERVERROOT="$work/etc" \
    /usr/lib/cups/filter/pdftopdf 1 bench bench 1 "" "$work/in.pdf" >"$work/out.pdf" 2>/dev/null
}
raster_ours() { run_filter "$work/data" "$work/bin" "ZLKPDFRasterizedMode=true" "$work/in12.pdf"; }
raster_gs() {
  gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfimage24 -r300 -sOutputFile="$work/gs.pdf" "$work/in12.pdf"
}

# Median wall time in seconds of five runs of a command; with measure_peak=1
# also the median peak resident set in KiB, into $work/peak (the time is
# read through a subshell, which keeps no variables).
median() {
  local times=() peaks=()
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    if [ "${measure_peak:-0}" = 1 ]; then
      /usr/bin/time -f %M -o "$work/rss" "$@"
      peaks+=("$(tail -1 "$work/rss")")
    else
      "$@"
    fi
    end=$(date +%s%N)
    times+=($(( end - start )))
  done
  if [ "${measure_peak:-0}" = 1 ]; then
    printf '%s\n' "${peaks[@]}" | sort -n | sed -n 3p >"$work/peak"
  fi
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | awk '{ printf "%.3f", $1 / 1e9 }'
}
# /usr/bin/time cannot run a shell function: export what the runs need.
export work filter
export -f run_filter raster_ours raster_gs

qpdf_rotate=$(median qpdf --rotate=+180 "$work/in.pdf" "$work/rot.pdf")
plain=$(median passthrough "")
turned=$(median passthrough "ZLKTurnPage=true")
unturned=$(median passthrough "ZLKTurnPage=false")
pdftopdf=$(median run_pdftopdf)
ours_full=$(median through_pdftopdf)

measure_peak=1
raster=$(median bash -c raster_ours)
raster_peak=$(cat "$work/peak")
raster_size=$(wc -c <"$work/out.prn")
gs_time=$(median bash -c raster_gs)
gs_peak=$(cat "$work/peak")
gs_size=$(wc -c <"$work/gs.pdf")
measure_peak=0

div() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
row() { printf '%-52s %8s s\n' "$1" "$2"; }

echo "500-page vector PDF, pass-through conversion; median of 5 runs"
row "ZLKPrintFilter, job without re-rendering" "$plain"
row "ZLKPrintFilter, unturned job (ZLKTurnPage=false)" "$unturned"
row "ZLKPrintFilter, turned job (ZLKTurnPage=true)" "$turned"
row "qpdf --rotate=+180" "$qpdf_rotate"
extra=$(awk -v a="$turned" -v b="$unturned" 'BEGIN { printf "%.3f", a - b }')
printf '%-52s %8s s  %6sx qpdf (target <= 1.20)\n' "turned minus unturned" "$extra" "$(div "$extra" "$qpdf_rotate")"
echo
echo "500-page vector PDF through the real converter; median of 5 runs"
row "cups-filters pdftopdf alone" "$pdftopdf"
printf '%-52s %8s s  %6sx pdftopdf (target <= 1.05)\n' "ZLKPrintFilter through pdftopdf, no re-rendering" \
  "$ours_full" "$(div "$ours_full" "$pdftopdf")"
echo
echo "Raster mode, 300 dpi, 12 pages; median of 5 runs (peak: largest resident set, children included)"
printf '%-52s %8s s  %8s MiB  %10s bytes\n' "gs -sDEVICE=pdfimage24 -r300" "$gs_time" "$(mib "$gs_peak")" "$gs_size"
printf '%-52s %8s s  %8s MiB  %10s bytes\n' "ZLKPrintFilter ZLKPDFRasterizedMode=true" "$raster" "$(mib "$raster_peak")" \
  "$raster_size"
printf '%-52s %8sx   (target <= 0.50)\n' "wall time, ours / gs" "$(div "$raster" "$gs_time")"
printf '%-52s %8s MiB (target <= 64)\n' "peak memory, ours" "$(mib "$raster_peak")"
printf '%-52s %8sx   (target <= 1.00)\n' "output size, ours / gs" "$(div "$raster_size" "$gs_size")"
