#!/usr/bin/env bash
# Runs the normal suite N times (default 3) at six jobs on purpose, more than
# the machine has cores, so that tests which depend on timing or share
# something they should not meet each other. Prints each test that failed
# with how often, and fails if any did. Builds into build/ first.
# STRESS_LOAD=K adds K busy loops beside the suite, as a parallel build would.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-3}"
scripts/deps.sh
scripts/build.sh build
export DBUS_SESSION_BUS_ADDRESS=disabled:

hogs=()
for ((i = 0; i < ${STRESS_LOAD:-0}; i++)); do
  (while :; do :; done) &
  hogs+=($!)
done
trap 'if ((${#hogs[@]})); then kill "${hogs[@]}" 2>/dev/null || true; fi' EXIT

logs=$(mktemp -d)
for ((run = 1; run <= runs; run++)); do
  start=$(date +%s)
  if scripts/virtual-display.sh ctest --test-dir build -j6 --timeout 600 --output-on-failure >"$logs/run-$run.log" 2>&1; then
    outcome=passed
  else
    outcome=FAILED
  fi
  echo "run $run of $runs: $outcome in $(($(date +%s) - start)) s ($(grep -E 'tests passed' "$logs/run-$run.log" || echo 'no summary'))"
done

# ctest lists failures after its summary, under "The following tests FAILED:",
# one "  123 - Suite.Name (Failed)" line each, up to the next blank line.
failures=$(awk '
  FNR == 1 { listing = 0 }
  /The following tests FAILED:/ { listing = 1; next }
  listing && NF == 0 { listing = 0 }
  listing && /^[[:space:]]*[0-9]+ - / { sub(/^[[:space:]]*[0-9]+ - /, ""); print }' "$logs"/run-*.log | sort | uniq -c | sort -rn)
if [ -n "$failures" ]; then
  echo "Tests that failed (count, name), logs in $logs:"
  echo "$failures"
  exit 1
fi
echo "No test failed in $runs runs."
rm -rf "$logs"
