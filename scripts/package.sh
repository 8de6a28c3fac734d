#!/usr/bin/env bash
# Builds Quillfen's Debian package from a Release build in build-release/ (after the same
# set-up as setup.sh, plus what packaging needs) and prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-dev and file compute the dependencies; the other three check the desktop entry, the
# metainfo and the package itself (tests/packaging/check_package.sh).
packages=(dpkg-dev file desktop-file-utils appstream lintian)
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

scripts/setup.sh build-release -DCMAKE_BUILD_TYPE=Release -DQUILLFEN_TESTS=OFF -DQUILLFEN_BENCH=OFF
output=$(cd build-release && cpack -G DEB)
echo "$output"
package=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$output")
if [ ! -f "$package" ]; then
    echo "package.sh: cpack made no package" >&2
    exit 1
fi
echo "$package"
