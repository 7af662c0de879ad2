#!/usr/bin/env bash
# Installs what is needed, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec "${BUILD_DIR:-build}/Korvessa" "$@"
