#!/usr/bin/env bash
# Fuzzes one target for a while: fuzz/run.sh TARGET SECONDS [libFuzzer flags...]
# Builds the libFuzzer executables with clang into build-fuzz/ (address and
# undefined-behaviour checks on), starts from the seed corpus in
# fuzz/corpus/TARGET and keeps what it learns in build-fuzz/corpus/TARGET, so
# the seeds in the repository stay small. Crashing inputs land in
# build-fuzz/findings/TARGET.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  echo "usage: fuzz/run.sh TARGET SECONDS [libFuzzer flags...]" >&2
  echo "targets: $(ls fuzz/corpus | tr '\n' ' ')" >&2
  exit 2
fi
target="$1"
seconds="$2"
shift 2
if [ ! -d "fuzz/corpus/$target" ]; then
  echo "no seed corpus for $target" >&2
  exit 2
fi

dir=build-fuzz
if [ ! -f "$dir/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTVRN2_FUZZ=ON -DTVRN2_SANITIZE=ON -DTVRN2_BUILD_TESTS=OFF -DTVRN2_BUILD_BENCH=OFF \
    -DTVRN2_BUILD_EXAMPLES=OFF >/dev/null
fi
cmake --build "$dir" -j2 --target "fuzz_$target"

work="$dir/corpus/$target"
findings="$dir/findings/$target"
mkdir -p "$work" "$findings"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
export DBUS_SESSION_BUS_ADDRESS=disabled:
# -print_final_stats gives the executions done; libFuzzer exits non-zero on a finding.
"$dir/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
  -artifact_prefix="$findings/" -print_final_stats=1 -max_len=65536 "$@"
