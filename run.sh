#!/usr/bin/env bash
# Builds Torvane. With files, converts them with torvane-convert (paths as given, relative to the
# folder run.sh is started from). Without files: on a desktop, opens the window on a copy of the
# bundled sample drawing in out/; elsewhere converts the sample drawing and part into out/.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=$root/build/release
out=$root/out

display=${DISPLAY:-}${WAYLAND_DISPLAY:-}
targets=(torvane-convert)
[ $# -eq 0 ] && [ -n "$display" ] && targets+=(torvane)

# The build speaks on standard error: standard output may carry a converted file (-o -).
"$root/scripts/writable.sh" "$root/build" "$out"
"$root/scripts/deps.sh" >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTORVANE_TESTS=OFF -DTORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" >&2

if [ $# -gt 0 ]; then
  exec "$build/src/torvane-convert" "$@"
fi
mkdir -p "$out"
if [ -n "$display" ]; then
  # The window keeps its Torvane.ini in the folder it starts in and proposes to save beside the
  # drawing: both belong in out/, not in the sources.
  cp "$root/samples/plan.jwc" "$out/plan.jwc"
  echo "Opening Torvane on $out/plan.jwc, a copy of the sample drawing; its settings are in $out/Torvane.ini"
  cd "$out"
  exec "$build/src/torvane" plan.jwc
fi
"$build/src/torvane-convert" --force -o "$out" "$root/samples/plan.jwc" "$root/samples/part.jwk"
echo
echo "Converted the sample drawing and part into $out/plan.jww and $out/part.jws"
echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set). To open the window, run ./run.sh"
echo "on a desktop, or build it and start it on a drawing:"
echo "  cmake --build $build --target torvane && $build/src/torvane $root/samples/plan.jwc"
