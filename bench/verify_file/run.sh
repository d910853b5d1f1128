#!/usr/bin/env bash
# Times the verification's digest path (bench/verify_file of the build) against
# `openssl dgst -md5` on a freshly made file of the installer's size, warm in
# the page cache, and prints the ratio of their median wall times.
# Usage: bench/verify_file/run.sh [runs]   (VERIFY_FILE=path overrides the binary)
set -euo pipefail
source "$(dirname "$0")/../common.sh"
bin="${VERIFY_FILE:-$build/bench/verify_file}"
runs="${1:-9}"
size=278927592

need_program "$bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
file="$work/installer.bin"

# Real bytes, not a sparse file: reading holes is cheaper than reading data.
head -c "$size" /dev/urandom >"$file"
cat "$file" >/dev/null

ours="$("$bin" "$file" | cut -d' ' -f1)"
theirs="$(openssl dgst -md5 -r "$file" | cut -d' ' -f1)"
if [ "$ours" != "$theirs" ]; then
  echo "digests differ: verify_file $ours, openssl $theirs" >&2
  exit 1
fi

# One run: "wall cpu" in seconds (cpu = user + system), from bash's own timer.
measure() {
  local TIMEFORMAT='%R %U %S' line
  line=$({ time "$@" >/dev/null; } 2>&1)
  awk '{ printf "%.4f %.4f\n", $1, $2 + $3 }' <<<"$line"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Alternate the two so that drifts in machine speed hit both alike.
: >"$work/ours"
: >"$work/openssl"
for ((n = 0; n < runs; n++)); do
  measure "$bin" "$file" >>"$work/ours"
  measure openssl dgst -md5 "$file" >>"$work/openssl"
done
wall_a=$(cut -d' ' -f1 "$work/ours" | median)
wall_b=$(cut -d' ' -f1 "$work/openssl" | median)
cpu_a=$(cut -d' ' -f2 "$work/ours" | median)
cpu_b=$(cut -d' ' -f2 "$work/openssl" | median)
echo "file: $size bytes, warm; $runs runs each, alternating; medians in seconds"
printf '%-18s wall %s  cpu %s\n' "verify_file" "$wall_a" "$cpu_a" "openssl dgst -md5" "$wall_b" "$cpu_b"
awk -v a="$wall_a" -v b="$wall_b" -v c="$cpu_a" -v d="$cpu_b" \
  'BEGIN { printf "ratio verify_file / openssl: wall %.3f, cpu %.3f (goal <= 1.00)\n", a / b, c / d }'
row "verify a warm $(thousands "$size")-byte file (MD5 in 1024-byte records), wall" "$wall_a s" "openssl dgst -md5: $wall_b s" \
  "$(awk -v a="$wall_a" -v b="$wall_b" 'BEGIN { printf "%.3f", a / b }')" "≤ 1.00" \
  "$(awk -v a="$wall_a" -v b="$wall_b" 'BEGIN { print (a <= b) ? "met" : "NOT met" }')"
