#!/usr/bin/env bash
# The crash-state checker (see README.md here) over every scenario; with --sample, the bounded
# sample that CI runs; with --plant, each known fault planted in a scratch build, which must be
# reported. Other options go to crashcheck.py. Needs strace and a build of the fault suite's
# child ($QUILLFEN_BUILD, default build/); as root it mounts a tmpfs as a second file system.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${QUILLFEN_BUILD:-build}
if ! command -v strace >/dev/null; then
    echo "crash checker: strace is needed (apt-get install strace)" >&2
    exit 2
fi
args=(--child "$build/tests/faults/faults_child" --shim "$build/tests/faults/libquillfen_fault_shim.so")
case "${1:-}" in
--sample) shift; args+=(--states 250 --randoms 2) ;;
--plant) ;;
*) ;;
esac
[ "${1:-}" = --plant ] || cmake --build "$build" -j 2 --target faults_child quillfen_fault_shim >/dev/null
run=(python3 tests/crash/crashcheck.py)
# In a mount namespace of its own where allowed: what it mounts goes with it.
if [ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null; then
    run=(unshare -m --propagation private "${run[@]}")
fi
exec "${run[@]}" "${args[@]}" "$@"
