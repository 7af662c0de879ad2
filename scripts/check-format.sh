#!/usr/bin/env bash
# Fails when a C++ file of the program, the tests, the tools or the benchmarks is not laid out as
# .clang-format says; `clang-format -i FILE` lays one out. Run by scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
find app processClass showClass netClass tests tools bench \( -name '*.cpp' -o -name '*.h' \) -print0 \
    | xargs -0 clang-format --dry-run --Werror
