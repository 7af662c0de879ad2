#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite on a virtual X display, then
# runs the state hub's and the core object's tests once more in a ThreadSanitizer build
# (build-tsan), and the whole program and the core object in an AddressSanitizer build
# (build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
(cd "$BUILD_DIR" && xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure --parallel "${JOBS:-$(nproc)}" "$@")

# Worker threads share the hub's values with the GUI thread, and the core object runs every
# worker against the simulated sonar: their tests (labels "hub" and "core") must run clean
# under ThreadSanitizer. Only those targets are built. Qt is not instrumented: allocations
# made inside its libraries (its own thread pool paints large images) are left out of the
# race checks, and its other hand-overs are suppressed in tests/tsan.supp.
TSAN_DIR="${TSAN_BUILD_DIR:-build-tsan}"
cmake -S . -B "$TSAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVESSA_SANITIZER=thread
cmake --build "$TSAN_DIR" --parallel "${JOBS:-$(nproc)}" --target korvessa_hub_tests korvessa_core_tests
(cd "$TSAN_DIR" && TSAN_OPTIONS="suppressions=$ROOT/tests/tsan.supp halt_on_error=1 ignore_noninstrumented_modules=1" \
    xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -L '^(hub|core)$')

# The whole program under Xvfb and the core object (label "asan") in an AddressSanitizer
# build: any report fails them. Mesa's driver stays loaded in the program until the leak
# check, so that what it holds is not taken for leaks; tests/lsan.supp lists what other
# libraries keep until exit.
ASAN_DIR="${ASAN_BUILD_DIR:-build-asan}"
cmake -S . -B "$ASAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVESSA_SANITIZER=address
cmake --build "$ASAN_DIR" --parallel "${JOBS:-$(nproc)}" --target korvessa_asan_tests
MESA_DRIVER="$(find /usr/lib -name swrast_dri.so -print -quit)"
(cd "$ASAN_DIR" && ASAN_OPTIONS="halt_on_error=1" LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp" \
    KORVESSA_PROBE_PRELOAD="$(gcc -print-file-name=libasan.so) $MESA_DRIVER" \
    xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -L '^asan$')
