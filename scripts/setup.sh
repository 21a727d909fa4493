#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds
# the project into ./build.
#
#   scripts/setup.sh [--tests] [--package] [--headless] [--tables] [--packages-only]
#
# Without options: what building and running the program needs. --tests adds
# what building and running the test suite and the benchmarks needs (the
# Windows cross-build with Wine, GoogleTest, Google Benchmark, the readers of
# exported files, and the package tools, since the suite builds and checks the
# Debian package) and builds the suite; --package adds the tools that build
# and check the Debian package (scripts/package.sh); --headless adds the virtual display,
# the window tool and the screenshot tools with which run.sh shows the program
# on a machine without a display; --tables adds the input of
# scripts/make_gbk_initials.py. --packages-only installs and stops.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Building and running Zelvoran. LibreOffice writes the Excel and Word exports.
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-pdf-dev libgl-dev libxcb1-dev
  libsqlite3-dev libjpeg-dev mdbtools-dev fonts-wqy-microhei qt6-translations-l10n
  libreoffice-calc-nogui libreoffice-writer-nogui
)
# The test suite and the benchmarks.
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev sqlite3
  g++-mingw-w64-x86-64 googletest wine64 locales
  python3 python3-xlrd poppler-utils
  # mutool makes the protected document of the viewer's password test;
  # mdb-export is what the Access benchmark measures the reader against.
  mupdf-tools mdbtools
)
# Building and checking the Debian package: dpkg-shlibdeps finds its
# library dependencies and dpkg-buildflags gives Debian's hardening flags;
# python3 finishes the package (packaging/finish_deb.py); hardening-check
# (devscripts), lintian, desktop-file-validate and appstreamcli check the
# programs, the package, its menu entry and its AppStream description.
package_packages=(dpkg-dev python3 devscripts lintian desktop-file-utils appstream)
# Showing the program without a display.
headless_packages=(xvfb xauth imagemagick xdotool)
# Taking the pinyin readings again (scripts/make_gbk_initials.py reads
# Unihan from unicode-data). The build reads only the committed table
# data/gbk_initials.txt, so neither building nor testing needs these.
table_packages=(unicode-data python3)

tests=0
packages_only=0
for arg in "$@"; do
  case "$arg" in
    --tests) tests=1; packages+=("${test_packages[@]}" "${package_packages[@]}") ;;
    --package) packages+=("${package_packages[@]}") ;;
    --headless) packages+=("${headless_packages[@]}") ;;
    --tables) packages+=("${table_packages[@]}") ;;
    --packages-only) packages_only=1 ;;
    *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

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

[ "$packages_only" -eq 1 ] && exit 0

build="$here/build"
configure=(cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "$tests" -eq 1 ]; then
  # Asked for, the suite is required: a missing piece is an error, not a
  # silently smaller build. Configuring again is quick and picks up what was
  # installed since the last time.
  "${configure[@]}" -DZELVORAN_BUILD_TESTS=ON
elif [ ! -f "$build/build.ninja" ]; then
  "${configure[@]}"
fi
cmake --build "$build" -j "$(nproc)"
