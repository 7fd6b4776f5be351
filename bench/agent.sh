#!/usr/bin/env bash
# zlk-print-agent's answer time: from a job arriving at the scheduler to the
# agent's window for it being shown, against a median goal of 500 ms. A
# private CUPS scheduler (bench/privatecupsd.sh) gets a queue from
# data/ppd/zelko-mfp-c4500.ppd set to ask at print time
# (job-hold-until-default=indefinite), and the build's agent, offscreen with
# the build's plug-ins, watches it. Each round submits data/samples/sample.pdf
# with lp and waits for the agent's "asking" line for that job, then cancels
# the job and waits for its window to close before the next round.
#
# A latency runs from just before lp starts to this shell reading the agent's
# line, both stamped with date +%s%N here. It includes lp's own run (start-up,
# connecting, sending the file), so it is conservative: the job reaches the
# scheduler after the first stamp. Every round starts just after the agent's
# poll (every 200 ms) that saw the last cancel, so its job waits nearly a
# whole poll: near the worst case rather than the average. The first round
# also loads the panels cold; every round is counted.
#
#   bench/agent.sh [-n rounds] [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=20
while getopts n: flag; do
  case $flag in
    n) rounds=$OPTARG ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d' >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build=${1:-build/plain}
agent=$build/host/zlk-print-agent
[ -x "$agent" ] || { echo "build the agent first ($agent missing)" >&2; exit 1; }
[ -d "$build/plugins" ] || { echo "build the plug-ins first ($build/plugins missing)" >&2; exit 1; }
source bench/privatecupsd.sh
agent_pid=
# The agent goes first: it cancels its subscription with the scheduler.
trap 'stop "$agent_pid"; cleanup' EXIT

add_queue ours data/ppd/zelko-mfp-c4500.ppd -o job-hold-until-default=indefinite

# Private session folders keep the agent clear of the user's lock and saved
# settings; its stderr comes back here line by line through a FIFO.
mkdir -m 700 "$work/run" "$work/config"
mkfifo "$work/agent.err"
QT_QPA_PLATFORM=offscreen CUPS_SERVER=$server ZLK_PLUGIN_PATH=$build/plugins \
  XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config "$agent" >/dev/null 2>"$work/agent.err" &
agent_pid=$!
exec 3<"$work/agent.err"

# Reads the agent's lines until one says $1 (a pattern); gives up when it
# ends or stays silent for 10 s.
wait_for() {
  local line said=
  while IFS= read -r -t 10 line <&3; do
    [[ $line == "zlk-print-agent: "$1 ]] && return 0
    said+=$line$'\n'
  done
  printf 'zlk-print-agent did not say "%s"; it said:\n%s' "$1" "$said" >&2
  exit 1
}

wait_for "watching the jobs of *"
latencies=()
for round in $(seq "$rounds"); do
  start=$(date +%s%N)
  id=$(lp -h "$server" -d ours -t "agent bench $round" data/samples/sample.pdf |
    sed -n 's/^request id is ours-\([0-9]*\) .*/\1/p')
  [ -n "$id" ] || { echo "lp gave no job id" >&2; exit 1; }
  wait_for "job ours-$id is held for its print settings: asking"
  end=$(date +%s%N)
  latencies+=($(((end - start) / 1000000)))
  echo "round $round: job ours-$id shown after ${latencies[-1]} ms"
  cancel -h "$server" "$id"
  wait_for "job ours-$id is no longer held; its window closes"
done

echo "zlk-print-agent, job submitted to window shown, $rounds rounds:"
printf '%s\n' "${latencies[@]}" | sort -n | awk '{ v[NR] = $1 } END {
  median = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "min %d ms, median %.1f ms, max %d ms\n", v[1], median, v[NR]
  printf "goal: median < 500 ms: %s\n", median < 500 ? "met" : "not met"
}'
