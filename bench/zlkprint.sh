#!/usr/bin/env bash
# zlk-print --options on the largest sample PPD with both plug-ins, whole
# process: the median of 21 runs, against the 150 ms a dialog host may take.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plain}
ppd=$(ls -S data/ppd/*.ppd | head -1)
cfg=$(mktemp -d)
trap 'rm -rf "$cfg"' EXIT
times=()
for _ in $(seq 21); do
  start=$(date +%s%N)
  ZLK_PLUGIN_PATH="$build/plugins" XDG_CONFIG_HOME="$cfg" "$build/host/zlk-print" --ppd "$ppd" --options >/dev/null
  times+=($(( ($(date +%s%N) - start) / 1000 )))
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 11p)
echo "zlk-print --options on $(basename "$ppd"), both plug-ins: median $((median / 1000)).$(( (median % 1000) / 100 )) ms of 21 runs (target 150 ms)"
