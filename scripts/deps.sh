#!/usr/bin/env bash
# Installs the Debian packages the build needs when they are missing: with apt-get as root,
# through sudo otherwise. Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

packages=(g++ cmake ninja-build libgtest-dev desktop-file-utils libxml2-utils shared-mime-info libglib2.0-bin "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  apt_get=(apt-get)
else
  apt_get=(sudo apt-get)
fi
export DEBIAN_FRONTEND=noninteractive
"${apt_get[@]}" update -q
"${apt_get[@]}" install -y -q --no-install-recommends "${missing[@]}"
