#!/usr/bin/env bash
# Installs what is needed, builds the program (only what it needs: not the tests, tools and
# benchmarks) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_TARGETS=Korvessa bash scripts/build.sh
exec "${BUILD_DIR:-build}/Korvessa" "$@"
