#!/usr/bin/env bash
# Builds one libFuzzer target with clang and runs it: fuzz/run.sh TARGET SECONDS
# (TARGET is fuzz_jwc, fuzz_jwk, fuzz_settings or fuzz_jwf). The corpus grows in fuzz/corpus-TARGET; a
# finding stops the run with a non-zero exit and leaves its input in fuzz/ (crash-*, leak-*,
# timeout-*, oom-*).
set -euo pipefail

if [ $# -ne 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz/run.sh TARGET SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$fuzz_dir")
build="$root/build/fuzz"

install_packages() {
  local apt_get=(apt-get)
  [ "$(id -u)" -eq 0 ] || apt_get=(sudo apt-get)
  export DEBIAN_FRONTEND=noninteractive
  "${apt_get[@]}" update -q
  "${apt_get[@]}" install -y -q --no-install-recommends "$@"
}

"$root/scripts/deps.sh"
command -v clang++ >/dev/null || install_packages clang
# Debian ships the fuzzer and sanitizer runtimes apart from the compiler.
runtime_dir="$(clang++ -print-resource-dir)/lib/linux"
if ! ls "$runtime_dir"/libclang_rt.fuzzer-*.a >/dev/null 2>&1; then
  major=$(clang++ -dumpversion | cut -d. -f1)
  install_packages "libclang-rt-$major-dev"
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTORVANE_FUZZ=ON -DTORVANE_TESTS=OFF -DTORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target "$target" fuzz_seeds

case "$target" in
  fuzz_jwc) max_len=65536; seeds=("$root/samples/plan.jwc") ;;
  fuzz_jwk) max_len=65536; seeds=("$root"/samples/*.jwk) ;;
  *) max_len=16384; seeds=("$root"/samples/*.jwf "$root"/samples/*.ini) ;;
esac

corpus="$fuzz_dir/corpus-$target"
mkdir -p "$corpus"
for seed in "${seeds[@]}"; do
  if [ -f "$seed" ]; then cp -f "$seed" "$corpus/"; fi
done
if [ "$target" = fuzz_jwc ]; then "$build/fuzz/fuzz_seeds" "$corpus"; fi

cd "$fuzz_dir"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# libFuzzer exits non-zero on a finding; set -e hands that on.
"$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048 \
  -timeout=25 -print_final_stats=1 -artifact_prefix="$fuzz_dir/"
