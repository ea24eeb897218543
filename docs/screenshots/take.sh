#!/usr/bin/env bash
# Takes the pictures of the program's own windows on the simulated module,
# on an X display of its own under openbox, at scale 1 and at scale 2 (the
# *_2x.png files), and puts those the README shows into docs/screenshots/
# (256 colours, to keep them small; ImageMagick's convert). The rest, every
# window and dialog, stays in the scratch folder to look at. Usage, from
# the top of the tree, with the test build configured (see the README):
#   docs/screenshots/take.sh [BUILD_DIR]
set -eu
build=${1:-build/test}
scratch=$(mktemp -d)
echo "All pictures: $scratch"
cmake --build "$build" --target barometer-screenshots
for scale in 1 2; do
  BAROMETER_SHOTS="$scratch" QT_SCALE_FACTOR=$scale ASAN_OPTIONS=detect_leaks=0 \
    tests/support/with_openbox.sh "$build/tests/windows/barometer-screenshots"
done
shown="main_storm small_storm barograph_inhg chart_pressure chart_altitude barograph_24h
       barograph_7d about splash corrections"
for name in $shown range help; do
  for file in "$name.png" "${name}_2x.png"; do
    case "$file" in range_2x.png | help_2x.png) continue ;; esac
    convert "$scratch/$file" -strip +dither -colors 256 -define png:compression-level=9 \
      "PNG8:docs/screenshots/$file"
  done
done
