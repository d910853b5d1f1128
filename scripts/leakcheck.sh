#!/usr/bin/env bash
# Runs the whole program once under a leak checker and fails on a leak of
# our own: start, the home page (served on loopback), a click on the download
# button, the watch's verdict on a file of the installer's size in a
# temporary download folder, close. The run is the test
# ProgramTest.AFullRunWithAVerdictEndsCleanly, which starts build*/tvrn2.
#
#   scripts/leakcheck.sh            sanitizer build (build-asan/), LeakSanitizer
#   scripts/leakcheck.sh valgrind   normal build (build/) under valgrind's
#                                   memcheck; only definite leaks fail the run
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-asan}"
export DBUS_SESSION_BUS_ADDRESS=disabled:
case "$mode" in
asan)
  scripts/build.sh build-asan -DTVRN2_SANITIZE=ON -DTVRN2_BUILD_BENCH=OFF -DTVRN2_BUILD_EXAMPLES=OFF
  source scripts/sanitizer-env.sh
  dir=build-asan
  ;;
valgrind)
  if ! command -v valgrind >/dev/null; then
    echo "valgrind is not installed (Debian package valgrind)" >&2
    exit 2
  fi
  scripts/build.sh build
  export TVRN2_PROGRAM_WRAPPER="valgrind --leak-check=full --show-leak-kinds=definite \
--errors-for-leak-kinds=definite --error-exitcode=99 --num-callers=40"
  dir=build
  ;;
*)
  echo "usage: scripts/leakcheck.sh [asan|valgrind]" >&2
  exit 2
  ;;
esac
scripts/virtual-display.sh "$dir/tests/app/app_tests" --gtest_filter=ProgramTest.AFullRunWithAVerdictEndsCleanly
