#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Without a display
# it runs under a virtual one, saves a picture of the window once the home
# page (or the browser's error page for it) is shown, says where, and ends:
# the picture goes to $TVRN2_SCREENSHOT, by default build/tvrn2-window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  picture="$(realpath -m "${TVRN2_SCREENSHOT:-build/tvrn2-window.png}")"
  exec scripts/virtual-display.sh build/tvrn2 --screenshot "$picture" "$@"
fi
exec build/tvrn2 "$@"
