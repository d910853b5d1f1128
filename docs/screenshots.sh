#!/usr/bin/env bash
# Redraws the main window's pictures in docs/ by running the end-to-end window
# tests under a virtual display (build first: scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export DBUS_SESSION_BUS_ADDRESS=disabled:
export TVRN2_SCREENSHOTS="$PWD/docs"
scripts/virtual-display.sh build/tests/app/app_tests --gtest_filter='MainWindowFlowTest.*'
