#!/usr/bin/env bash
# Installs what is missing, builds the viewer and opens it on the G-code file named, or
# else on a bundled example.
# Usage: scripts/run.sh [file.gcode]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set); run this from a desktop session." >&2
  exit 1
fi

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"

if [[ $# -ge 1 ]]; then
  file=$1
else
  # The vector drawing (its header says so) shows the most at first sight; any bundled
  # example will do otherwise.
  shopt -s nullglob
  examples=("$root"/examples/*.gcode "$root"/examples/*.gc)
  if [[ ${#examples[@]} -eq 0 ]]; then
    echo "run: no example in $root/examples; name a G-code file: scripts/run.sh file.gcode" >&2
    exit 1
  fi
  file=${examples[0]}
  for candidate in "${examples[@]}"; do
    if grep -qi vector <(head -n 3 "$candidate"); then
      file=$candidate
      break
    fi
  done
fi
exec "$root/build/tolvan-gcode" "$file"
