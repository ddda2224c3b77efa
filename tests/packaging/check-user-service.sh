#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the installed user service under the user's systemd, in a throw-away home, and stops
# it. Skipped (status 77) where there is no user systemd.
# Usage: check-user-service.sh <build folder>
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build="$1"

if ! systemctl --user show-environment >/dev/null 2>&1; then
    echo "SKIP: this machine has no user systemd to start the service under"
    exit 77
fi

work="$(mktemp -d)"
unit="sprucer-check-$$.service"
cleanup() {
    systemctl --user stop "$unit" >/dev/null 2>&1
    systemctl --user disable "$unit" >/dev/null 2>&1
    systemctl --user reset-failed "$unit" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

if ! cmake --install "$build" --prefix "$work/prefix" >/dev/null; then
    fail "install into $work/prefix"
    finish
fi
mkdir -p -m 0700 "$work/runtime"
# The installed unit, with the user's own files and lock moved into the throw-away home, so
# that a Sprucer the user runs is neither seen nor touched.
{
    sed '/^\[Install\]/,$d' "$work/prefix/lib/systemd/user/sprucer.service"
    for variable in XDG_CONFIG_HOME=config XDG_DATA_HOME=data XDG_CACHE_HOME=cache XDG_RUNTIME_DIR=runtime; do
        echo "Environment=${variable%%=*}=$work/${variable#*=}"
    done
} >"$work/$unit"
systemctl --user link "$work/$unit" >/dev/null || fail "systemctl --user link"
systemctl --user start "$unit" || fail "the service did not start"

started=
for _ in $(seq 100); do
    if [ -e "$work/runtime/com.velmora.Sprucer.mode" ]; then
        started=yes
        break
    fi
    sleep 0.1
done
[ -n "$started" ] || fail "the agent never took its lock in $work/runtime"
[ "$(systemctl --user is-active "$unit")" = active ] || fail "the service is not active"

systemctl --user stop "$unit" || fail "the service did not stop"
result="$(systemctl --user show -p Result --value "$unit")"
[ "$result" = success ] || fail "the service stopped with result $result"
finish
