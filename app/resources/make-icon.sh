#!/usr/bin/env bash
# Renders tvrn2tavrin.svg into the multi-size tvrn2tavrin.ico linked into the
# program. Run it after changing the drawing and commit both files; the build
# only embeds the .ico, so it needs neither tool.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngs=()
for size in 16 24 32 48 64; do
  gdk-pixbuf-thumbnailer -s "$size" tvrn2tavrin.svg "$work/$size.png"
  pngs+=("$work/$size.png")
done
convert "${pngs[@]}" tvrn2tavrin.ico
