#!/usr/bin/env bash
# Builds Korvessa as a subproject of tests/subproject (add_subdirectory, tests, tools and
# benchmarks off), with the program, and runs the consumer's probe of headers and resources.
# The build lands in build-subproject (or $SUBPROJECT_BUILD_DIR); arguments go to its configure
# step (-DKORVESSA_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
DIR="${SUBPROJECT_BUILD_DIR:-build-subproject}"
cmake -S tests/subproject -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVESSA_SOURCE_DIR="$PWD" "$@"
cmake --build "$DIR" --parallel "${JOBS:-$(nproc)}" --target consumer_probe Korvessa
QT_QPA_PLATFORM=offscreen "$DIR/consumer_probe"
