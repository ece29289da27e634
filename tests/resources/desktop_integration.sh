#!/usr/bin/env bash
# Installs the build into a scratch folder as the package would, then checks as a desktop
# would: the type gio gives .gc and .gcode files, what the thumbnailer draws, and the
# Debian package's fields and binaries.
# Usage: desktop_integration.sh BUILD_DIR
set -uo pipefail

build=$1
failures=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
for tool in update-mime-database gio; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; exit 1; }
data=$work/usr/share

# ---- the file type, as the shared MIME database sees it with our package installed ----
mkdir -p "$work/home/mime/packages"
cp "$data/mime/packages/tolvan-gcode.xml" "$work/home/mime/packages/"
update-mime-database "$work/home/mime" 2>"$work/mime.log"
type_of() { # type_of FILE: the content type gio reports
  XDG_DATA_HOME="$work/home" XDG_DATA_DIRS=/usr/share GIO_USE_VFS=local \
    gio info -a standard::content-type "$1" 2>/dev/null | sed -n 's/^ *standard::content-type: //p'
}
printf 'G21\nG1 X10 Y5 F600\n' >"$work/job.gc"
cp "$work/job.gc" "$work/job.gcode"
check "a .gc file is text/x.gcode" test "$(type_of "$work/job.gc")" = text/x.gcode
check "a .gcode file stays text/x.gcode" test "$(type_of "$work/job.gcode")" = text/x.gcode
check "the desktop entry opens text/x.gcode" \
  grep -qx 'MimeType=text/x.gcode;' "$data/applications/tolvan-gcode.desktop"

# ---- the thumbnailer, run as a file manager runs it ----
thumbnailer=$data/thumbnailers/tolvan-gcode.thumbnailer
check "the thumbnailer previews text/x.gcode" grep -qx 'MimeType=text/x.gcode;' "$thumbnailer"
exec_line=$(sed -n 's/^Exec=//p' "$thumbnailer")
exec_line=${exec_line//%s/128}
exec_line=${exec_line//%i/$work/job.gc}
exec_line=${exec_line//%o/$work/thumb.png}
(cd "$work" && PATH="$work/usr/bin:$PATH" QT_QPA_PLATFORM=offscreen $exec_line >/dev/null 2>&1)
"$work/usr/bin/gcode-render" "$work/job.gc" "$work/job-alone.png" --size 128x128 --no-bed \
  >/dev/null 2>&1
check "the thumbnail shows the job without rulers or grid" cmp -s "$work/thumb.png" "$work/job-alone.png"

# ---- the Debian package ----
if command -v dpkg-deb >/dev/null && command -v cpack >/dev/null; then
  (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb") >"$work/cpack.log" 2>&1
  deb=$(ls "$work"/deb/*.deb 2>/dev/null | head -n1)
  if [[ -n "$deb" ]]; then
    field() { dpkg-deb -f "$deb" "$1"; }
    check "the package's section is graphics" test "$(field Section)" = graphics
    check "the package recommends Qt's translations" grep -q qt6-translations-l10n <<<"$(field Recommends)"
    check "the package still declares its libraries" grep -q libqt6widgets6 <<<"$(field Depends)"
    dpkg-deb -x "$deb" "$work/unpacked"
    for binary in "$work"/unpacked/usr/bin/*; do
      check "$(basename "$binary") is stripped" \
        test -z "$(readelf -S "$binary" | grep -E '\.debug_info|\.symtab')"
    done
  else
    echo "FAIL: cpack made no package"; cat "$work/cpack.log"; failures=$((failures + 1))
  fi
else
  echo "note: dpkg-deb or cpack is missing; the package is not checked"
fi

((failures == 0)) || { echo "desktop_integration: $failures check(s) failed"; exit 1; }
echo "desktop_integration: all checks passed"
