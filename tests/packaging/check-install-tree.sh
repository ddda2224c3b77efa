#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a throw-away DESTDIR and into a throw-away prefix, checks the tree
# and passes each desktop file through its validator.
# Usage: check-install-tree.sh <build folder> <version> <folder of the README's pictures>
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build="$1" version="$2" screens="$3"

need_tool desktop-file-validate desktop-file-utils
need_tool appstreamcli appstream
need_tool man man-db
need_tool file file

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
app=com.velmora.Sprucer

check_desktop_entry() {
    local desktop="$1" executable="$2"
    desktop-file-validate "$desktop" || fail "desktop-file-validate refused $desktop"
    [ "$(key_value "$desktop" Exec)" = "$executable" ] || fail "Exec is not $executable"
    [ "$(key_value "$desktop" Icon)" = "$app" ] || fail "Icon is not $app"
    [ "$(key_value "$desktop" Categories)" = "Development;Utility;" ] || fail "Categories"
    # The class Qt gives the window on X11 is the application name.
    [ "$(key_value "$desktop" StartupWMClass)" = Sprucer ] || fail "StartupWMClass"
}

check_metainfo() {
    local metainfo="$1" image
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refused $metainfo"
    grep -q "<release version=\"$version\" date=\"" "$metainfo" || fail "no release $version"
    for image in $(sed -n 's|.*<image>.*/\([^/]*\)</image>.*|\1|p' "$metainfo"); do
        [ -f "$screens/$image" ] || fail "screenshot $image is not among the README's pictures"
    done
}

check_manual() {
    local manual="$1" warnings
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$manual" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
}

# Every option --help lists is in the manual page.
check_manual_covers_help() {
    local executable="$1" manual="$2" text option
    text="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$manual" 2>/dev/null)"
    for option in $(env -u DISPLAY -u WAYLAND_DISPLAY "$executable" --help |
                    grep -oE '^ +(-[a-z?], )?--[a-z-]+' | grep -oE -- '--[a-z-]+'); do
        grep -qF -- "$option" <<<"$text" || fail "the manual page does not document $option"
    done
}

check_service() {
    local unit="$1" executable="$2" report
    [ "$(key_value "$unit" ExecStart)" = "$executable --headless" ] || fail "ExecStart"
    [ "$(key_value "$unit" Restart)" = on-failure ] || fail "Restart is not on-failure"
    if command -v systemd-analyze >/dev/null; then
        # It reports a key it cannot read, and goes on, so anything it says is a fault.
        report="$(systemd-analyze verify --man=no "$unit" 2>&1)" || fail "systemd-analyze refused $unit"
        [ -z "$report" ] || fail "systemd-analyze: $report"
    else
        echo "systemd-analyze is not on this machine: the unit is not verified"
    fi
}

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null || fail "DESTDIR install"
usr="$work/root/usr"
expect_files "$work/root" usr
check_desktop_entry "$usr/share/applications/$app.desktop" /usr/bin/sprucer
check_metainfo "$usr/share/metainfo/$app.metainfo.xml"
check_manual "$usr/share/man/man1/sprucer.1.gz"
expect_icon_sizes "$usr/share/icons/hicolor"
[ "$(key_value "$usr/lib/systemd/user/sprucer.service" ExecStart)" = "/usr/bin/sprucer --headless" ] ||
    fail "the service does not start /usr/bin/sprucer"

# A prefix chosen at install time, not at configure time, is the one the files name.
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "install into $prefix"
expect_files "$prefix" ""
expect_version "$prefix/bin/sprucer" "$version"
# Arguments that ask for no window but are not options say so, rather than crash without one.
misread="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/sprucer" -- --help 2>&1)" &&
    fail "sprucer -- --help succeeded"
grep -qx "See: sprucer --help" <<<"$misread" || fail "sprucer -- --help printed: $misread"
check_desktop_entry "$prefix/share/applications/$app.desktop" "$prefix/bin/sprucer"
check_manual_covers_help "$prefix/bin/sprucer" "$prefix/share/man/man1/sprucer.1.gz"
check_service "$prefix/lib/systemd/user/sprucer.service" "$prefix/bin/sprucer"
finish
