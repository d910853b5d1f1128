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
  if xvfb-run -a ctest --test-dir build -j6 --timeout 600 --output-on-failure >"$logs/run-$run.log" 2>&1; then
    outcome=passed
  else
    outcome=FAILED
  fi
  echo "run $run of $runs: $outcome in $(($(date +%s) - start)) s ($(grep -E 'tests passed' "$logs/run-$run.log" || echo 'no summary'))"
done

# ctest lists failures as "  123 - Suite.Name (Failed)" after its summary.
failures=$(sed -n '/The following tests FAILED:/,$p' "$logs"/run-*.log |
  sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (\(.*\))$/\1 (\2)/p' | sort | uniq -c | sort -rn)
if [ -n "$failures" ]; then
  echo "Tests that failed (count, name), logs in $logs:"
  echo "$failures"
  exit 1
fi
echo "No test failed in $runs runs."
rm -rf "$logs"
