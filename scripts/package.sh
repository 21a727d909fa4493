#!/usr/bin/env bash
# Builds the Debian package build/zelvoran_<version>_amd64.deb and checks it.
#
#   scripts/package.sh
#
# Installs the Debian packages that are missing (the program's and the
# package tools, through setup.sh), builds the project into ./build, packs the
# install into a .deb with CPack and checks it: lintian must report no error,
# the menu entry must pass desktop-file-validate and the AppStream description
# appstreamcli validate.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"

bash "$here/scripts/setup.sh" --package

cpack --config "$build/CPackConfig.cmake" -B "$build"
deb="$(ls -t "$build"/zelvoran_*_amd64.deb | head -n 1)"

# The menu entry and the AppStream description as they are packed.
check="$(mktemp -d)"
trap 'rm -rf "$check"' EXIT
dpkg-deb -x "$deb" "$check"
desktop-file-validate "$check"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$check"/usr/share/metainfo/*.metainfo.xml
lintian_options=(--fail-on error)
[ "$(id -u)" -ne 0 ] || lintian_options+=(--allow-root)  # lintian asks to be told
lintian "${lintian_options[@]}" "$deb"

echo "Package: $deb"
