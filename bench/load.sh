#!/usr/bin/env bash
# Print-server load, in one run: a private CUPS scheduler (bench/privatecupsd.sh:
# its own server root, spool and logs, a port on loopback, FileDevice Yes)
# with two queues printing into files:
#  - ours: a sample PPD (data/ppd) whose filter is the build's ZLKPrintFilter,
#    copied into the scheduler's private filter folder (never an installed one);
#  - generic: cups-filters' generic PDF printer, whose only filter is pdftopdf.
# N clients submit M jobs each with lp at once; rounds alternate between the
# queues. Per queue it prints jobs per second (first submission to last job
# ended), CPU seconds per job, peak memory and failures, then ours/generic.
#
# CPU is what the scheduler's children used: the growth of cupsd's cutime and
# cstime (/proc/PID/stat) over a round. Each filter is the scheduler's child
# and reaps what it starts (our filter its pdftopdf), so that is the sum over
# every filter process of the round, and nothing else: the scheduler's own
# work and the clients are left out. Peak memory is the largest total resident
# set of the scheduler's descendants, sampled every 50 ms.
#
#   bench/load.sh [-n clients] [-m jobs] [-r rounds] [-p pages] [-q ppd] [build-dir]
#
# The document is data/samples/sample.pdf repeated to the given number of
# pages (4 by default; -p 100 makes a 100-page job). Jobs ask for its paper
# (Letter) in both queues, so pdftopdf does the same work in each whatever
# the queues' default paper. Run as root the scheduler runs its filters as
# lp, as an installed one does.
set -euo pipefail
cd "$(dirname "$0")/.."

clients=16 jobs=10 rounds=2 pages=4 ppd=data/ppd/zelko-mfp-c4500.ppd
while getopts n:m:r:p:q: flag; do
  case $flag in
    n) clients=$OPTARG ;;
    m) jobs=$OPTARG ;;
    r) rounds=$OPTARG ;;
    p) pages=$OPTARG ;;
    q) ppd=$OPTARG ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d' >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build=${1:-build/plain}
generic_ppd=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
[ -f "$generic_ppd" ] || { echo "cups-filters' $generic_ppd is needed" >&2; exit 1; }
source bench/privatecupsd.sh
sampler_pid=
trap 'stop "$sampler_pid"; cleanup' EXIT

make_job_pdf "$pages"

add_queue ours "$ppd"
add_queue generic "$generic_ppd"

# CPU seconds the scheduler's reaped children used so far (cutime + cstime).
children_cpu() {
  awk -v tick="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%.3f\n", ($14 + $15) / tick }' "/proc/$cupsd_pid/stat"
}

# Total resident set of the scheduler's descendants now, in KiB.
descendants_rss() {
  awk -v root="$cupsd_pid" -v page="$(getconf PAGESIZE)" '
    FNR == 1 { line = $0; pid = line; sub(/ .*/, "", pid); sub(/^.*\) /, "", line); split(line, f, " ")
               parent[pid] = f[2]; rss[pid] = f[22] }
    END {
      total = 0
      for (p in parent) {
        for (q = parent[p]; q != "" && q != 0 && q != root; q = parent[q]) {}
        if (q == root) total += rss[p]
      }
      print total * page / 1024
    }' /proc/[0-9]*/stat 2>/dev/null
}

sample_memory() {  # keeps the peak in $1 until killed
  local peak=0 now
  echo 0 >"$1"
  while :; do
    now=$(descendants_rss || true)
    now=${now%.*}
    if [ "${now:-0}" -gt "$peak" ]; then
      peak=$now
      echo "$peak" >"$1"
    fi
    sleep 0.05
  done
}

# Jobs the scheduler has logged as completed so far.
completed_jobs() {
  grep -c "Job completed" "$work/log/error_log" || true
}

# One round: every client submits its jobs at once; the round ends when the
# queue is empty. Prints "seconds cpu-seconds peak-KiB completed".
round() {  # $1: queue
  local queue=$1 cpu0 done0 start end pids=()
  cpu0=$(children_cpu)
  done0=$(completed_jobs)
  sample_memory "$work/peak" &
  sampler_pid=$!
  start=$(date +%s%N)
  for c in $(seq "$clients"); do
    (
      for j in $(seq "$jobs"); do
        lp -h "$server" -d "$queue" -t "load $c-$j" -o media=Letter "$work/doc/job.pdf" >/dev/null 2>&1 || true
      done
    ) &
    pids+=($!)
  done
  wait "${pids[@]}"
  while [ -n "$(lpstat -h "$server" -o "$queue" 2>/dev/null)" ]; do sleep 0.05; done
  end=$(date +%s%N)
  kill "$sampler_pid" 2>/dev/null || true
  wait "$sampler_pid" 2>/dev/null || true
  sampler_pid=
  awk -v s="$start" -v e="$end" -v c0="$cpu0" -v c1="$(children_cpu)" -v peak="$(cat "$work/peak")" \
    -v ok="$(($(completed_jobs) - done0))" 'BEGIN { printf "%.3f %.3f %d %d\n", (e - s) / 1e9, c1 - c0, peak, ok }'
}

total=$((clients * jobs))
declare -A seconds cpu peak completed
for q in ours generic; do seconds[$q]=0 cpu[$q]=0 peak[$q]=0 completed[$q]=0; done
# A round of each first, not counted: caches warm up alike for both.
round ours >/dev/null
round generic >/dev/null
for _ in $(seq "$rounds"); do
  for q in ours generic; do
    read -r s c p ok < <(round "$q")
    seconds[$q]=$(awk -v a="${seconds[$q]}" -v b="$s" 'BEGIN { print a + b }')
    cpu[$q]=$(awk -v a="${cpu[$q]}" -v b="$c" 'BEGIN { print a + b }')
    [ "$p" -gt "${peak[$q]}" ] && peak[$q]=$p
    completed[$q]=$((completed[$q] + ok))
  done
done

n=$((rounds * total))
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "Private cupsd: $clients clients x $jobs jobs of a $pages-page PDF, $rounds rounds per queue, alternating"
printf '%-8s %4s %4s %8s %10s %9s %9s\n' queue N M 'jobs/s' 'CPU s/job' 'peak MiB' failures
for q in ours generic; do
  awk -v q="$q" -v N="$clients" -v M="$jobs" -v n="$n" -v s="${seconds[$q]}" -v c="${cpu[$q]}" \
    -v p="${peak[$q]}" -v ok="${completed[$q]}" \
    'BEGIN { printf "%-8s %4d %4d %8.2f %10.4f %9.1f %9d\n", q, N, M, n / s, c / n, p / 1024, n - ok }'
done
echo
printf '%-32s %6sx (target <= 1.30)\n' "CPU per job, ours / generic" "$(ratio "${cpu[ours]}" "${cpu[generic]}")"
printf '%-32s %6sx (target >= 0.80)\n' "jobs per second, ours / generic" \
  "$(ratio "${seconds[generic]}" "${seconds[ours]}")"
printf '%-32s %6sx\n' "peak memory, ours / generic" "$(ratio "${peak[ours]}" "${peak[generic]}")"
