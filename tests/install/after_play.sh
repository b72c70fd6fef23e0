#!/usr/bin/env bash
# The README's install command right after scripts/play: a fresh build tree
# gets only the targets play builds, and installing from it must then work.
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
targets=$(sed -n 's/^cmake --build --preset default .*--target \([^#]*\).*/\1/p' "$src/scripts/play")
[ -n "$targets" ] || { echo "no build line with --target found in scripts/play"; exit 1; }
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERVALON_TESTS=OFF -DTERVALON_BENCH=OFF >/dev/null
# shellcheck disable=SC2086 # one word per target
cmake --build "$work/build" --target $targets >/dev/null
cmake --install "$work/build" --prefix "$work/prefix" >/dev/null
for f in bin/tervalon share/tervalon/tervalon.dat share/icons/hicolor/256x256/apps/tervalon.png \
         share/applications/tervalon.desktop; do
  [ -e "$work/prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
