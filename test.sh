#!/usr/bin/env bash
# Builds and runs every test: once as usual, then again under AddressSanitizer and UBSan. The
# window tests run on Qt's offscreen platform, so no display is needed. A compiler warning fails the
# build. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVANE_WERROR=ON >/dev/null
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTORVANE_SANITIZE=ON -DTORVANE_BENCH=OFF -DTORVANE_WERROR=ON >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"
