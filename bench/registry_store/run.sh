#!/usr/bin/env bash
# Times the registry store on a large file (bench/registry_store of the build):
# opening it (the first look-up, which reads and indexes the whole file) and
# rewriting it (one value changed, the file written anew and flushed), each
# against the plain read of the same file (`cat FILE >/dev/null`), warm in the
# page cache, and prints the ratios of their median wall times.
# Usage: bench/registry_store/run.sh [runs] [keys]   (REGISTRY_STORE=path overrides the binary)
set -euo pipefail
source "$(dirname "$0")/../common.sh"
bin="${REGISTRY_STORE:-$build/bench/registry_store}"
runs="${1:-5}"
keys="${2:-640000}"

need_program "$bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tvrn2"
file="$work/tvrn2/registry.reg"
"$bin" make "$file" "$keys"
cat "$file" >/dev/null
export XDG_CONFIG_HOME="$work"

read_time() {
  local TIMEFORMAT='%R'
  { time cat "$file" >/dev/null; } 2>&1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/open"
: >"$work/rewrite"
: >"$work/read"
for ((n = 0; n < runs; n++)); do
  line="$("$bin" run "$keys" "changed $n")"
  awk '{ print $2 }' <<<"$line" >>"$work/open"
  awk '{ print $4 }' <<<"$line" >>"$work/rewrite"
  read_time >>"$work/read"
done
open=$(median <"$work/open")
rewrite=$(median <"$work/rewrite")
plain=$(median <"$work/read")
echo "store: $keys keys, $(stat -c %s "$file") bytes, warm; $runs runs each, alternating; medians in seconds"
printf '%-26s %s\n' "open (read and index)" "$open" "rewrite (one value)" "$rewrite" "cat FILE (plain read)" "$plain"
awk -v o="$open" -v r="$rewrite" -v p="$plain" \
  'BEGIN { printf "ratio to the plain read: open %.1f, rewrite %.1f (goal: each under 2 s)\n", o / p, r / p }'
# store_row WHAT SECONDS
store_row() {
  row "registry store of $(thousands "$keys") keys, warm: $1" "$2 s" "cat FILE: $plain s" \
    "$(awk -v a="$2" -v b="$plain" 'BEGIN { printf "%.1f", a / b }')" "< 2 s" \
    "$(awk -v a="$2" 'BEGIN { print (a < 2) ? "met" : "NOT met" }')"
}
store_row open "$open"
store_row rewrite "$rewrite"
