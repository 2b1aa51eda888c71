#!/bin/sh
# Installs the Debian package in a fresh Debian 12 root and runs quorvaned.service there under
# systemd (systemd-nspawn), against the inverter simulator on a pseudo-terminal. Needs root,
# debootstrap, systemd-nspawn (systemd-container) and access to deb.debian.org; exits 77 (skip)
# saying which is missing. Takes about two minutes.
#
# Usage: sudo tests/packaging/try-in-container.sh quorvane_<version>_<arch>.deb SIMULATOR
#   SIMULATOR: build/default/tools/inverter-sim/quorvane-inverter-sim
set -u

deb=$1
simulator=$2
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

skip() {
    echo "SKIP: $*" >&2
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "needs root (debootstrap, chroot and systemd-nspawn)"
command -v debootstrap >/dev/null 2>&1 || skip "debootstrap is missing (apt-get install debootstrap)"
command -v systemd-nspawn >/dev/null 2>&1 || skip "systemd-nspawn is missing (apt-get install systemd-container)"
[ -f "$deb" ] || { echo "FAIL: no package $deb" >&2; exit 1; }
[ -x "$simulator" ] || { echo "FAIL: no simulator $simulator" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-container.XXXXXX") || exit 1
root=$work/root
# --one-file-system: never follow a mount that a failed step left inside the root.
trap 'rm -rf --one-file-system "$work"' EXIT

echo "Making a Debian 12 root in $root ..."
if ! debootstrap --variant=minbase --include=systemd,procps bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
    tail -5 "$work/debootstrap.log" >&2
    skip "debootstrap could not make a root from $mirror (no network?)"
fi

# The package's dependencies come from the archive, installed with the package in a chroot
# (without a running systemd, as in an image build); the package is then removed, so that
# the booted system installs it again with systemd running.
cp "$deb" "$root/root/quorvane.deb"
cp "$simulator" "$root/usr/local/bin/quorvane-inverter-sim"
cp /etc/resolv.conf "$root/etc/resolv.conf"
if ! unshare --mount --fork sh -c "
    mount -t proc proc '$root/proc' && mount --rbind /dev '$root/dev' &&
    chroot '$root' sh -c 'export DEBIAN_FRONTEND=noninteractive
        apt-get update -q && apt-get install -y -q --no-install-recommends /root/quorvane.deb && getent passwd quorvane &&
        dpkg -r quorvane'" >"$work/chroot.log" 2>&1; then
    tail -20 "$work/chroot.log" >&2
    echo "FAIL: the package did not install in a chroot" >&2
    exit 1
fi

cat >"$root/root/check.sh" <<'EOF'
#!/bin/sh
# Runs once at boot in the container; every check prints PASS or FAIL.
exec >/root/result.txt 2>&1
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; }
check() { description=$1; shift; if "$@"; then pass "$description"; else fail "$description"; fi; }
# wait_until SECONDS COMMAND...: whether COMMAND succeeds within SECONDS.
wait_until() {
    limit=$(( $(date +%s) + $1 )); shift
    until "$@"; do [ "$(date +%s)" -lt "$limit" ] || return 1; sleep 0.2; done
}
property() { systemctl show -p "$1" --value quorvaned.service; }
pinged_since() { [ "$(property WatchdogTimestampMonotonic)" != "$1" ]; }
journal_has() { journalctl -u quorvaned --no-pager | grep -q "$1"; }

check "dpkg -i installs the package" dpkg -i /root/quorvane.deb
check "the user quorvane exists" getent passwd quorvane
check "/var/lib/quorvane belongs to quorvane, mode 750" \
    test "$(stat -c '%U:%G %a' /var/lib/quorvane)" = "quorvane:quorvane 750"
check "installing neither enables nor starts the service" \
    test "$(systemctl is-enabled quorvaned.service)/$(property ActiveState)" = "disabled/inactive"

# The simulator on a pseudo-terminal stands for the inverter; the drop-in lets the service
# open a pseudo-terminal as it opens a serial adapter.
mkdir -p /run/sim
(sleep 3600 | /usr/local/bin/quorvane-inverter-sim --link /run/sim/inverter >/root/sim.txt 2>&1 &)
wait_until 20 test -e /run/sim/inverter
chmod 666 "$(readlink -f /run/sim/inverter)"
printf '[Main]\r\nCOM PORT=COM1\r\nCOM PORT index=1\r\nAutoSearch=0\r\nAutoConnect=1\r\nMeasTime=0\r\n[Http]\r\nPort=80\r\n[Ports]\r\nCOM1=/run/sim/inverter\r\n' \
    >/var/lib/quorvane/quorvane.INI
mkdir -p /etc/systemd/system/quorvaned.service.d
printf '[Service]\nDeviceAllow=char-pts rw\n' >/etc/systemd/system/quorvaned.service.d/pty.conf
systemctl daemon-reload

check "systemctl enable --now returns once quorvaned is ready" systemctl enable --now quorvaned.service
check "the service is active and says it runs on port 80" \
    test "$(property ActiveState)/$(property StatusText)" = "active/Running; live page on port 80"
check "it connects to the inverter" wait_until 30 journal_has "Connected to /run/sim/inverter"
mainpid=$(property MainPID)
check "it runs as quorvane with the group dialout" \
    sh -c "ps -o user=,supgrp= -p $mainpid | grep -q '^quorvane .*dialout'"
check "its only capability is to bind port 80" grep -q '^CapEff:.*0000000000000400$' /proc/"$mainpid"/status
stamp=$(property WatchdogTimestampMonotonic)
check "connected, it keeps the watchdog alive" wait_until 20 pinged_since "$stamp"
check "systemctl reload reads the settings again" \
    sh -c 'systemctl reload quorvaned.service && until journalctl -u quorvaned --no-pager | grep -q "Settings read again"; do sleep 0.2; done'
check "systemctl stop closes it cleanly" systemctl stop quorvaned.service
check "the close ends with success" test "$(property Result)/$(property ExecMainStatus)" = "success/0"
check "the logs are written under /var/lib/quorvane/Log" \
    sh -c 'test -s /var/lib/quorvane/Log/EnergyTotalSolar.csv && ls /var/lib/quorvane/Log/LogEvent/*/*/*/EventLog*.txt >/dev/null'

# Not connected (no inverter, or none found yet) the service must still keep the watchdog
# alive, or systemd restarts it every WatchdogSec.
printf '[Main]\r\nAutoConnect=0\r\n[Http]\r\nPort=80\r\n' >/var/lib/quorvane/quorvane.INI
systemctl start quorvaned.service
stamp=$(property WatchdogTimestampMonotonic)
check "not connected, it keeps the watchdog alive" wait_until 20 pinged_since "$stamp"
systemctl stop quorvaned.service

# A core that hangs is killed and restarted by the watchdog (shortened to 3 s here). It hangs
# as a real one could, in a read that never ends: the settings file became a pipe nobody
# writes to, and a reload made the core read it.
printf '[Service]\nWatchdogSec=3\n' >/etc/systemd/system/quorvaned.service.d/watchdog.conf
systemctl daemon-reload
systemctl start quorvaned.service
restarts=$(property NRestarts)
settings=/var/lib/quorvane/quorvane.INI
mv "$settings" "$settings.saved"
mkfifo -m 600 "$settings" && chown quorvane: "$settings"
systemctl reload quorvaned.service
restarted() { [ "$(property NRestarts)" -gt "$restarts" ]; }
check "a hung core is restarted by the watchdog" wait_until 30 restarted
# The new process may be waiting on the pipe in its turn: give it the settings, then the file.
timeout 10 sh -c "cat '$settings.saved' >'$settings'" || true
rm -f "$settings" && mv "$settings.saved" "$settings"
check "after the restart it runs again" wait_until 30 sh -c 'test "$(systemctl show -p ActiveState --value quorvaned.service)" = active'
systemctl stop quorvaned.service
rm /etc/systemd/system/quorvaned.service.d/watchdog.conf
systemctl daemon-reload

check "dpkg -r stops and disables it" \
    sh -c 'systemctl enable --now quorvaned.service && dpkg -r quorvane && test "$(systemctl show -p ActiveState --value quorvaned.service)" = inactive && test ! -e /etc/systemd/system/multi-user.target.wants/quorvaned.service'
echo "--- journal"
journalctl -u quorvaned --no-pager | tail -40
echo "DONE"
systemctl poweroff
EOF
chmod +x "$root/root/check.sh"
cat >"$root/etc/systemd/system/quorvane-check.service" <<'EOF'
[Unit]
Description=Quorvane package check
After=multi-user.target
[Service]
Type=oneshot
TimeoutStartSec=600
ExecStart=/root/check.sh
[Install]
WantedBy=multi-user.target
EOF
ln -s /etc/systemd/system/quorvane-check.service "$root/etc/systemd/system/multi-user.target.wants/quorvane-check.service"

echo "Booting it ..."
timeout 600 systemd-nspawn -D "$root" --register=no --keep-unit --private-network -b --console=pipe \
    >"$work/boot.log" 2>&1
result="$root/root/result.txt"
if [ ! -f "$result" ] || ! grep -q '^DONE$' "$result"; then
    tail -30 "$work/boot.log" >&2
    [ -f "$result" ] && cat "$result" >&2
    echo "FAIL: the check in the container did not run to its end" >&2
    exit 1
fi
grep -E '^(PASS|FAIL):' "$result"
if grep -q '^FAIL:' "$result"; then
    echo "--- the service's journal and the check's other output:" >&2
    grep -Ev '^(PASS|FAIL):' "$result" >&2
    exit 1
fi
