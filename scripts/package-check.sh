#!/usr/bin/env bash
# Checks a package that scripts/package.sh built:
#   1. lintian finds no error;
#   2. its files, unpacked into a throw-away root, and every dependency it
#      declares installed on this machine (each one checked with dpkg-query);
#   3. mereval-paysim --help from that root lists the cents rule;
#   4. mereval from that root, under Xvfb, with its own settings file and
#      program folder, takes a typed 12.00 through the simulator to the
#      approval: the simulator answered "0012", log.txt recorded it, the
#      settings file holds the new session.
# Usage: scripts/package-check.sh build/PRESET/packages/mereval_*.deb
# CI runs this on every change. A fresh Debian 12 root installing the package
# with apt, as a new till does, is scripts/package-check-fresh-root.sh.
set -euo pipefail
deb="$(realpath "$1")"
cd "$(dirname "$0")/.."

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
fail() {
    echo "package-check: $*" >&2
    exit 1
}

echo "== lintian"
# Errors fail; warnings and notes are shown.
lintian --fail-on error "$deb"

echo "== unpacked into $work/root"
dpkg-deb -x "$deb" "$work/root"
for path in usr/bin/mereval usr/bin/mereval-paysim usr/share/applications/mereval.desktop \
    usr/share/icons/hicolor/scalable/apps/mereval.svg etc/xdg/Norvel/Tellur.conf var/lib/mereval; do
    [ -e "$work/root/$path" ] || fail "the package lacks /$path"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/xdg/Norvel/Tellur.conf ||
    fail "Tellur.conf is no conffile"

echo "== declared dependencies"
# One clause is "a (>= 1) | b"; one installed alternative that satisfies
# its version is enough.
satisfied() {
    local alternatives alternative name relation version installed
    IFS='|' read -ra alternatives <<<"$1"
    for alternative in "${alternatives[@]}"; do
        read -r name relation version <<<"$(sed -E 's/[()]/ /g' <<<"$alternative")"
        installed="$(dpkg-query -W -f='${db:Status-Abbrev} ${Version}' "$name" 2>/dev/null)" ||
            continue
        [[ "$installed" == "ii "* ]] || continue
        if [ -z "$relation" ] || dpkg --compare-versions "${installed#ii  }" "$relation" "$version"; then
            return 0
        fi
    done
    return 1
}
IFS=',' read -ra clauses <<<"$(dpkg-deb -f "$deb" Depends)"
for clause in "${clauses[@]}"; do
    satisfied "$clause" || fail "dependency not installed here:$clause"
done
echo "${#clauses[@]} dependencies installed"

echo "== mereval-paysim --help"
"$work/root/usr/bin/mereval-paysim" --help | grep -F '.01 ' >/dev/null ||
    fail "mereval-paysim --help lists no cents rule"

echo "== mereval against the simulator"
"$work/root/usr/bin/mereval-paysim" --port 0 --delay-ms 50 >"$work/paysim.log" 2>&1 &
children+=($!)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
children+=($!)
for _ in $(seq 100); do
    port="$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/paysim.log")"
    [ -n "$port" ] && [ -s "$work/display" ] && break
    sleep 0.1
done
[ -n "$port" ] || fail "the simulator did not start: $(cat "$work/paysim.log")"
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
mkdir "$work/home"
printf '%s\n' KKAddress=127.0.0.1 "KKPort=$port" POS=00000001 ReportMode=0 Session=0 \
    >"$work/Tellur.conf"
MEREVAL_SETTINGS="$work/Tellur.conf" MEREVAL_HOME="$work/home" \
    "$work/root/usr/bin/mereval" >"$work/mereval.out" 2>&1 &
children+=($!)
for _ in $(seq 100); do
    window="$(xdotool search --onlyvisible --name '^Mereval - POS:' 2>/dev/null | head -n1 || true)"
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window: $(cat "$work/mereval.out")"
xdotool windowfocus --sync "$window"
# Keys closer than 55 ms apart make one burst, which Return must not join.
xdotool type --delay 60 '12.00'
sleep 0.2
xdotool key Return
for _ in $(seq 100); do
    grep -q 'ApproveMessage: STAN=' "$work/home/log.txt" 2>/dev/null && break
    sleep 0.1
done
grep -q 'ApproveMessage: STAN=' "$work/home/log.txt" 2>/dev/null ||
    fail "no approval in log.txt; the simulator's log: $(cat "$work/paysim.log")"
grep -qx 'Session=1' "$work/Tellur.conf" || fail "the session was not stored"
echo "approved: $(grep -o '0012[^#]*' "$work/paysim.log" | head -n1)"
echo "package-check: all passed"
