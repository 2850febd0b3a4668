#!/usr/bin/env bash
# Installs the Debian packages the build needs (only the missing ones), then configures and builds.
# Usage: scripts/setup.sh [preset]   (default: "default")
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

packages=(cmake ninja-build g++ pkg-config ccache
  librapidxml-dev libicu-dev liblog4cplus-dev libsqlite3-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  pci.ids libatasmart-dev
  libasound2-dev libkmod-dev libglib2.0-dev libx11-dev  # the running machine's checks and repairs
  dbus-daemon python3-dbusmock gsettings-desktop-schemas xvfb kmod  # their tests: private buses, schemas, a display
  dconf-gsettings-backend dconf-service  # GNOME's settings store, and its writer behind a session bus
  prometheus prometheus-node-exporter systemd  # the monitoring outputs on the real engines: node_exporter, promtool, systemd-analyze
  python3 chromium fonts-liberation2 fonts-wqy-microhei  # the browser check of the pages' HTML
  libcpp-httplib-dev nodejs  # sysdiagnose-host ui, and its browser test
  man-db bash-completion desktop-file-utils python3-jsonschema)  # the shipped files' tests: manual, completion, desktop entry, JSON schemas
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
command -v npm >/dev/null || missing+=(npm)  # some builds of nodejs bring their own npm
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser test's DevTools client, from the lock file; Chromium is Debian's, never downloaded.
browser=tests/browser
if [[ ! -f $browser/node_modules/.package-lock.json || $browser/package-lock.json -nt $browser/node_modules/.package-lock.json ]]; then
  (cd "$browser" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi

export CCACHE_BASEDIR=$PWD
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
