#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config clang-format
    clang libclang-rt-14-dev  # the fuzz build: clang with libFuzzer and its sanitizers
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl1-mesa-dev
    libgtest-dev libgmock-dev
    # the Windows build and its tests: the cross compiler, GoogleTest's sources to build for
    # it, and Wine to run the results against a COM server of our own
    g++-mingw-w64-x86-64-posix googletest wine wine64
    libzip-dev libexpat1-dev libpugixml-dev libgsf-1-dev zlib1g-dev
    fp-utils  # chmcmd, which compiles help.chm
    lintian debootstrap  # scripts/package-check.sh and deb-install-check.sh check the .deb
    # the spreadsheet engine behind the conversion server
    libreoffice-calc-nogui libreoffice-dev
    # fonts the window is laid out with (metric twins of Arial)
    fonts-liberation fonts-dejavu-core
    # the desktop shell's side: handler lookup, the MIME database and a viewer for help.chm
    xdg-utils shared-mime-info xchm
    # independent readers and display for the tests, screenshots and benchmarks
    python3 python3-xlrd python3-openpyxl python3-olefile
    xvfb xauth x11-apps imagemagick hyperfine time xdotool
    poppler-utils  # pdftoppm: pages the office renders, as images
    locales  # a comma-decimal locale for the tests, made below
)

# Node.js runs an independent .xlsb reader in the tests; the image may bring its own.
if ! command -v npm >/dev/null 2>&1; then
    packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

# Numbers in a package must read the same under a locale whose decimal point is a comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen ||
        echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo_cmd[@]}" locale-gen >/dev/null
fi
