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
# Ends only this prefix's wineserver (and with it every Windows process of the
# prefix), then throws the prefix away.
cleanup() {
  [ -d "$WINEPREFIX" ] && "$wineserver" -k >/dev/null 2>&1 && "$wineserver" -w >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no offer to install Mono or Gecko
unset DISPLAY WAYLAND_DISPLAY

# Wine takes the ANSI code page from the locale's name (zh_CN: 936) and the
# encoding of file names from the locale itself, which must exist for Chinese
# file names to work. Without an installed zh_CN.UTF-8, one is compiled into
# the throw-away folder.
if [ "$(LC_ALL=zh_CN.UTF-8 locale charmap 2>/dev/null)" != "UTF-8" ]; then
  mkdir -p "$work/locale"
  localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" >"$work/localedef.log" 2>&1
  [ -d "$work/locale/zh_CN.UTF-8" ] ||
    fail "no zh_CN.UTF-8 locale and none could be compiled (Debian package locales): $(cat "$work/localedef.log")"
  export LOCPATH="$work/locale"
fi
wine_locale=zh_CN.UTF-8

if ! env LC_ALL=$wine_locale timeout 120 "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
  cat "$work/wineboot.log" >&2
  fail "Wine cannot start: creating the Wine prefix failed (wineboot -i)"
fi
# wineboot returns while the prefix is still being set up; until that has
# finished (its wineserver ends), COM's RPC service does not start.
timeout 120 "$wineserver" -w || fail "Wine did not finish setting up its prefix within 2 minutes"

env LC_ALL=$wine_locale timeout 180 "$wine" "$program" --gtest_color=no "$@"
status=$?
case $status in
  0) ;;
  124) fail "the test program did not end within 3 minutes" ;;
  *) fail "the test program ended with exit code $status" ;;
esac
