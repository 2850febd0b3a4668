#!/usr/bin/env bash
# Builds the Debian package of this tree the Debian way (dpkg-buildpackage: dh over CMake,
# dependencies computed by dh_shlibdeps) and checks it with lintian. Installs the packaging tools
# and the build dependencies debian/control names when they are missing (the machine runs as root).
# The package and its companions land in build/deb/; install it with
#   apt install ./build/deb/sysdiagnose_<version>_<arch>.deb
# Usage: scripts/build-deb.sh   (from a clean clone; it leaves the tree as it found it)
set -euo pipefail
cd "$(dirname "$0")/.."

export DEBIAN_FRONTEND=noninteractive
tools=(dpkg-dev debhelper lintian)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})) || ! dpkg-checkbuilddeps >/dev/null 2>&1; then
  apt-get update -qq
  ((${#missing[@]} == 0)) || apt-get install -y -qq --no-install-recommends "${missing[@]}"
  apt-get build-dep -y -qq ./
fi

# One version: the project's, which --version prints and the manual page names.
upstream=$(sed -n 's/^project(sysdiagnose VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
packaged=$(dpkg-parsechangelog -S Version)
if [[ $packaged != "$upstream" ]]; then
  echo "build-deb: debian/changelog says $packaged, CMakeLists.txt $upstream" >&2
  exit 1
fi

# The shared compiler cache, which debhelper's private HOME would otherwise hide.
if command -v ccache >/dev/null; then
  CCACHE_DIR=$(ccache -k cache_dir) && export CCACHE_DIR
fi
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }parallel=2"
dpkg-buildpackage -b -us -uc

arch=$(dpkg-architecture -qDEB_HOST_ARCH)
out=build/deb
mkdir -p "$out"
for file in ../sysdiagnose_"$upstream"_"$arch".{deb,buildinfo,changes} ../sysdiagnose-dbgsym_"$upstream"_"$arch".deb; do
  [[ -e $file ]] && mv "$file" "$out/"
done
debian/rules clean >/dev/null

echo "lintian:"
lintian --info --display-info "$out/sysdiagnose_${upstream}_${arch}.changes" && status=0 || status=$?
echo "built: $out/sysdiagnose_${upstream}_${arch}.deb"
exit "$status"
