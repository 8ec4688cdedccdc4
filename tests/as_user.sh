#!/usr/bin/env bash
# Runs the tests of a build tree once more as an unprivileged user (nobody), so that a test that
# passes only for root, who may write anywhere, fails here rather than for the next user who
# clones the project. Nothing is built again: the user gets a copy of the build tree (root's tree
# is not writable for it: CTest and the install test write there) whose test files name the copy;
# the sources and the programs are only read. Usage (as root): tests/as_user.sh BUILD_DIR [CTEST-ARGS...]
set -euo pipefail

build=$(cd "$1" && pwd)
shift
if [ "$(id -u)" -ne 0 ]; then
  echo "as_user.sh: already an unprivileged user; run ctest --test-dir $build instead" >&2
  exit 2
fi
if ! command -v setpriv >/dev/null || ! ids=$(getent passwd nobody | cut -d: -f3,4) || [ -z "$ids" ]; then
  echo "as_user.sh: no setpriv or no user nobody here: the tests ran as root only" >&2
  exit 0
fi
uid=${ids%%:*} gid=${ids##*:}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/torvane-as-user-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
copy=$scratch/build
as_user() {
  env HOME="$scratch" USER=nobody LOGNAME=nobody setpriv --reuid="$uid" --regid="$gid" --clear-groups -- "$@"
}

if ! as_user test -r "$build/CTestTestfile.cmake"; then
  echo "as_user.sh: the user nobody cannot read $build (a folder above it is closed to others):" >&2
  echo "the tests ran as root only; clone into a folder that others may read to run them as a user too" >&2
  exit 0
fi
# Object files and Ninja's logs are not needed to run the tests.
mkdir "$copy"
tar -C "$build" --exclude='*.o' --exclude='.ninja_*' -cf - . | tar -C "$copy" -xf -
grep -rlIZ --fixed-strings "$build" "$copy" | xargs -0 -r sed -i "s|$build|$copy|g"
chown -R "$uid:$gid" "$scratch"
echo "Running the tests as the user nobody (uid $uid) in a copy of $build"
as_user ctest --test-dir "$copy" "$@"
