#!/usr/bin/env bash
# Sets up and builds Mereval, then opens the cashier window against the
# bundled payment-system simulator on 127.0.0.1:8145, with a receipt printer
# of its own: a private CUPS server (no system CUPS is used or changed) whose
# raw queue "Mereval-demo" hands every job to scripts/receipt-printer.py,
# which shows the receipts in this terminal. Every run starts from the
# settings written below; the machine's own settings file is never touched.
# log.txt, the error log, Report.pdf, the simulator's log and the received
# receipts stay in build/dev/demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target mereval mereval-paysim

demo="$PWD/build/dev/demo"
queue=Mereval-demo
mkdir -p "$demo"
work="$(mktemp -d)"
children=()
cleanup() {
    for pid in "${children[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

build/dev/tools/paysim/mereval-paysim --port 8145 >"$demo/paysim.log" 2>&1 &
children+=($!)

# The spooler: configuration, spool, logs and socket in $work. Backends run
# as lp for root, otherwise as the user who runs this.
mkdir -p "$work"/{spool/tmp,cache,state,log}
chmod 0711 "$work"
if [ "$(id -u)" -eq 0 ]; then
    chgrp lp "$work/spool" "$work/spool/tmp"
    system_group=root user=lp group=lp
else
    system_group="$(id -gn)" user="$(id -un)" group="$(id -gn)"
fi
chmod 0710 "$work/spool"
chmod 1770 "$work/spool/tmp"
cat >"$work/cupsd.conf" <<EOF
Listen $work/cups.sock
LogLevel warn
WebInterface No
Browsing No
BrowseLocalProtocols none
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
cat >"$work/cups-files.conf" <<EOF
ServerRoot $work
RequestRoot $work/spool
TempDir $work/spool/tmp
CacheDir $work/cache
StateDir $work/state
AccessLog $work/log/access_log
ErrorLog $work/log/error_log
PageLog $work/log/page_log
Printcap $work/printcap
SystemGroup $system_group
User $user
Group $group
EOF
/usr/sbin/cupsd -f -c "$work/cupsd.conf" -s "$work/cups-files.conf" >"$work/log/cupsd.out" 2>&1 &
children+=($!)
export CUPS_SERVER="$work/cups.sock"
unset LPDEST PRINTER

/usr/bin/python3 scripts/receipt-printer.py "$work/printer.port" "$demo/receipts.prn" &
children+=($!)

for _ in $(seq 100); do
    if [ -s "$work/printer.port" ] && lpstat -r >/dev/null 2>&1; then
        break
    fi
    sleep 0.1
done
if ! kill -0 "${children[0]}" 2>/dev/null; then
    echo "The simulator did not start; see $demo/paysim.log (is port 8145 taken?)" >&2
    exit 1
fi
if ! lpstat -r >/dev/null 2>&1 || [ ! -s "$work/printer.port" ]; then
    echo "The private CUPS server or the receipt printer did not start:" >&2
    cat "$work/log/cupsd.out" "$work/log/error_log" 2>/dev/null >&2
    exit 1
fi
# No model (-m): a raw queue, which passes the program's bytes on unchanged.
if ! output="$(/usr/sbin/lpadmin -p "$queue" -E -v "socket://127.0.0.1:$(cat "$work/printer.port")" \
    -o printer-error-policy=abort-job 2>&1)"; then
    echo "Cannot add the queue $queue: $output" >&2
    exit 1
fi

printf '%s\n' KKAddress=127.0.0.1 KKPort=8145 POS=00000001 ReportMode=0 \
    "Printer=$queue" RAW=1 >"$work/Tellur.conf"

echo "Simulator on 127.0.0.1:8145, its log in $demo/paysim.log."
echo "The cents of the amount choose its answer (12.00 approves, 12.01 declines):"
echo "    build/dev/tools/paysim/mereval-paysim --help"
echo "Receipts print on the queue $queue and show here; log.txt is in $demo."

MEREVAL_SETTINGS="$work/Tellur.conf" MEREVAL_HOME="$demo" build/dev/app/mereval
