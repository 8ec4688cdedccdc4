#!/usr/bin/env bash
# Builds Torvane and converts the given drawings and parts beside them; with no file, converts the
# bundled sample drawing and part into out/.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTORVANE_TESTS=OFF -DTORVANE_BENCH=OFF >/dev/null
cmake --build build/release --target torvane-convert

if [ $# -gt 0 ]; then
  exec build/release/src/torvane-convert "$@"
fi
mkdir -p out
build/release/src/torvane-convert --force -o out samples/plan.jwc samples/part.jwk
echo
echo "Converted the sample drawing and part into $(pwd)/out/plan.jww and $(pwd)/out/part.jws"
