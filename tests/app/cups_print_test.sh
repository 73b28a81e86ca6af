#!/usr/bin/env bash
# Prints through a real CUPS scheduler of the test's own: its configuration, spool, logs and
# socket live in a temporary folder, and it listens on nothing else, so the machine's printers
# are never touched. Its default queue is a generic PDF printer whose output goes to a file; two
# more queues refuse jobs (cupsreject) and hold them (cupsdisable). Then the test program (first
# argument) presses "打印" and checks that file, and what the other queues' jobs are told.
#
# Exit 77 (skipped) when the scheduler cannot be started here; the reason is printed.
set -uo pipefail

program=$1
driver=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd

skip() {
  echo "SKIPPED: $*"
  exit 77
}

for tool in cupsd lpadmin lpstat cupsreject cupsdisable pdfinfo pdftoppm; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (scripts/setup.sh installs it)"
done
[[ -f $driver ]] || skip "the generic PDF printer driver $driver is not installed"

work=$(mktemp -d)
scheduler=
cleanup() {
  if [[ -n $scheduler ]]; then
    kill "$scheduler" 2>/dev/null
    wait "$scheduler" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# The scheduler's filters may run as another user: they must reach the spool.
chmod 755 "$work"
mkdir -p "$work"/{conf,spool/tmp,cache,state,log,out}
chmod 1777 "$work/out"

cat >"$work/conf/cupsd.conf" <<EOF
Listen $work/cups.sock
LogLevel info
Browsing No
WebInterface No
DefaultAuthType None
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
  echo "ServerRoot $work/conf"
  echo "RequestRoot $work/spool"
  echo "TempDir $work/spool/tmp"
  echo "CacheDir $work/cache"
  echo "StateDir $work/state"
  echo "ServerBin /usr/lib/cups"
  echo "DataDir /usr/share/cups"
  echo "ErrorLog $work/log/error_log"
  echo "AccessLog $work/log/access_log"
  echo "PageLog $work/log/page_log"
  # A scheduler started by an ordinary user runs everything as that user.
  if [[ $(id -u) -ne 0 ]]; then
    echo "User $(id -un)"
    echo "Group $(id -gn)"
    echo "SystemGroup $(id -gn)"
  fi
} >"$work/conf/cups-files.conf"

cupsd -f -c "$work/conf/cupsd.conf" -s "$work/conf/cups-files.conf" >"$work/log/stdout" 2>&1 &
scheduler=$!
export CUPS_SERVER=$work/cups.sock
unset LPDEST PRINTER
# lpstat -r exits with 0 also when it finds no scheduler; only its words tell.
running() { [[ $(lpstat -r 2>/dev/null) == "scheduler is running" ]]; }
for _ in $(seq 50); do
  running && break
  kill -0 "$scheduler" 2>/dev/null || break
  sleep 0.2
done
if ! running; then
  cat "$work/log/stdout" "$work/log/error_log" 2>/dev/null | tail -n 5
  skip "the private CUPS scheduler did not start"
fi

output=$work/out/printed.pdf
lpadmin -p Quorvane_Test -E -v "file:$output" -P "$driver" 2>/dev/null || {
  echo "FAILED: the test queue could not be made"
  exit 1
}
lpadmin -d Quorvane_Test || exit 1
for queue in Quorvane_Refusing Quorvane_Paused; do
  lpadmin -p $queue -E -v "file:$work/out/$queue.pdf" -P "$driver" 2>/dev/null || exit 1
done
cupsreject -r "refused by the test" Quorvane_Refusing || exit 1
cupsdisable -r "paused by the test" Quorvane_Paused || exit 1

QUORVANE_CUPS_OUTPUT=$output QUORVANE_CUPS_REFUSING=Quorvane_Refusing \
  QUORVANE_CUPS_PAUSED=Quorvane_Paused "$program"
status=$?
# The scheduler logs each printed page with the job's name.
if ! grep -q "Brevinaxor printer" "$work/log/page_log" 2>/dev/null; then
  echo "FAILED: no page logged for the job \"Brevinaxor printer\""
  cat "$work/log/page_log" 2>/dev/null
  status=1
fi
exit $status
