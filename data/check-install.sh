#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop needs from
# it: valid desktop entry and metainfo, the icon at every size, and a program
# whose shared libraries are found where they were installed.
# Usage: check-install.sh BUILD_DIR APP_ID BINDIR LIBDIR DATADIR "SIZES..."
set -euo pipefail
build=$1 app_id=$2 bindir=$3 libdir=$4 datadir=$5 sizes=$6

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
# A space in the prefix shows whether paths are quoted where they must be.
prefix="$prefix/install root"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

entry="$prefix/$datadir/applications/$app_id.desktop"
metainfo="$prefix/$datadir/metainfo/$app_id.metainfo.xml"
program="$prefix/$bindir/tvrn2"

desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"

exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ "$exec_line" = "\"$program\"" ] || fail "Exec is $exec_line, not the installed program"
[ -x "$program" ] || fail "$program is not an executable"
grep -qx "Icon=$app_id" "$entry" || fail "Icon is not $app_id"

# An empty list would pass every icon unseen.
[ -n "${sizes// /}" ] || fail "no icon sizes given to check"
for size in $sizes; do
  png="$prefix/$datadir/icons/hicolor/${size}x${size}/apps/$app_id.png"
  if [ ! -f "$png" ]; then
    fail "no ${size}x${size} icon"
    continue
  fi
  # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
done
[ -f "$prefix/$datadir/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "no scalable icon"

# Every library of the project must resolve inside the prefix: those the
# program links through ldd, those it loads by name later through its run path.
libs=$(ldd "$program")
if grep -q "not found" <<<"$libs"; then
  fail "unresolved libraries: $(grep "not found" <<<"$libs")"
fi
runpath=$(readelf -d "$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
runpath=${runpath//\$ORIGIN/$(dirname "$program")}
installed=$(find "$prefix/$libdir" -maxdepth 1 -name '*.so*' -printf '%f\n')
[ -n "$installed" ] || fail "no shared library installed in $libdir"
for lib in $installed; do
  real=$(readlink -f "$prefix/$libdir/$lib")
  if ldd "$real" | grep -q "not found"; then
    fail "$lib has unresolved libraries"
  fi
  # ldd prints the path as the run path built it ($ORIGIN/../lib).
  loaded=$(awk -v lib="$lib" '$1 == lib && $2 == "=>" { sub(/^[^>]*=> /, ""); sub(/ \(0x[0-9a-f]+\)$/, ""); print }' <<<"$libs")
  if [ -n "$loaded" ]; then
    [ "$(readlink -f "$loaded")" = "$real" ] || fail "$lib is loaded from $loaded, not from the prefix"
    continue
  fi
  found=""
  IFS=: read -ra dirs <<<"$runpath"
  for dir in "${dirs[@]}"; do
    [ -n "$dir" ] && [ "$(readlink -f "$dir/$lib")" = "$real" ] && found=yes
  done
  [ -n "$found" ] || fail "$lib is neither linked nor on the program's run path ($runpath)"
done

exit $((failures > 0))
