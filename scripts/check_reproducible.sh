#!/usr/bin/env bash
# Checks that the same source gives the same Debian package, byte for byte:
# copies the source into folders of other names and depths, builds the
# package there with scripts/package.sh, and compares the .deb files. On a
# difference it names the files inside that differ.
#
#   scripts/check_reproducible.sh [<package.deb>]
#
# Without an argument it builds twice, in two copies. With the package that
# scripts/package.sh built from this very tree (build-package/zelvoran_*.deb)
# it builds once, in one copy, and compares with that. Clean Release builds
# take a while; the copies and their builds are removed afterwards.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/zelvoran-reproducible.XXXXXX")"
trap 'rm -rf "$work"' EXIT

debs=()
folders=("$work/second/copy/of-the-source")
if [ $# -ge 1 ]; then
  debs+=("$(realpath "$1")")
else
  folders=("$work/a/src" "${folders[@]}")
fi
for folder in "${folders[@]}"; do
  mkdir -p "$folder"
  # The source as it is in the work tree, build folders left out.
  tar -C "$here" --exclude='./build*' --exclude='./.git' -cf - . | tar -C "$folder" -xf -
  # In build-package/ inside the copy, as package.sh builds by default: the
  # compiler writes the paths of generated files (Qt's moc output includes
  # the headers by paths relative to the build folder) into the debugging
  # information, from which the linker computes each file's build id. The
  # absolute folders are mapped away; the relative layout must be the same.
  bash "$folder/scripts/package.sh" > "$folder.log" 2>&1 ||
    { tail -n 30 "$folder.log"; echo "check_reproducible: the build in $folder failed" >&2; exit 1; }
  debs+=("$(ls "$folder"/build-package/zelvoran_*_amd64.deb)")
done

if cmp -s "${debs[0]}" "${debs[1]}"; then
  echo "Reproducible: both builds gave $(basename "${debs[0]}"), $(stat -c %s "${debs[0]}") bytes, sha256 $(sha256sum < "${debs[0]}" | cut -d' ' -f1)"
  exit 0
fi
echo "NOT reproducible: ${debs[0]} and ${debs[1]} differ" >&2
for n in 0 1; do
  mkdir -p "$work/x$n/control"
  dpkg-deb -x "${debs[$n]}" "$work/x$n/data"
  dpkg-deb -e "${debs[$n]}" "$work/x$n/control"
  dpkg-deb -c "${debs[$n]}" > "$work/x$n/listing"
done
diff "$work/x0/listing" "$work/x1/listing" >&2 || true
diff -rq "$work/x0" "$work/x1" >&2 || true
exit 1
