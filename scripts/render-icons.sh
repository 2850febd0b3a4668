#!/usr/bin/env bash
# Draws the window's images from the SVG sources under scripts/icons/ into
# resources/drawable/hardware/. The PNGs are committed, so the build never needs the converter;
# run this after changing a source. Needs rsvg-convert (Debian package librsvg2-bin).
#   scripts/icons/*.svg           one image each, at the width and height its SVG declares
#   scripts/icons/category/B.svg  one category drawing, as ic_B30.png and ic_B42.png
#   scripts/icons/Loading/loading.svg  the busy spinner, turned into 30 frames
#   dist/desktop/sysdiagnose-host.svg  the program's icon for its desktop entry, in dist/desktop/SIZE/
set -euo pipefail
cd "$(dirname "$0")/.."
src=scripts/icons
out=resources/drawable/hardware

if ! command -v rsvg-convert >/dev/null; then
  echo "render-icons: rsvg-convert not found (apt-get install librsvg2-bin)" >&2
  exit 2
fi
mkdir -p "$out/Loading"

for svg in "$src"/*.svg; do
  name=$(basename "$svg" .svg)
  rsvg-convert --output "$out/$name.png" "$svg"
done

# The category drawings sit on a 30-pixel grid; the 42-pixel copy is the larger source that the
# pages scale down to 14 and 28 pixels, so it is rendered from the same drawing.
for svg in "$src"/category/*.svg; do
  name=$(basename "$svg" .svg)
  for size in 30 42; do
    rsvg-convert --width "$size" --height "$size" --output "$out/ic_$name$size.png" "$svg"
  done
done

# Frame N shows the spinner turned by (N-1) x 12 degrees: 30 even steps of one turn, so the
# looping animation runs without a jump from frame 30 back to frame 1.
spinner=$src/Loading/loading.svg
grep -q 'rotate(0 10 10)' "$spinner" || { echo "render-icons: $spinner lost its rotate(0 10 10)" >&2; exit 1; }
for n in $(seq 1 30); do
  sed "s/rotate(0 10 10)/rotate($(( (n - 1) * 12 )) 10 10)/" "$spinner" |
    rsvg-convert --output "$out/Loading/loading_$n.png"
done
# The animation's own image path names the strip without a frame number: it shows frame 1.
cp "$out/Loading/loading_1.png" "$out/Loading/loading_.png"

# The desktop entry's icon: the drawing itself is the scalable one; desktops without SVG support
# and small panels take the hicolor theme's fixed sizes.
for size in 16 24 32 48 64 128 256; do
  mkdir -p "dist/desktop/$size"
  rsvg-convert --width "$size" --height "$size" --output "dist/desktop/$size/sysdiagnose-host.png" \
    dist/desktop/sysdiagnose-host.svg
done
