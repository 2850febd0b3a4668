#!/usr/bin/env bash
# Screenshots of the window served by `ui` in headless Chromium, in English and Chinese, at 1920x1080
# and 700x500 with the keyboard's focus ring showing: docs/window-*.png.
# Usage: scripts/window-screenshots.sh [build directory]   (default: build/default, built first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
cmake --build "$build" --target sysdiagnose-host >/dev/null
mkdir -p docs
SYSDIAGNOSE_APP_DIR="$PWD/$build/bin" SYSDIAGNOSE_MACHINE= \
  node tests/browser/window_screenshots.mjs "$PWD/$build/bin/sysdiagnose-host" resources/machines/faulty-notebook.json docs
