# SPDX-License-Identifier: GPL-3.0-or-later
# Run inside the booted fresh Debian by scripts/check-fresh-install: install, start as a user
# service, stop, remove, and look for anything left behind.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" # tests/packaging/lib.sh: fail, finish
deb="$1"
ours() {
    find / -xdev \( -iname '*sprucer*' -o -iname '*velmora*' \) -not -path '/var/tmp/check*' \
        -not -path '/home/*' 2>/dev/null | sort
}
as_user() {
    runuser -u dev -- env XDG_RUNTIME_DIR=/run/user/1000 \
        DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus "$@"
}
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8

before="$(ours)"
apt-get -q update >/dev/null
apt-get -q -y install "$deb" >/var/tmp/check/install.log 2>&1 || fail "apt-get install"
echo "installed: $(dpkg-query -W -f='${Package} ${Version}' sprucer), recommended: $(dpkg-query -W -f='${Package} ${Version}' clang-format 2>/dev/null)"
[ "$(sprucer --version)" = "Sprucer $(dpkg-query -W -f='${Version}' sprucer | cut -d- -f1)" ] ||
    fail "sprucer --version: $(sprucer --version 2>&1)"
[ -f /usr/share/applications/com.velmora.Sprucer.desktop ] || fail "no desktop entry"
[ -f /usr/share/icons/hicolor/48x48/apps/com.velmora.Sprucer.png ] || fail "no icon"
man -w sprucer >/dev/null 2>&1 || [ -f /usr/share/man/man1/sprucer.1.gz ] || fail "no manual page"

loginctl enable-linger dev
for _ in $(seq 100); do
    as_user systemctl --user is-system-running >/dev/null 2>&1 && break
    sleep 0.1
done
as_user systemctl --user enable --now sprucer.service || fail "enable --now"
for _ in $(seq 100); do
    [ -e /run/user/1000/com.velmora.Sprucer.lock ] && break
    sleep 0.1
done
[ "$(as_user systemctl --user is-active sprucer.service)" = active ] || fail "the service is not active"
pgrep -u dev -f '^/usr/bin/sprucer --headless$' >/dev/null || fail "the agent is not running"
echo "running: $(as_user systemctl --user show -p MainPID -p ActiveState sprucer.service | paste -sd' ')"
refusal="$(as_user sprucer --headless 2>&1)" && fail "a second agent started beside the service"
grep -qF "Stop it first with: systemctl --user stop sprucer.service" <<<"$refusal" ||
    fail "a second agent was not told how to stop the service: $refusal"

pkill -SEGV -u dev -f '^/usr/bin/sprucer --headless$'
for _ in $(seq 150); do
    [ "$(as_user systemctl --user show -p NRestarts --value sprucer.service)" = 1 ] &&
        [ "$(as_user systemctl --user is-active sprucer.service)" = active ] && break
    sleep 0.1
done
[ "$(as_user systemctl --user show -p NRestarts --value sprucer.service)" = 1 ] ||
    fail "a crashed agent was not restarted"

as_user systemctl --user stop sprucer.service
[ "$(as_user systemctl --user show -p Result --value sprucer.service)" = success ] ||
    fail "the agent did not stop cleanly"
as_user systemctl --user disable sprucer.service

apt-get -q -y remove --purge sprucer >/var/tmp/check/remove.log 2>&1 || fail "apt-get remove --purge"
left="$(comm -13 <(echo "$before") <(ours))"
[ -z "$left" ] || fail "left behind: $left"
echo "the user's own files stay: $(cd /home/dev && find . -path '*Sprucer*' -type f | paste -sd' ')"
echo "installed, ran as a user service, restarted after a crash, stopped and removed"
finish
