#!/usr/bin/env bash
# Installs what is needed, checks the layout of every C++ file against .clang-format, builds with
# warnings as errors, and runs the whole test suite on a virtual X display; then
# runs the state hub's and the core object's tests once more in a ThreadSanitizer build
# (build-tsan), the 3D view's window tests, the replay's tests, the whole program and the core
# object in an AddressSanitizer build (build-asan), and builds the program as a subproject of
# another project (build-subproject).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
bash scripts/setup-deps.sh
bash scripts/check-format.sh
bash scripts/build.sh -DKORVESSA_WERROR=ON
BUILD_DIR="${BUILD_DIR:-build}"
(cd "$BUILD_DIR" && xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure --parallel "${JOBS:-$(nproc)}" "$@")

# Worker threads share the hub's values with the GUI thread, and the core object runs every
# worker against the simulated sonar: their tests (labels "hub" and "core") must run clean
# under ThreadSanitizer. Only those targets are built. Qt is not instrumented: allocations
# made inside its libraries (its own thread pool paints large images) are left out of the
# race checks, and its other hand-overs are suppressed in tests/tsan.supp.
TSAN_DIR="${TSAN_BUILD_DIR:-build-tsan}"
cmake -S . -B "$TSAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVESSA_SANITIZER=thread \
    -DKORVESSA_BUILD_BENCHMARKS=OFF -DKORVESSA_WERROR=ON
cmake --build "$TSAN_DIR" --parallel "${JOBS:-$(nproc)}" --target korvessa_hub_tests korvessa_core_tests
(cd "$TSAN_DIR" && TSAN_OPTIONS="suppressions=$ROOT/tests/tsan.supp halt_on_error=1 ignore_noninstrumented_modules=1" \
    xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -L '^(hub|core)$')

# The 3D view's renderers are made and deleted on the render thread as its item moves between
# windows, replayed frames of hundreds of packets go through buffers sized from the file,
# frames are copied, filtered and drawn only where their packets wrote, and the whole program
# and the core object run every worker: those tests (label "asan") run again
# under AddressSanitizer. Leak reports are off for the 3D view's and the replay's tests, since
# the OpenGL driver and D-Bus leave allocations behind that cannot be told apart; the tests
# themselves check that every renderer is deleted. The whole program and the core object turn
# them on for themselves (tests/app/startup.cmake): the program keeps Mesa's driver loaded
# until its leak check, so what the driver holds is not taken for leaks, and tests/lsan.supp
# lists what D-Bus keeps until exit.
ASAN_DIR="${ASAN_BUILD_DIR:-build-asan}"
cmake -S . -B "$ASAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVESSA_SANITIZER=address \
    -DKORVESSA_BUILD_BENCHMARKS=OFF -DKORVESSA_WERROR=ON
cmake --build "$ASAN_DIR" --parallel "${JOBS:-$(nproc)}" --target korvessa_asan_tests
MESA_DRIVER="$(find /usr/lib -name swrast_dri.so -print -quit)"
(cd "$ASAN_DIR" && ASAN_OPTIONS="detect_leaks=0 abort_on_error=1" \
    KORVESSA_PROBE_PRELOAD="$(gcc -print-file-name=libasan.so) $MESA_DRIVER" \
    xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -L '^asan$')

bash scripts/check-subproject.sh -DKORVESSA_WERROR=ON
