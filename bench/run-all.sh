#!/usr/bin/env bash
# Builds once, runs every benchmark against its peer in turn (each prints its
# own lines as it goes), then prints the one table of all their figures:
# figure, ours, peer, ratio, goal, met or not, with the machine's load before
# and after.
# Usage: bench/run-all.sh [--markdown | --doc]
#   --markdown  the table in Markdown
#   --doc       the table written into docs/benchmarks.md as well, between its markers
# TVRN2_BUILD_DIR names the build folder (default: build); TVRN2_BENCH_ROWS a
# file to keep the rows in. Each benchmark runs with its own default number of
# rounds. TVRN2_BENCH_BUILT=1 skips the build, for a build folder whose bench
# programs are built already.
set -euo pipefail
source "$(dirname "$0")/common.sh"
mode="${1:-}"
case "$mode" in
"" | --markdown | --doc) ;;
*) echo "usage: bench/run-all.sh [--markdown | --doc]" >&2; exit 2 ;;
esac

load() { uptime | sed 's/.*load average: //'; }

[ -n "${TVRN2_BENCH_BUILT:-}" ] || "$root/scripts/build.sh" "$build" >/dev/null
export TVRN2_BENCH_BUILT=1
# The rows go to a file of the caller's choosing, which is kept (bench/table.py
# makes the table of it again), or to one of our own.
if [ -z "${TVRN2_BENCH_ROWS:-}" ]; then
  TVRN2_BENCH_ROWS="$(mktemp)"
  trap 'rm -f "$TVRN2_BENCH_ROWS"' EXIT
fi
export TVRN2_BENCH_ROWS
: >"$TVRN2_BENCH_ROWS"

{
  printf '# date\t%s\n' "$(date -u '+%Y-%m-%d %H:%M UTC')"
  printf '# machine\t%s cores, %s\n' "$(nproc)" "$(uname -sr)"
  printf '# build\t%s (%s)\n' "${build#"$root"/}" \
    "$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")"
  printf '# load average (1, 5, 15 min) before\t%s\n' "$(load)"
} >>"$TVRN2_BENCH_ROWS"

for bench in verify_file browser_startup bridge_roundtrip fill_form registry_store; do
  echo "== $bench"
  # A benchmark that fails, or hangs for half an hour, says so in the table;
  # the others still run.
  status=0
  timeout 1800 "$root/bench/$bench/run.sh" || status=$?
  [ "$status" -eq 0 ] || row "$bench" "failed (exit $status)" "—" "—" "—" "NOT met"
  echo
done
printf '# load average (1, 5, 15 min) after\t%s\n' "$(load)" >>"$TVRN2_BENCH_ROWS"

case "$mode" in
"") python3 "$root/bench/table.py" "$TVRN2_BENCH_ROWS" ;;
--markdown) python3 "$root/bench/table.py" "$TVRN2_BENCH_ROWS" --markdown ;;
--doc)
  python3 "$root/bench/table.py" "$TVRN2_BENCH_ROWS"
  python3 "$root/bench/table.py" "$TVRN2_BENCH_ROWS" --doc "$root/docs/benchmarks.md"
  echo "written into docs/benchmarks.md"
  ;;
esac
