#!/usr/bin/env bash
# Runs the real program in its own Xvfb server: a file of only travel moves says why its
# bed is empty until "Travel moves" is ticked, with or without the bed; the shown file is
# redrawn when it is rewritten in place or replaced by a rename, keeping a zoom; a deleted
# file leaves the drawing, with a notice on the canvas and the summary untouched; a file
# left empty says it holds no moves; the pointer's machine position shows in the canvas's
# corner; a long summary in Spanish stays whole in the smallest window.
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
# The status text's whole strip, and its dark pixels.
status_diff() {
  python3 "$helper" diff "$work/$1.xwd" "$work/$2.xwd" $((wx + 6)) $((wy + wh - 21)) $((ww - 12)) 20
}
status_ink() { python3 "$helper" dark "$work/$1.xwd" $((wx + 6)) $((wy + wh - 21)) $((ww - 12)) 20; }
# The canvas's top strip, where a notice stands, and the rest of it.
top_diff() { python3 "$helper" diff "$work/$1.xwd" "$work/$2.xwd" "$wx" "$(canvas_y)" "$ww" 40; }
below_top_diff() {
  python3 "$helper" diff "$work/$1.xwd" "$work/$2.xwd" "$wx" $(($(canvas_y) + 40)) "$ww" $(($(canvas_h) - 40))
}
# The canvas's bottom-right corner above the bottom ruler, where the pointer position shows,
# and the rest of the canvas above it.
corner_diff() {
  python3 "$helper" diff "$work/$1.xwd" "$work/$2.xwd" $((wx + ww - 300)) \
    $(($(canvas_y) + $(canvas_h) - 60)) 300 38
}
above_corner_diff() {
  python3 "$helper" diff "$work/$1.xwd" "$work/$2.xwd" "$wx" "$(canvas_y)" "$ww" $(($(canvas_h) - 60))
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
  click 618 17 # "Bed" off: the hint stays
  shot 2b-travel-no-bed
  check "the hint shows with the bed off too" test "$(hint_pixels 2b-travel-no-bed)" -gt 150
  click 618 17
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

  # ---- 3. deleted while open: the drawing stays, the canvas says so, the summary stays ----
  rm "$job"
  settle 1.5
  shot 7-deleted
  check "a deleted file leaves the drawing" test "$(below_top_diff 6-renamed 7-deleted)" -eq 0
  check "the canvas says the file could not be reloaded" test "$(top_diff 6-renamed 7-deleted)" -gt 50
  check "the summary under the canvas is untouched" test "$(status_diff 6-renamed 7-deleted)" -eq 0
  printf 'G21 G90\nM3 S800\nG1 X0 Y0 F1000\nG1 X40 Y0\nG1 X0 Y25\nG1 X0 Y0\n' >"$job"
  wait_for_canvas 7-deleted 8-back
  check "the file written again is drawn again" other_canvas 7-deleted 8-back 20
  check "the notice goes with the next good load" test "$(top_diff 6-renamed 8-back)" -eq 0
  check "the status line is the summary again" test "$(status_diff 4-rewritten 8-back)" -eq 0

  # ---- 4. the pointer's machine position, in the canvas's corner ----
  xdotool mousemove --window "$window" $((ww / 2)) $((wh / 2))
  sleep 0.2
  xdotool mousemove --window "$window" $((ww / 2 + 3)) $((wh / 2 + 2))
  settle 0.5
  shot 9-pointer
  check "the pointer position appears in the canvas's corner" test "$(corner_diff 8-back 9-pointer)" -gt 30
  check "a pointer move does not redraw the canvas" test "$(above_corner_diff 8-back 9-pointer)" -eq 0
  check "the summary stays as it was" test "$(status_diff 8-back 9-pointer)" -eq 0
  xdotool mousemove --window "$window" $((ww / 3)) $((wh / 3))
  settle 0.5
  shot 10-pointer-moved
  check "the pointer position follows the pointer" test "$(corner_diff 9-pointer 10-pointer-moved)" -gt 0
  xdotool mousemove --window "$window" 300 17 # over the row of controls
  settle 0.5
  shot 11-pointer-left
  check "the pointer position goes when the pointer leaves the canvas" \
    test "$(corner_diff 8-back 11-pointer-left)" -eq 0

  # ---- 5. emptied and left so: no moves, an empty status line; F5 does the same ----
  : >"$job"
  wait_for_canvas 11-pointer-left 12-emptied
  check "a file left empty shows a message instead of the drawing" test "$(canvas ink 12-emptied)" -lt 3000
  check "the message is drawn" test "$(canvas ink 12-emptied)" -gt 50
  check "the status line is empty" test "$(status_ink 12-emptied)" -eq 0
  check "the title still names the file" title_is "$title_base - job.gcode"
  xdotool key --window "$window" F5
  settle 0.8
  shot 13-emptied-f5
  check "F5 on the empty file shows the same" same_canvas 12-emptied 13-emptied-f5
  check "F5 leaves the status line empty" test "$(status_ink 13-emptied-f5)" -eq 0
  close_ok "following the file"
fi

# ---- 6. the smallest window in Spanish: a long summary stays whole ----
# A full-sheet job with negative bounds: its summary is wider than the status text was when
# the pointer position took the strip's right end.
export LANGUAGE=es LANG=es_ES.UTF-8
sheet="$work/sheet.gcode"
printf 'G21 G90\nG0 X-1250.5 Y-300.25\nM3 S1000\nG1 X2440.75 F10\nY1220.5\nX-1250.5\nY-300.25\n' >"$sheet"
if start_app "$sheet"; then
  settle 1.0
  shot 14-spanish-default
  wide_x=$((wx + 6)) wide_y=$((wy + wh - 21))
  check "the Spanish summary reaches past 774 units" \
    test "$(python3 "$helper" dark "$work/14-spanish-default.xwd" $((wide_x + 768)) "$wide_y" 200 20)" -gt 0
  xdotool windowsize "$window" 980 360
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X wy=$Y ww=$WIDTH wh=$HEIGHT
  shot 15-spanish-smallest
  check "the window is at its smallest" test "${ww}x$wh" = 980x360
  check "the summary at 980 x 360 is drawn whole, to its last glyphs" \
    test "$(python3 "$helper" diff "$work/14-spanish-default.xwd" "$work/15-spanish-smallest.xwd" \
      "$wide_x" "$wide_y" 968 20 $((wx + 6)) $((wy + wh - 21)))" -eq 0
  close_ok "the smallest window in Spanish"
fi

finish
