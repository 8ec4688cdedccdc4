#!/usr/bin/env bash
# Installs the Debian packages the build needs when they are missing: with apt-get as root,
# through sudo otherwise; without either it says what to run as root. Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

# The window program needs Qt 6 Widgets, its Japanese texts and a Japanese font; the install test
# checks the desktop entry, the file types and the manual pages; gettext compiles the command
# line's messages; the DXF tests read the DXF files back with ezdxf; poppler-utils measures the PDF
# pictures in the tests; zlib deflates the PNG pictures.
packages=(g++ cmake ninja-build libgtest-dev qt6-base-dev libgl-dev zlib1g-dev fonts-ipafont-gothic qt6-translations-l10n
  desktop-file-utils libxml2-utils shared-mime-info libglib2.0-bin gettext groff-base python3-ezdxf poppler-utils "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
install=(apt-get install -y -q --no-install-recommends "${missing[@]}")
tell_root() {
  echo "Torvane's build needs these Debian packages, which are not installed: ${missing[*]}" >&2
  echo "Install them as root (then run again what you ran), for instance:" >&2
  echo "  su -c '$self $*'    (or: sudo $self $*)" >&2
  echo "or, as root, by hand:" >&2
  echo "  apt-get update && ${install[*]}" >&2
  exit 1
}

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
  echo "Installing: ${missing[*]}"
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
  echo "Installing with sudo (it may ask for your password): ${missing[*]}"
else
  tell_root "$@"
fi
{ "${sudo[@]}" apt-get update -q && "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}"; } || {
  [ ${#sudo[@]} -gt 0 ] && tell_root "$@"
  exit 1
}
