#!/usr/bin/env bash
# Installs the Debian packages the build needs when they are missing: with apt-get as root,
# through sudo otherwise. Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

# The window program needs Qt 6 Widgets, its Japanese texts and a Japanese font; the install test
# checks the desktop entry and the file types; gettext compiles the command line's messages; the DXF
# tests read the DXF files back with ezdxf.
packages=(g++ cmake ninja-build libgtest-dev qt6-base-dev libgl-dev fonts-ipafont-gothic qt6-translations-l10n
  desktop-file-utils libxml2-utils shared-mime-info libglib2.0-bin gettext python3-ezdxf "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  apt_get=(apt-get)
elif command -v sudo >/dev/null 2>&1; then
  apt_get=(sudo apt-get)
else
  echo "Missing packages: ${missing[*]}" >&2
  echo "Installing them needs root: run this script as root, or install sudo, or install them with" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${apt_get[@]}" update -q
"${apt_get[@]}" install -y -q --no-install-recommends "${missing[@]}"
