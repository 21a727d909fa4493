#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then
# configures and builds the project into ./build (not with --packages-only).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-pdf-dev libqt6pdfwidgets6 libgl-dev libxcb1-dev
  libsqlite3-dev sqlite3 libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth imagemagick fonts-wqy-microhei qt6-translations-l10n
  g++-mingw-w64-x86-64 googletest wine64 locales python3
  libreoffice-calc-nogui libreoffice-writer-nogui python3-xlrd poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" = "--packages-only" ] && exit 0

build="$here/build"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$(nproc)"
