#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package: lintian finds no error, the control fields are right, its
# dependencies are the executable's real shared libraries, and unpacked with dpkg -x it holds
# exactly the installed tree.
# Usage: check-deb.sh <package.deb> <version>
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
deb="$1" version="$2"

need_tool lintian lintian
need_tool readelf binutils
need_tool file file

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

field() {
    dpkg-deb -f "$deb" "$1"
}

check_lintian() {
    local report
    report="$(lintian --tag-display-limit 0 "$deb" 2>&1)"
    [ -n "$report" ] && echo "$report"
    ! grep -q '^E: ' <<<"$report" || fail "lintian reports errors"
}

check_control() {
    [ "$(field Package)" = sprucer ] || fail "Package is $(field Package)"
    [ "$(field Version)" = "$version-1" ] || fail "Version is $(field Version)"
    [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture"
    [ "$(field Section)" = devel ] || fail "Section is $(field Section)"
    [ "$(field Recommends)" = clang-format ] || fail "Recommends is $(field Recommends)"
    [ -n "$(field Maintainer)" ] || fail "no Maintainer"
    [ -n "$(field Homepage)" ] || fail "no Homepage"
    field Description | sed -n 2p | grep -q . || fail "no long Description"
}

# The package that holds a library as the loader finds it (dpkg knows some by their /usr path
# and some without it).
library_owner() {
    local path="$1" other
    case "$path" in
    /usr/*) other="${path#/usr}" ;;
    *) other="/usr$path" ;;
    esac
    { dpkg -S "$path" || dpkg -S "$other"; } 2>/dev/null | head -n 1 | cut -d: -f1
}

# Each library the executable loads is named by the package that holds it, as dpkg-shlibdeps
# finds it: a library added later cannot be forgotten in a hand-kept list.
check_depends() {
    local executable="$1" depends library path owner
    depends="$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')"
    for library in $(readelf -d "$executable" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        path="$(ldd "$executable" | awk -v name="$library" '$1 == name {print $3}')"
        owner="$(library_owner "$path")"
        if [ -z "$owner" ]; then
            fail "no installed package holds $library ($path)"
        elif ! grep -qxF "$owner" <<<"$depends"; then
            fail "Depends lacks $owner, which holds $library: $(field Depends)"
        fi
    done
}

check_contents() {
    local root="$work/root" owners
    dpkg -x "$deb" "$root" || fail "dpkg -x"
    expect_files "$root" usr usr/share/doc/sprucer/copyright usr/share/doc/sprucer/changelog.Debian.gz
    expect_icon_sizes "$root/usr/share/icons/hicolor"
    [ "$(key_value "$root/usr/share/applications/com.velmora.Sprucer.desktop" Exec)" = /usr/bin/sprucer ] ||
        fail "the desktop entry does not start /usr/bin/sprucer"
    [ "$(key_value "$root/usr/lib/systemd/user/sprucer.service" ExecStart)" = "/usr/bin/sprucer --headless" ] ||
        fail "the service does not start /usr/bin/sprucer --headless"
    file -b "$root/usr/bin/sprucer" | grep -q ', stripped' || fail "the executable is not stripped"
    owners="$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)"
    [ "$owners" = root/root ] || fail "files not owned by root: $owners"
    expect_version "$root/usr/bin/sprucer" "$version"
    check_depends "$root/usr/bin/sprucer"
}

check_lintian
check_control
check_contents
finish
