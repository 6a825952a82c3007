#!/usr/bin/env bash
# Sets up and builds Mereval, then opens the cashier window against the
# bundled payment-system simulator on 127.0.0.1:8145. The window and the
# simulator keep their settings, log.txt and reports in build/dev/demo, so
# the machine's own settings file is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target mereval mereval-paysim

demo=build/dev/demo
mkdir -p "$demo"
if [ ! -f "$demo/Tellur.conf" ]; then
    printf 'KKAddress=127.0.0.1\nKKPort=8145\nPOS=00000001\nReportMode=0\n' >"$demo/Tellur.conf"
fi

build/dev/tools/paysim/mereval-paysim --port 8145 >"$demo/paysim.log" 2>&1 &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT
sleep 0.3
if ! kill -0 "$simulator" 2>/dev/null; then
    echo "The simulator did not start; see $demo/paysim.log (is port 8145 taken?)" >&2
    exit 1
fi
echo "Simulator on 127.0.0.1:8145, its log in $demo/paysim.log."
echo "The cents of the amount choose its answer: build/dev/tools/paysim/mereval-paysim --help"

MEREVAL_SETTINGS="$demo/Tellur.conf" MEREVAL_HOME="$demo" build/dev/app/mereval
