#!/usr/bin/env bash
# Runs a command under a virtual display of its own: xvfb-run -a, with a
# server that does not reset when its last client leaves. A reset makes a
# client that connects at that moment fail to open the display, which the
# tests, connecting and leaving many times over in parallel, would meet now
# and then.
# Usage: scripts/virtual-display.sh COMMAND [ARGS...]
exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
