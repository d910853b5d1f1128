#!/usr/bin/env bash
# Builds and runs the bridge round-trip benchmark under a virtual display.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/build.sh build >/dev/null
export DBUS_SESSION_BUS_ADDRESS=disabled:
exec scripts/virtual-display.sh build/bench/bridge_roundtrip_bench "${1:-1000}"
