#!/usr/bin/env bash
# Start-up time (process start to the page loaded in the window) and resident
# memory of all processes (UI, web, network), the browser host against a bare
# WebKitGTK window, on one page served from loopback. Runs each program
# ROUNDS times in turn under a virtual display and prints medians and ratios.
# Usage: bench/browser_startup/run.sh [rounds]
set -euo pipefail
source "$(dirname "$0")/../common.sh"
build_once
export DBUS_SESSION_BUS_ADDRESS=disabled:
exec "$root/scripts/virtual-display.sh" python3 "$root/bench/browser_startup/compare.py" "$build/bench" "${1:-11}"
