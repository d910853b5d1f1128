#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program; without a display
# it runs under a virtual one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a build/tvrn2 "$@"
fi
exec build/tvrn2 "$@"
