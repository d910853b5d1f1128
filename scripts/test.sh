#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under a
# virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
export DBUS_SESSION_BUS_ADDRESS=disabled:
xvfb-run -a ctest --test-dir build --output-on-failure -j2 --timeout 600
