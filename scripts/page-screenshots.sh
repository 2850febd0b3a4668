#!/usr/bin/env bash
# Screenshots of the scan, detect and archive pages (and the upload window) as the tests drive them: page-snapshots writes their
# HTML on the sample notebook with faults, headless Chromium renders it into docs/*.png.
# Usage: scripts/page-screenshots.sh [build directory]   (default: build/default, built first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
cmake --build "$build" --target page-snapshots resources >/dev/null
html=$(mktemp -d)
profile=$(mktemp -d)
trap 'rm -rf "$html" "$profile"' EXIT
SYSDIAGNOSE_APP_DIR="$build/bin" "$build/bin/page-snapshots" resources/machines/faulty-notebook.json "$html"
mkdir -p docs
for page in scan-scanning scan-ready detect-running detect-result upload-window detect-repaired archive archive-summary; do
  # The window's size in pixels, as the page's HTML gives it (it follows the screen's scale).
  size=$(grep -o 'class="dui-window" style="[^"]*' "$html/$page.html" | sed -E 's/.*width:([0-9]+)px;height:([0-9]+)px.*/\1,\2/')
  chromium --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update \
    --disable-sync --no-first-run --hide-scrollbars --user-data-dir="$profile" \
    --screenshot="$PWD/docs/$page.png" --window-size="$size" "file://$html/$page.html" 2>/dev/null
  echo "docs/$page.png"
done
