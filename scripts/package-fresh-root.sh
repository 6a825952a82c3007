#!/usr/bin/env bash
# Installs a package that scripts/package.sh built into a fresh Debian 12
# root made by debootstrap, with apt as a new till does, then checks what
# the maintainer scripts set up, runs both programs from there, then
# removes and purges the package again. Needs root and Debian's mirror
# (MIRROR, default http://deb.debian.org/debian); takes some minutes, so CI
# runs the quicker scripts/package-check.sh instead.
# Usage: scripts/package-fresh-root.sh build/PRESET/packages/mereval_*.deb
set -euo pipefail
deb="$(realpath "$1")"
mirror="${MIRROR:-http://deb.debian.org/debian}"

root="$(mktemp -d /var/tmp/mereval-root.XXXXXX)"
chmod 0755 "$root"
children=()
cleanup() {
    for pid in "${children[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    umount "$root/proc" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT
fail() {
    echo "package-fresh-root: $*" >&2
    exit 1
}
in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"
}

echo "== debootstrap bookworm into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
    fail "debootstrap failed; see $root.log"
rm -f "$root.log"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"

echo "== apt install ./$(basename "$deb")"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./tmp/$(basename "$deb")" \
    >/dev/null

echo "== what the package set up"
in_root getent group mereval >/dev/null || fail "no group mereval"
for expected in "root:mereval 2775 /var/lib/mereval" "root:mereval 2775 /etc/xdg/Norvel" \
    "root:mereval 664 /etc/xdg/Norvel/Tellur.conf" "root:mereval 664 /var/lib/mereval/log.txt" \
    "root:mereval 664 /var/lib/mereval/mereval.err"; do
    path="${expected##* }"
    actual="$(in_root stat -c '%U:%G %a %n' "$path")"
    [ "$actual" = "$expected" ] || fail "$path is '$actual', not '$expected'"
done
in_root dpkg-query -W -f='${Conffiles}\n' mereval | grep -q /etc/xdg/Norvel/Tellur.conf ||
    fail "Tellur.conf is no conffile"
in_root test -x /usr/bin/mereval -a -f /usr/share/applications/mereval.desktop ||
    fail "the programs or the menu entry are missing"

echo "== mereval-paysim --help"
in_root mereval-paysim --help | grep -F '.01 ' >/dev/null || fail "no cents rule in --help"

echo "== mereval against the simulator, as a member of mereval"
in_root useradd --create-home --groups mereval till
# Not through in_root: a function in the background is a subshell of its
# own, while chroot and env exec the simulator, so its id is the one to stop.
chroot "$root" env -i PATH=/usr/bin:/bin mereval-paysim --port 8145 \
    >"$root/tmp/paysim.log" 2>&1 &
children+=($!)
# Offscreen nobody types, so the window only starts: it must read the
# shipped settings, show report-only mode's defaults and keep running.
set +e
in_root su till -c 'cd /tmp && QT_QPA_PLATFORM=offscreen MEREVAL_HOME=/var/lib/mereval \
    timeout 5 mereval' >"$root/tmp/mereval.out" 2>&1
status=$?
set -e
[ "$status" -eq 124 ] || fail "mereval ended early ($status): $(cat "$root/tmp/mereval.out")"
grep -q 'listening on 127.0.0.1:8145' "$root/tmp/paysim.log" || fail "the simulator did not start"
in_root su till -c 'touch /var/lib/mereval/Report.pdf && rm /var/lib/mereval/Report.pdf &&
    cp /etc/xdg/Norvel/Tellur.conf /etc/xdg/Norvel/.try && mv /etc/xdg/Norvel/.try \
    /etc/xdg/Norvel/Tellur.conf' || fail "a member of mereval cannot write the program's files"

echo "== apt remove, then purge"
in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq mereval >/dev/null
in_root test ! -e /usr/bin/mereval || fail "removing left /usr/bin/mereval"
for path in /etc/xdg/Norvel/Tellur.conf /var/lib/mereval/log.txt; do
    in_root test -e "$path" || fail "removing took $path, which only purging may"
done
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq mereval >/dev/null
for path in /usr/bin/mereval /var/lib/mereval /etc/xdg/Norvel; do
    in_root test ! -e "$path" || fail "$path is left after purging"
done
echo "package-fresh-root: all passed"
