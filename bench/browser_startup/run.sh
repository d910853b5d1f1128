#!/usr/bin/env bash
# Start-up time (process start to the page loaded in the window) and resident
# memory of all processes (UI, web, network), the browser host against a bare
# WebKitGTK window, on one page served from loopback. Runs each program
# ROUNDS times in turn under a virtual display and prints medians and ratios.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/build.sh build >/dev/null
export DBUS_SESSION_BUS_ADDRESS=disabled:
exec scripts/virtual-display.sh python3 bench/browser_startup/compare.py build/bench "${1:-7}"
