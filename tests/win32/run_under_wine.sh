#!/usr/bin/env bash
# Runs the Win32 test program under Wine, in a Wine prefix of its own that is
# created here and thrown away afterwards; only that prefix's wineserver is
# ended. No display is needed. The ANSI code page is 936, as on the systems
# the program is made for.
# Usage: run_under_wine.sh <test_win32.exe> [GoogleTest options...]
set -u

fail() {
  echo "Win32 tests under Wine: $*" >&2
  exit 1
}

program="${1:-}"
shift || true
[ -f "$program" ] || fail "the test program '$program' has not been built"

wine=""
for candidate in "${WINE:-}" "$(command -v wine64 2>/dev/null)" /usr/lib/wine/wine64 \
                 "$(command -v wine 2>/dev/null)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then wine="$candidate"; break; fi
done
[ -n "$wine" ] || fail "Wine is not installed (Debian package wine64); it cannot start"
wineserver=""
for candidate in "$(dirname "$wine")/wineserver" "$(command -v wineserver 2>/dev/null)" \
                 /usr/lib/wine/wineserver; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then wineserver="$candidate"; break; fi
done
[ -n "$wineserver" ] || fail "no wineserver beside $wine; Wine cannot start"

work="$(mktemp -d "${TMPDIR:-/tmp}/zelvoran-wine.XXXXXX")" || fail "no temporary folder"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no offer to install Mono or Gecko
export LC_ALL=zh_CN.UTF-8                    # ANSI code page 936
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
  "$wineserver" -k >/dev/null 2>&1
  "$wineserver" -w >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

if ! timeout 120 "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
  cat "$work/wineboot.log" >&2
  fail "Wine cannot start: creating the Wine prefix failed (wineboot -i)"
fi

timeout 180 "$wine" "$program" --gtest_color=no "$@"
status=$?
case $status in
  0) ;;
  124) fail "the test program did not end within 3 minutes" ;;
  *) fail "the test program ended with exit code $status" ;;
esac
