#!/usr/bin/env bash
# Installs the dependencies, then configures and builds Korvessa in ./build (or $BUILD_DIR),
# with $JOBS parallel jobs (default: every core). $BUILD_TARGETS, when set, names the targets to
# build (default: all of them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@"
targets=()
for t in ${BUILD_TARGETS:-}; do
  targets+=(--target "$t")
done
cmake --build "$BUILD_DIR" --parallel "${JOBS:-$(nproc)}" "${targets[@]}"
