#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Sprucer needs to build and test, when any is missing.
# Sourced by scripts/run, scripts/test and scripts/package.

sprucer_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libqscintilla2-qt6-dev
    clang-format
    libgit2-dev
    locales
)

# The static checks of the sources that scripts/test runs.
sprucer_lint_packages=(clang-tidy)

# Tests of the git-aware watchers make real repositories with git itself.
sprucer_test_packages=(git)

# What cpack needs to read the executable's shared-library dependencies.
sprucer_package_packages=(dpkg-dev file)

# The validators of the installed files and of the package.
sprucer_check_packages=(desktop-file-utils appstream man-db systemd lintian)

# The desktop smoke test's session (tests/desktop/harness): a virtual display, a window manager,
# a tray, the accessibility bus, input and screenshots, and Debian's python3 bindings for them.
sprucer_desktop_packages=(
    xvfb xauth x11-utils xdotool openbox trayer imagemagick
    dbus-daemon at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    python3-gi python3-dbus python3-xlib python3-pil
)

sprucer_install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    local apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -q)
    "${apt[@]}" update
    "${apt[@]}" install --no-install-recommends "${missing[@]}"
}

# Tests format their timestamps in en_US; the locale must exist for the C library too.
sprucer_ensure_locale() {
    if locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" sed -i 's/^# *en_US.UTF-8 UTF-8/en_US.UTF-8 UTF-8/' /etc/locale.gen
    "${sudo[@]}" locale-gen >/dev/null
}
