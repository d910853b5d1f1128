#!/usr/bin/env bash
# Fills a loopback form of 200 text inputs and 20 check boxes by name through
# the browser object and through WebDriver (webkit2gtk-driver driving its
# MiniBrowser), timing only the filling, and prints medians, the time per
# field and the ratio; then times GetElementQ over all tags on a page of
# 5,000 elements and prints its peak memory. Both sides check their work.
# Usage: bench/fill_form/run.sh [rounds]
set -euo pipefail
source "$(dirname "$0")/../common.sh"
build_once
command -v WebKitWebDriver >/dev/null || { echo "install webkit2gtk-driver (scripts/deps.sh)" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=disabled:
exec "$root/scripts/virtual-display.sh" python3 "$root/bench/fill_form/compare.py" "$build/bench" "${1:-5}"
