#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite through CTest.
#
#   bash scripts/test.sh [ctest options]
#   bash scripts/test.sh --sanitize [ctest options]
#
# --sanitize builds the same suite into build-asan/ with AddressSanitizer and
# UndefinedBehaviorSanitizer (any finding fails its test; leaks are findings
# too, except those that Qt and fontconfig keep by design, listed in
# scripts/lsan.supp) and runs it there. The benchmarks are not built there.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

sanitize=0
ctest_args=()
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1 ;;
    *) ctest_args+=("$arg") ;;
  esac
done

if [ "$sanitize" -eq 0 ]; then
  "$here/scripts/setup.sh" --tests
  cd "$here/build"
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 "${ctest_args[@]}"
  exit
fi

"$here/scripts/setup.sh" --tests --packages-only
build="$here/build-asan"
sanitizers="-fsanitize=address,undefined"
if [ ! -f "$build/build.ninja" ]; then
  # -O1 keeps the build and the run quick enough while the reports still
  # point at the right lines.
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$sanitizers -fno-sanitize-recover=undefined -fno-omit-frame-pointer -O1" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
    -DCMAKE_SHARED_LINKER_FLAGS="$sanitizers" \
    -DCMAKE_MODULE_LINKER_FLAGS="$sanitizers" \
    -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON -DZELVORAN_BUILD_TESTS=ON
fi
cmake --build "$build" -j "$(nproc)"

# Child processes (the whole program in tests/processes) inherit these.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
# Qt PDF 6.4's PDF engine keeps some objects that it parsed from a document
# with links and contents (a cycle of its own objects, with no frame of ours on
# the allocation's stack, and its stacks carry no names a suppression could
# match). That one test runs with every check but the leak check; all others
# run with all of them.
links_test='^PolicyViewer\.LinksAndContentsGoWhereTheyPoint$'
status=0
ASAN_OPTIONS="${ASAN_OPTIONS/detect_leaks=1/detect_leaks=0}" QT_QPA_PLATFORM=offscreen \
  ctest --output-on-failure -R "$links_test" "${ctest_args[@]}" || status=$?
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 -E "$links_test" "${ctest_args[@]}" || status=$?
exit "$status"
