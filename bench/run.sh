#!/usr/bin/env bash
# Measures Quillfen against cp, mv and find on this machine, side by side in one run:
# builds a Release build in build-bench/ when needed, describes the machine, then prints
# one line per measurement (Quillfen / reference, median of alternating runs) and whether
# its target is met. The scratch folder (and a second file system mounted inside it, when
# that is allowed) is made here and removed again. Options go to the driver, e.g.
# bench/run.sh --runs 7 --only list,scan, or --scale 0.1 for a tenth of the files in the
# whole-program lines
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

build=build-bench
if [ ! -f "$build/build.ninja" ]; then
    echo "Configuring $build (Release)..." >&2
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLFEN_TESTS=OFF -DQUILLFEN_BENCH=ON \
        "${launcher[@]}" >/dev/null
fi
# The driver, the floor program and the program itself, which the whole-program lines and
# the undo start; nothing is rebuilt when nothing changed.
if ! built=$(cmake --build "$build" -j 2 --target quillfen_bench quillfen_floor quillfen 2>&1); then
    echo "$built" >&2
    exit 1
fi

scratch=$(mktemp -d /tmp/quillfen-bench.XXXXXX)
second=""
exfat=""
loop=""
cleanup() {
    echo "Removing $scratch..." >&2
    if [ -n "$second" ] && mountpoint -q "$second"; then
        umount "$second" || true
    fi
    if [ -n "$exfat" ]; then
        fusermount -u "$exfat" || true
    fi
    if [ -n "$loop" ]; then
        losetup -d "$loop" || true
    fi
    # Many deleters at once: where each deletion waits for its blocks to be discarded, one
    # alone takes minutes for what these do in seconds.
    find "$scratch" -xdev -type f -print0 | xargs -0 -r -P 16 -n 500 rm -f
    rm -rf "$scratch"
}
trap cleanup EXIT

# A second file system for the move across file systems: a tmpfs mounted in the scratch
# folder when this user may mount one.
if mkdir -p "$scratch/second" && mount -t tmpfs -o size=3g tmpfs "$scratch/second" 2>/dev/null; then
    second="$scratch/second"
    second_note="tmpfs mounted at $second"
else
    second_note="none (mounting a tmpfs was not allowed); that line is skipped"
fi

# An exFAT stick as systems without the kernel's driver mount it: an image on a loop device
# through FUSE, where the tools are installed and this user may set it up.
exfat_note="none (needs exfatprogs, exfat-fuse and a loop device); that line is skipped"
if command -v mkfs.exfat >/dev/null && command -v mount.exfat-fuse >/dev/null \
    && truncate -s 1G "$scratch/exfat.img" && mkfs.exfat "$scratch/exfat.img" >/dev/null 2>&1 \
    && loop=$(losetup -f --show "$scratch/exfat.img" 2>/dev/null) && mkdir -p "$scratch/exfat" \
    && mount.exfat-fuse "$loop" "$scratch/exfat" >/dev/null 2>&1; then
    exfat="$scratch/exfat"
    exfat_note="a 1 GiB image through exfat-fuse at $exfat"
fi

fs_of() { df -T "$1" | awk 'NR == 2 { print $2 " (" $1 ")" }'; }
echo "Quillfen benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(free -g | awk '/^Mem:/ { print $2 }') GiB RAM, Linux $(uname -r)"
echo "File systems: /tmp on $(fs_of /tmp); second: $second_note; exFAT: $exfat_note"
echo "Tools: $(cp --version | head -n 1), $(find --version | head -n 1), Qt $(pkg-config --modversion Qt6Core 2>/dev/null || echo '?')"
echo "Each ratio is Quillfen / reference, medians of alternating runs; a fresh target folder for every run."
echo

args=(--scratch "$scratch/work")
mkdir -p "$scratch/work"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    mkdir -m 700 "$scratch/runtime"
    export XDG_RUNTIME_DIR="$scratch/runtime"
fi
[ -n "$second" ] && args+=(--second "$second")
[ -n "$exfat" ] && args+=(--exfat "$exfat")
args+=(--floor "$repo/$build/bench/quillfen_floor" --program "$repo/$build/src/app/quillfen")
QT_QPA_PLATFORM=offscreen "$build/bench/quillfen_bench" "${args[@]}" "$@"
