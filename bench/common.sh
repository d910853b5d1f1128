# Sourced by the bench/*/run.sh scripts: where the repository and the build
# folder are, the build itself, and the rows a benchmark gives run-all.sh.
#
#   TVRN2_BUILD_DIR   the build folder, relative to the repository or absolute
#                     (default: build); the programs are in its bench/ folder
#   TVRN2_BENCH_BUILT set by run-all.sh, which has built already: no build here
#   TVRN2_BENCH_ROWS  a file the benchmark appends its table rows to

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TVRN2_BUILD_DIR:-build}"
case "$build" in
/*) ;;
*) build="$root/$build" ;;
esac
export TVRN2_BUILD_DIR="$build"

# Builds the build folder, its progress not shown, unless run-all.sh did.
build_once() {
  [ -n "${TVRN2_BENCH_BUILT:-}" ] || "$root/scripts/build.sh" "$build" >/dev/null
}

# Stops unless the program is there: for the benchmarks that build nothing.
need_program() {
  [ -x "$1" ] || { echo "build first: scripts/build.sh ${TVRN2_BUILD_DIR#"$root"/}" >&2; exit 1; }
}

# row FIGURE OURS PEER RATIO GOAL MET: one line of the table (see bench/table.py).
row() {
  [ -z "${TVRN2_BENCH_ROWS:-}" ] || (IFS=$'\t' && echo "$*") >>"$TVRN2_BENCH_ROWS"
}

# A whole number with commas between its thousands: 278927592 is 278,927,592.
thousands() {
  sed ':a; s/\B[0-9]\{3\}\>/,&/; ta' <<<"$1"
}
