#!/usr/bin/env bash
# Times the filter's re-rendering of a 500-page vector PDF (every page turned
# by 180 degrees) against the tools named as peers, in one run, and prints
# each time as a ratio to `qpdf --rotate`. Run after a build:
#   bench/peers.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plain}
filter=$build/filter/ZLKPrintFilter
[ -x "$filter" ] || { echo "build the filter first ($filter missing)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/mime" "$work/bin/filter" "$work/etc" "$work/tmp"

# 125 copies of the 4-page sample: 500 pages of text and vector graphics.
args=()
for _ in $(seq 125); do args+=(data/samples/sample.pdf); done
qpdf --empty --pages "${args[@]}" -- "$work/in.pdf"

# A pass-through converter isolates the filter's own work.
printf 'application/pdf application/vnd.cups-pdf 1 passthrough\n' >"$work/data/mime/cupsfilters.convs"
printf '#!/bin/sh\nif [ $# -ge 6 ]; then exec cat "$6"; else exec cat; fi\n' >"$work/bin/filter/passthrough"
chmod +x "$work/bin/filter/passthrough"

run_filter() {  # $1: CUPS data dir, $2: CUPS server bin
  env -i PATH=/usr/bin:/bin PPD="$PWD/tests/fixtures/ppd/cp932.ppd" TMPDIR="$work/tmp" \
    CONTENT_TYPE=application/pdf CUPS_DATADIR="$1" CUPS_SERVERBIN="$2" CUPS_SERVERROOT="$work/etc" \
    "$filter" 1 bench bench 1 "ZLKTurnPage=true" "$work/in.pdf" >"$work/out.prn" 2>/dev/null
}
run_pdftopdf() {
  env -i PATH=/usr/bin:/bin PPD="$PWD/tests/fixtures/ppd/cp932.ppd" TMPDIR="$work/tmp" \
    /usr/lib/cups/filter/pdftopdf 1 bench bench 1 "" "$work/in.pdf" >"$work/out.pdf" 2>/dev/null
}

# Median wall time in seconds of five runs of a command.
median() {
  local times=()
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@"
    end=$(date +%s%N)
    times+=($(( end - start )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | awk '{ printf "%.3f", $1 / 1e9 }'
}

qpdf_rotate=$(median qpdf --rotate=+180 "$work/in.pdf" "$work/rot.pdf")
pdftopdf=$(median run_pdftopdf)
ours=$(median run_filter "$work/data" "$work/bin")
ours_full=$(median run_filter /usr/share/cups /usr/lib/cups)

ratio() { awk -v a="$1" -v b="$qpdf_rotate" 'BEGIN { printf "%.2f", a / b }'; }
echo "500-page vector PDF, every page turned; median of 5 runs"
printf '%-44s %8s s  %6sx\n' "qpdf --rotate=+180" "$qpdf_rotate" "1.00"
printf '%-44s %8s s  %6sx\n' "cups-filters pdftopdf" "$pdftopdf" "$(ratio "$pdftopdf")"
printf '%-44s %8s s  %6sx\n' "ZLKPrintFilter (pass-through conversion)" "$ours" "$(ratio "$ours")"
printf '%-44s %8s s  %6sx\n' "ZLKPrintFilter (through pdftopdf)" "$ours_full" "$(ratio "$ours_full")"
