#!/usr/bin/env bash
# Builds the Debian package zelvoran_<version>_amd64.deb and checks it.
#
#   scripts/package.sh [<folder>]
#
# Installs the Debian packages that are missing (the program's and the
# package tools, through setup.sh), then builds the program afresh in a folder
# of its own (<folder>, else build-package/; whatever it held is removed
# first): a Release build without the tests, with Debian's hardening flags
# (dpkg-buildflags: stack protector, FORTIFY_SOURCE, RELRO, BIND_NOW, PIE)
# and the build's folders mapped away, so that the same source gives the
# same package wherever it is built (in a build folder at the same place
# relative to the source: the default, build-package/). CPack packs it into
# <folder>/zelvoran_<version>_amd64.deb, which is then checked: hardening-check
# passes for Zelvoran and pdfview.ocx, lintian reports no error and no
# warning, the menu entry passes desktop-file-validate and the AppStream
# description appstreamcli validate.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$here/build-package}")"

bash "$here/scripts/setup.sh" --package --packages-only

rm -rf "$build"
mkdir -p "$build"
# Every hardening feature, and the source and build folders written as "."
# wherever a path ends up in a compiled file.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=+all"
maps="-ffile-prefix-map=$here=. -ffile-prefix-map=$build=."
# What Debian 12's dpkg-buildflags does not give yet and hardening-check
# looks for: stack clash protection, and control flow protection (x86's
# CET, arm64's branch protection), as later Debian releases add them.
extra="-fstack-clash-protection"
case "$(dpkg-architecture -qDEB_HOST_ARCH)" in
  amd64 | i386) extra+=" -fcf-protection" ;;
  arm64) extra+=" -mbranch-protection=standard" ;;
esac
cxxflags="$(cd "$here" && dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) $extra $maps"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
# Optimisation and debugging information as dpkg-buildflags gives them (the
# package's files are stripped); no run path, only system libraries are
# linked. ccache, where the build uses it, must pass the compiler the paths
# as they are: with a base folder it would make some of them relative, and
# the maps above would no longer apply to them (the debugging information,
# and with it the files' build ids, would then depend on the folders).
export CCACHE_BASEDIR=
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELVORAN_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
  -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" -DCMAKE_SKIP_RPATH=ON
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack --config CPackConfig.cmake -B "$build")
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
deb="$build/zelvoran_${version}_amd64.deb"

check="$(mktemp -d)"
trap 'rm -rf "$check"' EXIT
dpkg-deb -x "$deb" "$check"
# Control flow protection: the code is compiled with it, but Debian 12's
# C library start files (Scrt1.o) carry no IBT/SHSTK mark, so the linker
# cannot mark a whole program as protected, and hardening-check, which reads
# that mark, cannot pass it on this release; it is not asked for here.
hardening-check --nocfprotection "$check/opt/zelvoran/Zelvoran"
# The viewer control is compiled with the same flags, but it calls no C
# library function whose buffer size the compiler knows (its text and files
# go through Qt and the C++ library), so no call becomes a checked one, not
# even with _FORTIFY_SOURCE=3: hardening-check then reports "only
# unprotected functions found", which says nothing about the build. Every
# other check applies to it.
hardening-check --nocfprotection --nofortify "$check/opt/zelvoran/pdfview.ocx"
desktop-file-validate "$check"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$check"/usr/share/metainfo/*.metainfo.xml
lintian_options=(--fail-on error,warning)
[ "$(id -u)" -ne 0 ] || lintian_options+=(--allow-root)  # lintian asks to be told
lintian "${lintian_options[@]}" "$deb"

echo "Package: $deb"
