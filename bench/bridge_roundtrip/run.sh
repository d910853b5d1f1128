#!/usr/bin/env bash
# Builds and runs the bridge round-trip benchmark under a virtual display.
# Usage: bench/bridge_roundtrip/run.sh [reads]
set -euo pipefail
source "$(dirname "$0")/../common.sh"
build_once
export DBUS_SESSION_BUS_ADDRESS=disabled:
out="$("$root/scripts/virtual-display.sh" "$build/bench/bridge_roundtrip_bench" "${1:-1000}")"
echo "$out"
# The median of the line that starts with $1.
median_of() { awk -v what="$1" 'index($0, what) == 1 { for (i = 1; i < NF; ++i) if ($i == "median") print $(i + 1) }' <<<"$out"; }
ours=$(median_of "document bridge get")
bare=$(median_of "bare evaluate_javascript")
row "document bridge round trip, median of ${1:-1000} reads" "$ours ms" "bare evaluate_javascript: $bare ms" \
  "$(awk -v a="$ours" -v b="$bare" 'BEGIN { printf "%.2f", a / b }')" "≤ 0.3 ms" \
  "$(awk -v a="$ours" 'BEGIN { print (a <= 0.3) ? "met" : "NOT met" }')"
