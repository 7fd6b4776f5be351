#!/usr/bin/env bash
# Start-up of the filter against cups-filters' pdftopdf, in one run, runs of
# the two interleaved, median of 41 samples of 5 runs each (wall time, and
# CPU time of the process with its children):
#  - exec to exit: called without a job (too few arguments), each program
#    loads its libraries, says how to call it and ends;
#  - a 1-page job: the filter with a pass-through converter (cat), so it
#    is the filter's own work, against pdftopdf alone on the same page.
# Also the shared libraries each loads. Run after a build:
#   bench/startup.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plain}
filter=$build/filter/ZLKPrintFilter
pdftopdf=/usr/lib/cups/filter/pdftopdf
[ -x "$filter" ] || { echo "build the filter first ($filter missing)" >&2; exit 1; }
[ -x "$pdftopdf" ] || { echo "cups-filters' pdftopdf is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/mime" "$work/bin/filter" "$work/etc" "$work/tmp"
qpdf --empty --pages data/samples/sample.pdf 1 -- "$work/page.pdf"
printf 'application/pdf application/vnd.cups-pdf 1 passthrough\n' >"$work/data/mime/cupsfilters.convs"
printf '#!/bin/sh\nif [ $# -ge 6 ]; then exec cat "$6"; else exec cat; fi\n' >"$work/bin/filter/passthrough"
chmod +x "$work/bin/filter/passthrough"

spooler_env=(env -i PATH=/usr/bin:/bin PPD="$PWD/tests/fixtures/ppd/cp932.ppd" TMPDIR="$work/tmp"
  CONTENT_TYPE=application/pdf CUPS_SERVERROOT="$work/etc")
ours_usage() { "$filter" >/dev/null 2>&1 || true; }
pdftopdf_usage() { "$pdftopdf" >/dev/null 2>&1 || true; }
ours_job() {
  "${spooler_env[@]}" CUPS_DATADIR="$work/data" CUPS_SERVERBIN="$work/bin" \
    "$filter" 1 bench bench 1 "" "$work/page.pdf" >/dev/null 2>&1
}
pdftopdf_job() {
  "${spooler_env[@]}" CUPS_DATADIR=/usr/share/cups CUPS_SERVERBIN=/usr/lib/cups \
    "$pdftopdf" 1 bench bench 1 "" "$work/page.pdf" >/dev/null 2>&1
}

# One sample, $batch runs in a row: "wall-seconds cpu-seconds" a run (CPU:
# the runs' processes, from getrusage through the shell's time keyword,
# which counts milliseconds).
batch=5
measure() {
  local TIMEFORMAT='%3R %3U %3S' times
  times=$({ time for _ in $(seq $batch); do "$@"; done >/dev/null 2>&1; } 2>&1)
  awk -v n=$batch '{ printf "%.5f %.5f\n", $1 / n, ($2 + $3) / n }' <<<"$times"
}

declare -A walls cpus
runs=41
for _ in $(seq $runs); do
  for what in ours_usage pdftopdf_usage ours_job pdftopdf_job; do
    read -r wall cpu < <(measure "$what")
    walls[$what]+="$wall "
    cpus[$what]+="$cpu "
  done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] * 1000 }'; }
wall_ms() { echo "${walls[$1]}" | median; }
cpu_ms() { echo "${cpus[$1]}" | median; }
libs() { ldd "$1" | grep -c '=>' || true; }
row() {
  printf '%-34s %9s ms %9s ms %8s x %8s x\n' "$1" "$(wall_ms "$2")" "$(cpu_ms "$2")" \
    "$(awk -v a="$(wall_ms "$2")" -v b="$(wall_ms "$3")" 'BEGIN { printf "%.2f", a / b }')" \
    "$(awk -v a="$(cpu_ms "$2")" -v b="$(cpu_ms "$3")" 'BEGIN { printf "%.2f", a / b }')"
}

echo "Start-up, median of $runs samples of $batch runs each, interleaved"
printf '%-34s %12s %12s %10s %10s\n' "" wall CPU "wall/pdftopdf" "CPU/pdftopdf"
row "ZLKPrintFilter, exec to exit" ours_usage pdftopdf_usage
row "pdftopdf, exec to exit" pdftopdf_usage pdftopdf_usage
row "ZLKPrintFilter, 1-page job (cat)" ours_job pdftopdf_job
row "pdftopdf, 1-page job" pdftopdf_job pdftopdf_job
printf '%-34s %12s\n' "shared libraries, ZLKPrintFilter" "$(libs "$filter")"
printf '%-34s %12s\n' "shared libraries, pdftopdf" "$(libs "$pdftopdf")"
echo "target: exec to exit, ours/pdftopdf <= 1.00"
