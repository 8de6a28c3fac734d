#!/usr/bin/env bash
# Installs what building Quillfen needs on Debian 12 (asking for sudo only when not root),
# then builds it into build/ (or the folder given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
shift || true

# The file system tools make and mount the exFAT, FAT32 and NTFS images the fault suite copies to;
# dbus-daemon gives the notification tests a private session bus, systemd the check of the timer.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev
          clang libclang-rt-14-dev xvfb xauth imagemagick
          fuse3 exfatprogs exfat-fuse dosfstools fusefat ntfs-3g dbus-daemon systemd)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -G Ninja -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
