#!/usr/bin/env bash
# Stops with a plain message when one of the given folders holds a file this user cannot write:
# after ./run.sh or ./test.sh as root in a user's clone, build/ and out/ are root's, and the
# build would fail later with an obscure message. Usage: scripts/writable.sh FOLDER...
set -euo pipefail

closed=()
for folder in "$@"; do
  [ -e "$folder" ] || continue
  [ -z "$(find "$folder" ! -writable -print -quit 2>/dev/null)" ] && [ -w "$folder" ] || closed+=("$folder")
done
[ ${#closed[@]} -eq 0 ] && exit 0

owner=$(stat -c %U "${closed[0]}")
echo "These folders hold files that $(id -un) cannot write (they belong to $owner, who ran a build here):" >&2
printf '  %s\n' "${closed[@]}" >&2
echo "Give them back to $(id -un) as root, then run again what you ran:" >&2
echo "  chown -R $(id -un): ${closed[*]}" >&2
echo "or remove them as root (they are made again): rm -rf ${closed[*]}" >&2
exit 1
