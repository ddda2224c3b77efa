#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Holds one desktop session (start_all) for as long as its standard input stays open.
# Prints the exported environment as NUL-terminated NAME=VALUE records, then "ready".
# Stops everything once a line arrives or the input closes: a test process that dies, even
# by SIGKILL, closes the pipe, so no display or bus outlives it.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

start_all "$@" || { stop_all; exit 1; }
while read -r _ assignment; do
    name=${assignment%%=*}
    printf '%s=%s\0' "$name" "${!name}"
done < "$GUIH_RUN/env"
printf 'GUIH_RUN=%s\0ready\0' "$GUIH_RUN"
# Nobody may be reading any more: a write to a closed pipe would end us before stop_all.
exec >/dev/null 2>>"$GUIH_RUN/session.log"
read -r _ || true
stop_all
