# shellcheck shell=bash
# A private CUPS scheduler for the benchmarks, sourced from the repository's
# top folder with $build set: its own server root, spool and logs under a
# temporary folder ($work), a port on loopback ($server), FileDevice Yes, and
# the build's ZLKPrintFilter copied into its private filter folder (never an
# installed one). Run as root the scheduler runs its filters as lp, as an
# installed one does. On exit `cleanup` stops it and removes $work; a script
# with processes of its own sets a trap that stops them first, then calls it.
filter=${build:?}/filter/ZLKPrintFilter
[ -x "$filter" ] || { echo "build the filter first ($filter missing)" >&2; exit 1; }
[ -x /usr/sbin/cupsd ] || { echo "cupsd is needed" >&2; exit 1; }

stop() {  # $1: a background process of this shell, or nothing
  if [ -n "${1:-}" ]; then
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}
work=$(mktemp -d)
cupsd_pid=
cleanup() {
  stop "$cupsd_pid"
  rm -rf "$work"
}
trap cleanup EXIT
# Killed or interrupted, leave through exit too, so nothing is left running.
trap 'exit 130' INT
trap 'exit 143' TERM

# The scheduler's folders: every one on the way readable by lp.
chmod 755 "$work"
mkdir -p "$work"/{etc/ppd,spool/tmp,cache,state,log,out,bin/filter,bin/driver}
chmod -R 755 "$work"
chmod 1777 "$work/spool/tmp"
for sub in backend cgi-bin daemon monitor notifier; do
  [ -e "/usr/lib/cups/$sub" ] && ln -s "/usr/lib/cups/$sub" "$work/bin/$sub"
done
for program in /usr/lib/cups/filter/*; do
  [ "$(basename "$program")" = ZLKPrintFilter ] || ln -s "$program" "$work/bin/filter/"
done
install -m 755 "$filter" "$work/bin/filter/ZLKPrintFilter"

# A port on loopback that nothing answers on.
port=
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
    port=$candidate
    break
  fi
done
[ -n "$port" ] || { echo "no free port on loopback" >&2; exit 1; }
cat >"$work/etc/cupsd.conf" <<EOF
LogLevel info
MaxLogSize 0
Listen 127.0.0.1:$port
WebInterface No
Browsing Off
DefaultAuthType None
MaxJobs 0
PreserveJobHistory No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
{
  echo "FileDevice Yes"
  echo "ServerRoot $work/etc"
  echo "ServerBin $work/bin"
  echo "DataDir /usr/share/cups"
  echo "RequestRoot $work/spool"
  echo "TempDir $work/spool/tmp"
  echo "CacheDir $work/cache"
  echo "StateDir $work/state"
  echo "AccessLog $work/log/access_log"
  echo "ErrorLog $work/log/error_log"
  echo "PageLog $work/log/page_log"
  [ "$(id -u)" = 0 ] && printf 'User lp\nGroup lp\n'
} >"$work/etc/cups-files.conf"

/usr/sbin/cupsd -f -c "$work/etc/cupsd.conf" -s "$work/etc/cups-files.conf" </dev/null >/dev/null 2>&1 &
cupsd_pid=$!
server=127.0.0.1:$port
for _ in $(seq 100); do
  lpstat -h "$server" -r >/dev/null 2>&1 && break
  sleep 0.1
done
lpstat -h "$server" -r >/dev/null 2>&1 || { echo "the private cupsd did not start" >&2; exit 1; }

# A queue printing into $work/out/NAME.prn.
make_job_pdf() {  # $1: pages; writes $work/doc/job.pdf from the 4-page sample
  mkdir -p "$work/doc"
  local parts=()
  for _ in $(seq $((($1 + 3) / 4))); do parts+=(data/samples/sample.pdf); done
  qpdf --empty --pages "${parts[@]}" 1-z -- "$work/doc/all.pdf"
  qpdf --empty --pages "$work/doc/all.pdf" "1-$1" -- "$work/doc/job.pdf"
  chmod -R a+rX "$work/doc"
}

add_queue() {  # $1: name, $2: PPD, then more lpadmin options
  : >"$work/out/$1.prn"
  chmod 666 "$work/out/$1.prn"
  lpadmin -h "$server" -p "$1" -E -v "file://$work/out/$1.prn" -P "$2" -o printer-error-policy=abort-job "${@:3}" 2>/dev/null
}
