#!/usr/bin/env bash
# Builds and runs every test: once as usual, then again under AddressSanitizer and UBSan, and the
# tests of what runs on several threads (the batch runner, the command line at -j 2, the DXF writer) under
# ThreadSanitizer. The window tests run on Qt's offscreen platform, so no display is needed. A
# compiler warning fails the run. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

scripts/writable.sh "$PWD/build"
scripts/deps.sh
jobs=$(nproc)
# Builds a tree and fails on any compiler warning. Only the files compiled in this run show theirs,
# so a warning fails the run that brought it; a fresh clone (CI) compiles, and checks, them all.
build() {
  cmake --build "$1" -j "$jobs" 2>&1 | tee "$1/build.log"
  if grep -q 'warning:' "$1/build.log"; then
    echo "test.sh: the compiler warned in $1 (above, and in $1/build.log)" >&2
    exit 1
  fi
}
export QT_QPA_PLATFORM=offscreen

# Line tables only (-g1): backtraces, sanitizer reports and profiles keep their files and lines, and
# the optimised builds take a quarter less time.
lines_only=-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$lines_only" >/dev/null
build build/test
ctest --test-dir build/test --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTORVANE_SANITIZE=ON -DTORVANE_BENCH=OFF >/dev/null
build build/asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$lines_only" -DTORVANE_TSAN=ON \
  -DTORVANE_GUI=OFF -DTORVANE_BENCH=OFF >/dev/null
build build/tsan
# Each run of torvane-convert under ThreadSanitizer waits a second at its exit (the sanitizer's look at
# the threads still running then), idle: twice as many tests as cores keep the cores busy.
tests/under_tsan.sh ctest --test-dir build/tsan --output-on-failure -j "$((2 * jobs))"
