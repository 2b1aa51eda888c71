#!/bin/sh
# Builds the Debian package from a built tree into a temporary folder and checks what it holds:
# every installed file, the control fields, the maintainer scripts, and the few lines of the
# installed files that only the packaging decides (the unit's command, the autostart entry).
#
# Usage: check-deb.sh CPACK_CONFIG VERSION WITH_DAEMON
#   WITH_DAEMON is 1 when the build has the quorvaned program, 0 otherwise.
set -u

config=$1
version=$2
with_daemon=$3

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg; do
    command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is missing (scripts/setup installs dpkg-dev)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-deb.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

if ! cpack --config "$config" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi

architecture=$(dpkg --print-architecture)
deb="$work/quorvane_${version}_${architecture}.deb"
if [ ! -f "$deb" ]; then
    echo "FAIL: no $(basename "$deb"); cpack made: $(cd "$work" && ls -- *.deb 2>/dev/null | tr '\n' ' ')" >&2
    exit 1
fi
count=$(find "$work" -maxdepth 1 -name '*.deb' | wc -l)
[ "$count" -eq 1 ] || fail "cpack made $count packages, expected one"

# Every file the package must hold, with the mode it must have.
expected="
-rwxr-xr-x ./usr/bin/quorvane
-rw-r--r-- ./usr/share/applications/quorvane.desktop
-rw-r--r-- ./etc/xdg/autostart/quorvane-autostart.desktop
-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/quorvane.svg
-rw-r--r-- ./usr/lib/udev/rules.d/60-quorvane-hidraw.rules
-rw-r--r-- ./usr/lib/systemd/system/quorvaned.service
-rw-r--r-- ./usr/lib/sysusers.d/quorvane.conf
-rw-r--r-- ./usr/share/man/man1/quorvane.1.gz
-rw-r--r-- ./usr/share/man/man8/quorvaned.8.gz
"
if [ "$with_daemon" = 1 ]; then
    expected="$expected
-rwxr-xr-x ./usr/bin/quorvaned"
fi

dpkg-deb -c "$deb" | awk '{ print $1, $6 }' >"$work/contents"
echo "$expected" | while read -r mode path; do
    [ -n "$path" ] || continue
    actual=$(awk -v p="$path" '$2 == p { print $1 }' "$work/contents")
    if [ -z "$actual" ]; then
        echo "FAIL: the package lacks $path" >&2
        echo x >>"$work/missing"
    elif [ "$actual" != "$mode" ]; then
        echo "FAIL: $path has mode $actual, expected $mode" >&2
        echo x >>"$work/missing"
    fi
done
[ -f "$work/missing" ] && failures=$((failures + $(wc -l <"$work/missing")))
# Nothing may land under /usr/local (the build's own prefix) or outside /usr and /etc.
stray=$(awk '$2 !~ /^\.\/(usr|etc)\// && $2 != "./" { print $2 } $2 ~ /^\.\/usr\/local\// { print $2 }' "$work/contents")
[ -z "$stray" ] || fail "files outside /usr and /etc, or under /usr/local: $stray"

field() { dpkg-deb -f "$deb" "$1"; }
check_field() {
    actual=$(field "$1")
    [ "$actual" = "$2" ] || fail "control field $1 is '$actual', expected '$2'"
}
check_field Package quorvane
check_field Version "$version"
check_field Architecture "$architecture"
check_field Section misc
check_field Maintainer "Quorvane developers"
[ -n "$(field Description)" ] || fail "control field Description is empty"

# The libraries the programs link come from dpkg-shlibdeps; what is only loaded at run time is
# recommended by hand.
depends=$(field Depends)
needed="libc6 libqt6core6 libqt6widgets6"
[ "$with_daemon" = 1 ] && needed="$needed libsystemd0"
for package in $needed; do
    echo "$depends" | tr ',' '\n' | grep -q "^ *$package\( \|$\)" || fail "Depends lacks $package (is: $depends)"
done
echo "$(field Recommends)" | grep -q libcurl4 || fail "Recommends lacks libcurl4 (the mail loads it)"

# Maintainer scripts: present and executable; the conffile list names the /etc file.
dpkg-deb -e "$deb" "$work/control"
for script in postinst prerm postrm; do
    [ -x "$work/control/$script" ] || fail "the package has no executable $script"
done
grep -qx /etc/xdg/autostart/quorvane-autostart.desktop "$work/control/conffiles" 2>/dev/null \
    || fail "conffiles does not list /etc/xdg/autostart/quorvane-autostart.desktop"
# Installing never starts or enables the service (try-restart only restarts one that runs).
grep -Eq 'systemctl +(--[a-z-]+ +)*(start|enable|restart|reload-or-restart) ' "$work/control/postinst" \
    && fail "postinst starts or enables quorvaned by itself"

# The installed files whose lines the packaging decides.
mkdir "$work/root"
dpkg-deb -x "$deb" "$work/root"
unit="$work/root/usr/lib/systemd/system/quorvaned.service"
if [ -f "$unit" ]; then
    grep -qx 'ExecStart=/usr/bin/quorvaned --config /var/lib/quorvane/quorvane.INI --log-dir /var/lib/quorvane' "$unit" \
        || fail "the unit's ExecStart is not the installed quorvaned with the state directory"
    for line in Type=notify User=quorvane SupplementaryGroups=dialout StateDirectory=quorvane WatchdogSec=30; do
        grep -qx "$line" "$unit" || fail "the unit lacks $line"
    done
fi
autostart="$work/root/etc/xdg/autostart/quorvane-autostart.desktop"
[ -f "$autostart" ] && { grep -qx 'Hidden=true' "$autostart" || fail "the system-wide autostart entry is not off (Hidden=true)"; }
for page in usr/share/man/man1/quorvane.1.gz usr/share/man/man8/quorvaned.8.gz; do
    [ -f "$work/root/$page" ] && { gzip -t "$work/root/$page" 2>/dev/null || fail "$page is not gzip"; }
done

if [ "$failures" -gt 0 ]; then
    echo "$failures problem(s) in $(basename "$deb")" >&2
    exit 1
fi
echo "$(basename "$deb"): every file, field and script as expected"
