#!/usr/bin/env bash
# Builds Torvane's Debian package, build/package/torvane_<version>-<revision>_<arch>.deb, and checks
# it with lintian. Installs what that needs when missing (dpkg-dev names the package's dependencies
# with their versions; lintian checks it), as scripts/deps.sh does.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/package

"$root/scripts/writable.sh" "$root/build"
"$root/scripts/deps.sh" dpkg-dev lintian
# Installed under /usr, as the package is: private libraries then go to the multiarch folder.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTORVANE_TESTS=OFF \
  -DTORVANE_BENCH=OFF >/dev/null
cmake --build "$build"
rm -f "$build"/torvane_*.deb
(cd "$build" && cpack -G DEB)
package=$(echo "$build"/torvane_*.deb)
# Warnings count too, not only errors (lintian's own threshold).
lintian --fail-on error,warning "$package"
echo "Built $package; lintian finds nothing to say. Install it as root: apt-get install $package"
