# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the checks of the install tree and of the Debian package.

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

need_tool() {
    command -v "$1" >/dev/null || {
        echo "FAIL: $1 is missing; scripts/test installs it (Debian package $2)" >&2
        exit 1
    }
}

# Every file under <root>/<prefix> is one we mean to install, and every one is there.
expect_files() {
    local root="$1" prefix="$2"
    shift 2
    local expected actual
    expected="$( (sed "s|^|${prefix:+$prefix/}|" "$here/installed-files.txt"; [ $# -eq 0 ] || printf '%s\n' "$@") | sort)"
    actual="$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)"
    if [ "$expected" != "$actual" ]; then
        fail "installed files differ from the expected list:"
        diff <(echo "$expected") <(echo "$actual") >&2 || true
    fi
}

# The PNG in each size folder has that size.
expect_icon_sizes() {
    local hicolor="$1" png size
    for png in "$hicolor"/*x*/apps/com.velmora.Sprucer.png; do
        size="$(basename "$(dirname "$(dirname "$png")")")"
        file -b "$png" | grep -q "PNG image data, ${size/x/ x }," ||
            fail "$png is not a ${size} PNG: $(file -b "$png")"
    done
}

# The key's value in the [Desktop Entry] or [Service] file.
key_value() {
    sed -n "s/^$2=//p" "$1" | head -n 1
}

# The installed executable answers without a display, as a service or a packaging tool
# calls it.
expect_version() {
    local executable="$1" version="$2" output
    output="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$executable" --version 2>&1)" ||
        fail "$executable --version failed: $output"
    [ "$output" = "Sprucer $version" ] || fail "$executable --version printed: $output"
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
