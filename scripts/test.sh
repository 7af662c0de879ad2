#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite on a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
cd "$BUILD_DIR"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure --parallel "$(nproc)" "$@"
