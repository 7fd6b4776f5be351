#!/usr/bin/env bash
# The Printer Application against the classic queue, in one run, on the same
# jobs, both printing through the build's ZLKPrintFilter into files:
#  - classic: a private CUPS scheduler (bench/privatecupsd.sh: its own server
#    root, spool and logs, a port on loopback, FileDevice Yes) with a queue
#    from data/ppd/zelko-mfp-c4500.ppd, the build's filter copied into its
#    private filter folder (never an installed one);
#  - printerapp: the build's zlk-printer-app on another free loopback port
#    with a state folder of its own, models from data/ppd and the build's
#    filter (ZLK_PRINTER_APP_FILTER), a zelko_mfp_c4500 printer added with
#    ipptool (tests/printerapp/add-printer.test) printing into a file.
# Both get the same requests: N clients at once each send M jobs one after the
# other with ipptool's Print-Job (bench/printerapp-job.test, document-format
# application/pdf, media Letter), to ipp://127.0.0.1:PORT/printers/ours and
# ipp://127.0.0.1:PORT/ipp/print/ours; with -w each client also waits for its
# job to end before sending the next (-w -n 1: one job at a time, nothing
# queued). A round runs from the first submission until the printer reports no
# job left (queued-job-count 0, polled every 50 ms with
# bench/printerapp-idle.test); rounds alternate between the roads after an
# uncounted warm-up round of each. Per road it prints jobs per second, CPU
# seconds per job and failures (jobs sent but not logged as completed), then
# printer app / classic.
#
# PAPPL 1.3.1 on its own would start some jobs twice, or two jobs on one
# device, once jobs queue up, and crash; zlk-printer-app keeps it from that
# (printerapp/papplmends.h). Should a server still end during a round, the
# script stops with its exit status and its log's last lines.
#
# CPU is the growth of the server's own utime + stime and of its reaped
# children's cutime + cstime (/proc/PID/stat) over a round: the server's
# process tree. Each server starts the filter as its child, which reaps its
# pdftopdf, so "filters" is every filter process of the round; "server" is
# the server's own work (IPP, spooling, logging, and for the Printer
# Application also copying the filter's output onto its device, which the
# scheduler leaves to the filter's own stdout). The clients are left out.
#
#   bench/printerapp.sh [-w] [-n clients] [-m jobs] [-r rounds] [-p pages] [build-dir]
#
# The document is data/samples/sample.pdf repeated to the given number of
# pages (4 by default; -p 100 makes a 100-page job). Both servers log at
# level info. Run as root the scheduler runs its filters as lp, as an
# installed one does; the Printer Application runs them as its own user.
set -euo pipefail
cd "$(dirname "$0")/.."

clients=5 jobs=10 rounds=1 pages=4 wait=()
while getopts n:m:r:p:w flag; do
  case $flag in
    n) clients=$OPTARG ;;
    m) jobs=$OPTARG ;;
    r) rounds=$OPTARG ;;
    p) pages=$OPTARG ;;
    w) wait=(-d wait=1) ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d' >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build=${1:-build/plain}
app=$build/printerapp/zlk-printer-app
[ -x "$app" ] || { echo "build the printer application first ($app missing)" >&2; exit 1; }
command -v ipptool >/dev/null || { echo "ipptool is needed" >&2; exit 1; }
source bench/privatecupsd.sh
app_pid=
trap 'stop "$app_pid"; cleanup' EXIT

make_job_pdf "$pages"

# The classic road.
add_queue ours data/ppd/zelko-mfp-c4500.ppd

# The Printer Application road: a port on loopback that nothing answers on.
app_port=
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 40000))
  if [ "$candidate" != "$port" ] && ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
    app_port=$candidate
    break
  fi
done
[ -n "$app_port" ] || { echo "no free port on loopback" >&2; exit 1; }
app_root=$work/app
mkdir -p "$app_root"/{state,tmp,out}
env -i PATH=/usr/bin:/bin HOME="$app_root" TMPDIR="$app_root/tmp" \
  ZLK_PRINTER_APP_PPD_DIR="$PWD/data/ppd" ZLK_PRINTER_APP_FILTER="$(realpath "$filter")" \
  "$app" server -o server-port="$app_port" -o listen-hostname=localhost -o log-level=info \
  -o state-directory="$app_root/state" </dev/null >"$app_root/stderr" 2>&1 &
app_pid=$!
app_log=$app_root/state/zlk-printer-app.log
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$app_port") 2>/dev/null && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
(exec 3<>"/dev/tcp/127.0.0.1/$app_port") 2>/dev/null ||
  { echo "zlk-printer-app did not start:" >&2; cat "$app_root/stderr" "$app_log" >&2 2>/dev/null; exit 1; }
: >"$app_root/out/ours.prn"
ipptool -q -d name=ours -d driver=zelko_mfp_c4500 -d device="file://$app_root/out/ours.prn" \
  "ipp://127.0.0.1:$app_port/ipp/system" tests/printerapp/add-printer.test ||
  { echo "zlk-printer-app would not add the printer:" >&2; cat "$app_log" >&2; exit 1; }

declare -A uri pid
uri[classic]=ipp://$server/printers/ours
uri[printerapp]=ipp://127.0.0.1:$app_port/ipp/print/ours
pid[classic]=$cupsd_pid
pid[printerapp]=$app_pid

# CPU seconds of a server so far: "own children" (utime + stime, cutime + cstime).
tree_cpu() {  # $1: road
  awk -v tick="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%.3f %.3f\n", ($12 + $13) / tick, ($14 + $15) / tick }' \
    "/proc/${pid[$1]}/stat"
}

# Jobs a server has logged as completed so far, in $completed, and for the
# Printer Application also the jobs it started printing, in $started (more than
# it was sent: a job printed twice). The scheduler keeps one log (MaxLogSize
# 0); the Printer Application starts a new one past 1 MiB and keeps the last as
# .O, so what the retired logs held is carried over.
app_log_inode='' app_retired_completed=0 app_retired_started=0 started=0
app_count() { grep -c "$1" "$2" 2>/dev/null || true; }
completed_jobs() {  # $1: road; call it in this shell, not in $( ), to keep the tally
  if [ "$1" = classic ]; then
    completed=$(app_count "Job completed" "$work/log/error_log")
    return
  fi
  local inode
  inode=$(stat -c %i "$app_log")
  if [ -n "$app_log_inode" ] && [ "$inode" != "$app_log_inode" ]; then
    [ "$(stat -c %i "$app_log.O" 2>/dev/null)" = "$app_log_inode" ] ||
      echo "warning: zlk-printer-app's log turned over more than once in a round; failures overstated" >&2
    app_retired_completed=$((app_retired_completed + $(app_count '] Completed, job-impressions' "$app_log.O")))
    app_retired_started=$((app_retired_started + $(app_count '] Starting print job.' "$app_log.O")))
  fi
  app_log_inode=$inode
  completed=$((app_retired_completed + $(app_count '] Completed, job-impressions' "$app_log")))
  started=$((app_retired_started + $(app_count '] Starting print job.' "$app_log")))
}

# One round: every client submits its jobs at once; the round ends when the
# printer has no job left. Leaves "seconds own-cpu filters-cpu completed" in $result.
round() {  # $1: road
  local road=$1 cpu0 cpu1 done0 started0 start end status pids=()
  cpu0=$(tree_cpu "$road")
  completed_jobs "$road"
  done0=$completed started0=$started
  start=$(date +%s%N)
  for c in $(seq "$clients"); do
    (
      for j in $(seq "$jobs"); do
        ipptool -q -d job="load $c-$j" "${wait[@]}" -f "$work/doc/job.pdf" "${uri[$road]}" bench/printerapp-job.test \
          >/dev/null 2>&1 || true
      done
    ) &
    pids+=($!)
  done
  wait "${pids[@]}"
  until ipptool -q "${uri[$road]}" bench/printerapp-idle.test >/dev/null 2>&1; do
    if ! kill -0 "${pid[$road]}" 2>/dev/null; then
      status=0
      wait "${pid[$road]}" || status=$?
      if [ "$road" = printerapp ]; then app_pid=''; else cupsd_pid=''; fi
      echo "the $road server ended during a round (exit status $status$( [ "$status" -gt 128 ] &&
        echo ", signal $(kill -l $((status - 128)))"))" >&2
      echo "sent: $((clients * jobs)) jobs by $clients clients at once; its log's last lines:" >&2
      if [ "$road" = classic ]; then tail -15 "$work/log/error_log" >&2; else tail -15 "$app_log" >&2; fi
      exit 1
    fi
    sleep 0.05
  done
  end=$(date +%s%N)
  cpu1=$(tree_cpu "$road")
  completed_jobs "$road"
  if [ "$road" = printerapp ] && [ $((started - started0)) -gt $((clients * jobs)) ]; then
    echo "warning: zlk-printer-app started $((started - started0)) print jobs for $((clients * jobs)) sent" \
      "(a job processed twice)" >&2
  fi
  result=$(awk -v s="$start" -v e="$end" -v c0="$cpu0" -v c1="$cpu1" -v ok="$((completed - done0))" \
    'BEGIN { split(c0, a, " "); split(c1, b, " ")
             printf "%.3f %.3f %.3f %d\n", (e - s) / 1e9, b[1] - a[1], b[2] - a[2], ok }')
}

roads=(classic printerapp)
total=$((clients * jobs))
declare -A seconds own filters done_jobs
for r in "${roads[@]}"; do seconds[$r]=0 own[$r]=0 filters[$r]=0 done_jobs[$r]=0; done
# A round of each first, not counted: caches warm up alike for both.
for r in "${roads[@]}"; do round "$r"; done
for _ in $(seq "$rounds"); do
  for r in "${roads[@]}"; do
    round "$r"
    read -r s o f ok <<<"$result"
    seconds[$r]=$(awk -v a="${seconds[$r]}" -v b="$s" 'BEGIN { print a + b }')
    own[$r]=$(awk -v a="${own[$r]}" -v b="$o" 'BEGIN { print a + b }')
    filters[$r]=$(awk -v a="${filters[$r]}" -v b="$f" 'BEGIN { print a + b }')
    done_jobs[$r]=$((done_jobs[$r] + ok))
  done
done

n=$((rounds * total))
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
echo "Classic queue (private cupsd) and zlk-printer-app: $clients clients x $jobs jobs of a $pages-page PDF" \
  "with ipptool$([ ${#wait[@]} -gt 0 ] && echo ", each waiting for its job to end"), $rounds rounds per road, alternating"
printf '%-11s %4s %4s %8s %10s %8s %8s %9s\n' road N M 'jobs/s' 'CPU s/job' server filters failures
for r in "${roads[@]}"; do
  awk -v r="$r" -v N="$clients" -v M="$jobs" -v n="$n" -v s="${seconds[$r]}" -v o="${own[$r]}" \
    -v f="${filters[$r]}" -v ok="${done_jobs[$r]}" \
    'BEGIN { printf "%-11s %4d %4d %8.2f %10.4f %8.4f %8.4f %9d\n", r, N, M, n / s, (o + f) / n, o / n, f / n, n - ok }'
done
echo
printf '%-40s %6sx\n' "jobs per second, printer app / classic" \
  "$(ratio "${seconds[classic]}" "${seconds[printerapp]}")"
printf '%-40s %6sx\n' "CPU per job, printer app / classic" \
  "$(ratio "$(awk -v a="${own[printerapp]}" -v b="${filters[printerapp]}" 'BEGIN { print a + b }')" \
    "$(awk -v a="${own[classic]}" -v b="${filters[classic]}" 'BEGIN { print a + b }')")"
