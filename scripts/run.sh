#!/usr/bin/env bash
# Installs what is missing, builds the viewer and opens it on the G-code file named, or
# else on the bundled logo example.
# Usage: scripts/run.sh [file.gcode]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: built, but there is no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set); run this from a desktop session." >&2
  exit 1
fi
exec "$root/build/tolvan-gcode" "${1:-$root/examples/tolvan-logo.gcode}"
