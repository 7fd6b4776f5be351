#!/usr/bin/env bash
# zlk-print-dialog start-up on the largest sample PPD with both plug-ins:
# whole process (exec to the dialog on screen) and from main(), medians of
# 11 runs, against the 300 ms target. Offscreen unless DISPLAY is set.
#   bench/dialog_startup.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plain}
program="$build/bench/dialog_startup"
[ -x "$program" ] || { echo "build the benchmark first ($program missing)" >&2; exit 1; }
ppd=$(ls -S data/ppd/*.ppd | head -1)
cfg=$(mktemp -d)
trap 'rm -rf "$cfg"' EXIT
whole=()
inside=()
for _ in $(seq 11); do
  start=$(date +%s%N)
  ms=$(XDG_CONFIG_HOME="$cfg" "$program" "$ppd" "$build/plugins" 2>/dev/null)
  whole+=($(( ($(date +%s%N) - start) / 100000 )))
  inside+=("$ms")
done
median_whole=$(printf '%s\n' "${whole[@]}" | sort -n | sed -n 6p)
median_inside=$(printf '%s\n' "${inside[@]}" | sort -n | sed -n 6p)
echo "zlk-print-dialog start-up on $(basename "$ppd"), both plug-ins, median of 11 runs (target 300 ms):"
echo "  whole process   $((median_whole / 10)).$((median_whole % 10)) ms"
echo "  from main()     $median_inside ms"
