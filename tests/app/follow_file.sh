#!/usr/bin/env bash
# Runs the real program in its own Xvfb server: a file of only travel moves says why its
# bed is empty until "Travel moves" is ticked; the shown file is redrawn when it is
# rewritten in place or replaced by a rename, keeping a zoom; a deleted file leaves the
# drawing and a message; the pointer's machine position shows while it is over the canvas.
# Usage: follow_file.sh PROGRAM SOURCE_DIR SHOT_DIR
set -uo pipefail

program=$1
source_dir=$2
shots=$3
test_name=follow_file
test_deadline=160 # below the ctest time limit of 180 s
# shellcheck source=x_session.sh
source "$source_dir/tests/app/x_session.sh"

# Pixels near the hint grey of the light scheme in a band across the middle of the canvas,
# where the hint stands; the travel moves of the file run along the canvas edges, and the
# dotted grid is lighter.
hint_pixels() {
  python3 "$helper" colour "$work/$1.xwd" 120 120 120 25 $((wx + ww / 2 - 300)) \
    $(($(canvas_y) + $(canvas_h) / 2 - 30)) 600 60
}
# Dark pixels of the pointer text at the right end of the status area, and of the rest.
pointer_ink() { python3 "$helper" dark "$work/$1.xwd" $((wx + ww - 196)) $((wy + wh - 21)) 190 20; }
status_diff() {
  python3 "$helper" diff "$work/$1.xwd" "$work/$2.xwd" $((wx + 6)) $((wy + wh - 21)) $((ww - 212)) 20
}

# wait_for_canvas REFERENCE NAME: screenshots NAME until its canvas differs from
# REFERENCE's (up to 5 s), then once more after a pause so the kept picture is settled.
wait_for_canvas() {
  local _
  for _ in $(seq 25); do
    shot "$2"
    other_canvas "$1" "$2" 0 && break
    sleep 0.2
  done
  settle 0.4
  shot "$2"
}

# ---- 1. only travel moves: the hint, gone once travel moves are shown ----
printf 'G21 G90\nG0 X0 Y0\nG1 X60 Y0 F1000\nG1 X60 Y30\nG0 X0 Y30\nG1 X0 Y0\n' >"$work/travel.gcode"
if start_app "$work/travel.gcode"; then
  settle 1.0
  shot 1-travel-only
  hinted=$(hint_pixels 1-travel-only)
  check "a file of travel moves only says why its bed is empty" test "$hinted" -gt 150
  click 438 17 # "Travel moves"
  shot 2-travel-shown
  check "the hint goes once travel moves are drawn" test "$(hint_pixels 2-travel-shown)" -lt $((hinted / 5))
  check "the travel moves are drawn" other_canvas 1-travel-only 2-travel-shown 500
  click 438 17 # back to the default, which the next start reads
  close_ok "travel only"
fi

# ---- 2. following the file ----
job="$work/job.gcode"
printf 'G21 G90\nM3 S800\nG1 X0 Y0 F1000\nG1 X40 Y0\nG1 X40 Y25\nG1 X0 Y25\nG1 X0 Y0\n' >"$job"
if start_app "$job"; then
  settle 1.0
  shot 3-job
  # Rewritten in place, as an editor that truncates and writes does.
  printf 'G21 G90\nM3 S800\nG1 X0 Y0 F1000\nG1 X40 Y0\nG1 X0 Y25\nG1 X0 Y0\n' >"$job"
  wait_for_canvas 3-job 4-rewritten
  check "a file rewritten in place is redrawn without a reopen" other_canvas 3-job 4-rewritten 500
  click 138 17 # "+"
  shot 5-zoomed
  # Replaced by a rename, as most programs save: the same triangle and a short cut inside
  # it, so a kept zoom changes only the pixels of that cut and a new fit changes all.
  printf 'G21 G90\nM3 S800\nG1 X0 Y0 F1000\nG1 X40 Y0\nG1 X0 Y25\nG1 X0 Y0\nG0 X5 Y5\nG1 X12 Y5\n' \
    >"$work/job.tmp"
  mv "$work/job.tmp" "$job"
  wait_for_canvas 5-zoomed 6-renamed
  changed=$(canvas diff 5-zoomed 6-renamed)
  check "a file replaced by a rename is redrawn ($changed pixels changed)" test "$changed" -gt 20
  check "the zoom is kept: only the new cut changed" test "$changed" -lt 3000
  check "the zoomed drawing is not the fitted one" other_canvas 4-rewritten 6-renamed 3000
  check "the title still names the file" title_is "$title_base - job.gcode"

  # ---- 3. deleted while open: the drawing stays, the status line says so ----
  rm "$job"
  settle 1.5
  shot 7-deleted
  check "a deleted file leaves the drawing" same_canvas 6-renamed 7-deleted
  check "the status line says the file could not be reloaded" test "$(status_diff 6-renamed 7-deleted)" -gt 50
  printf 'G21 G90\nM3 S800\nG1 X0 Y0 F1000\nG1 X40 Y0\nG1 X0 Y25\nG1 X0 Y0\n' >"$job"
  wait_for_canvas 7-deleted 8-back
  check "the file written again is drawn again" other_canvas 7-deleted 8-back 20
  check "the status line is the summary again" test "$(status_diff 4-rewritten 8-back)" -eq 0

  # ---- 4. the pointer's machine position ----
  check "no pointer text while the pointer is away" test "$(pointer_ink 8-back)" -eq 0
  xdotool mousemove --window "$window" $((ww / 2)) $((wh / 2))
  sleep 0.2
  xdotool mousemove --window "$window" $((ww / 2 + 3)) $((wh / 2 + 2))
  settle 0.5
  shot 9-pointer
  check "the pointer text appears over the canvas" test "$(pointer_ink 9-pointer)" -gt 30
  check "a pointer move does not redraw the canvas" same_canvas 8-back 9-pointer
  xdotool mousemove --window "$window" $((ww / 3)) $((wh / 3))
  settle 0.5
  shot 10-pointer-moved
  check "the pointer text follows the pointer" test "$(python3 "$helper" diff "$work/9-pointer.xwd" \
    "$work/10-pointer-moved.xwd" $((wx + ww - 196)) $((wy + wh - 21)) 190 20)" -gt 0
  xdotool mousemove --window "$window" 300 17 # over the row of controls
  settle 0.5
  shot 11-pointer-left
  check "the pointer text goes when the pointer leaves the canvas" test "$(pointer_ink 11-pointer-left)" -eq 0
  close_ok "following the file"
fi

finish
