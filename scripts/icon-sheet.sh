#!/usr/bin/env bash
# Writes a contact sheet of resources/drawable/hardware/: every image at 1x and 4x (pixels kept
# square), on white and on light grey, as one HTML page to open in a browser or screenshot.
# Usage: scripts/icon-sheet.sh [OUT.html]   (default: stdout)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(pwd)/resources/drawable/hardware
exec > "${1:-/dev/stdout}"

cell() {  # one image: its name, then 1x and 4x on both backgrounds
  local file=$1 rel=${1#"$dir"/}
  printf '<figure><div class="w"><img src="file://%s"><img class="x4" src="file://%s"></div>' "$file" "$file"
  printf '<div class="g"><img src="file://%s"><img class="x4" src="file://%s"></div>' "$file" "$file"
  printf '<figcaption>%s</figcaption></figure>\n' "$rel"
}

cat <<'EOF'
<!DOCTYPE html><html><head><meta charset="utf-8"><style>
body { font: 11px sans-serif; margin: 8px; background: #fff; }
section { display: flex; flex-wrap: wrap; gap: 6px; margin-bottom: 10px; }
figure { margin: 0; border: 1px solid #ddd; }
figure div { display: flex; align-items: center; gap: 6px; padding: 4px; }
.w { background: #fff; } .g { background: #f0f1f3; }
img.x4 { zoom: 4; image-rendering: pixelated; }
figcaption { padding: 2px 4px; color: #555; }
</style></head><body>
EOF
for group in "ic_check* ico_* ic_unusual* ic_restart* ic_turnoff*" "ic_expansion* ic_collapse* btn_*" \
             "ic_*30.png" "ic_*42.png" "icon_* index_* doctor_*" "Loading/loading_*"; do
  echo '<section>'
  for pattern in $group; do
    # shellcheck disable=SC2086  # the pattern is a glob, sorted by frame number with ls -v
    for f in $(cd "$dir" && ls -v $pattern 2>/dev/null); do cell "$dir/$f"; done
  done
  echo '</section>'
done
echo '</body></html>'
