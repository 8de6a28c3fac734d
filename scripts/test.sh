#!/usr/bin/env bash
# Sets up (packages and build), then runs every test; ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
ctest --test-dir build --output-on-failure -j "$(nproc)"
