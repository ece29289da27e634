#!/usr/bin/env bash
# Runs the real program in its own Xvfb server and replays a job in both languages: the
# start hint, Space to play and pause, steps, Home and End, a jump on the timeline, a double
# click on a drawn move, a reload, a zoom during the replay, Esc; and the settings file stays
# as a session without a replay leaves it.
# Usage: replay_window.sh PROGRAM SOURCE_DIR SHOT_DIR
set -uo pipefail

program=$1
source_dir=$2
shots=$3
test_name=replay_window
test_deadline=170 # below the ctest time limit of 180 s
# shellcheck source=x_session.sh
source "$source_dir/tests/app/x_session.sh"

prefs="$XDG_CONFIG_HOME/TolvanGcode/TolvanGcode.prefs"

# Forty cuts of 100 mm from the bottom up, each followed by a rapid back: 80 s by the
# estimate, so the first speed (5x) plays it in 16 s.
job="$work/rows.gcode"
{
  printf 'G21 G90\nM3 S500\n'
  for i in $(seq 0 39); do printf 'G1 F3000 X100 Y%d\nG0 X0 Y%d\n' "$i" "$((i + 1))"; done
} >"$job"

away() { xdotool mousemove --window "$window" 300 17; sleep 0.2; } # off the canvas: no readout
key() { xdotool key --window "$window" "$@" 2>/dev/null; sleep 0.5; }

# Pixels of the frame grey (120, 120, 120) in a band of the canvas: the hint's and the
# timeline's outlines are drawn in it, and nothing else there is.
frame_grey() { # frame_grey SHOT Y_FROM_CANVAS_BOTTOM HEIGHT
  python3 "$helper" colour "$work/$1.xwd" 120 120 120 0 "$wx" $(($(canvas_y) + $(canvas_h) - $2)) "$ww" "$3"
}
timeline_shown() { (($(frame_grey "$1" 95 73) > ww)); } # the strip above the bottom ruler
drawing_ink() { # dark pixels of the drawing, above where the timeline stands
  python3 "$helper" dark "$work/$1.xwd" $((wx + 50)) "$(canvas_y)" $((ww - 50)) $(($(canvas_h) - 100))
}

# The canvas row of the cut in the middle of the job, from the dark pixels of one column.
middle_cut() {
  python3 - "$helper" "$work/$1.xwd" $((wx + ww / 2)) "$(canvas_y)" "$(canvas_h)" <<'EOF'
import os, sys
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(sys.argv[1]))
import x_helper as h
x, y, height = map(int, sys.argv[3:6])
_, rows = h.region(sys.argv[2], x, y, 1, height)
dark = [i for i, r in enumerate(rows) if h.luminance(r[0:3]) < 128]
runs = [i for i in dark if i - 1 not in dark]
print(runs[len(runs) // 2] + 34 if runs else -1)
EOF
}

replay_session() { # replay_session LANG_TAG
  local t=$1
  start_app "$job" || return
  settle 1.0
  away
  shot "$t-1-loaded"
  check "$t: a loaded file shows the start hint" test "$(frame_grey "$t-1-loaded" 50 30)" -gt 100
  check "$t: no timeline before a replay" test "$(frame_grey "$t-1-loaded" 95 73)" -lt "$ww"
  xdotool mousemove --window "$window" 700 300 # the canvas takes the keys
  sleep 0.2
  away

  key space
  shot "$t-2-playing"
  sleep 0.7
  shot "$t-3-playing-later"
  check "$t: Space shows the timeline" timeline_shown "$t-2-playing"
  check "$t: Space plays: the picture moves on" other_canvas "$t-2-playing" "$t-3-playing-later" 200
  key space
  shot "$t-4-paused"
  sleep 0.7
  shot "$t-5-paused-later"
  check "$t: Space again pauses" same_canvas "$t-4-paused" "$t-5-paused-later"

  key Home
  shot "$t-6-home"
  key Right Right Right
  shot "$t-7-three-steps"
  key shift+Right
  shot "$t-8-ten-more"
  key Left
  shot "$t-9-one-back"
  key End
  shot "$t-10-end"
  local home end
  home=$(drawing_ink "$t-6-home")
  end=$(drawing_ink "$t-10-end")
  check "$t: Home draws nothing of the job, End all of it ($home, $end)" test "$end" -gt $((home + 2000))
  check "$t: Right steps on" other_canvas "$t-6-home" "$t-7-three-steps" 50
  check "$t: Shift+Right steps ten moves, more than three" \
    test "$(drawing_ink "$t-8-ten-more")" -gt "$(drawing_ink "$t-7-three-steps")"
  check "$t: Left steps back" other_canvas "$t-8-ten-more" "$t-9-one-back" 50

  # The middle of the timeline's bar: half the job's course.
  xdotool mousemove --window "$window" $((ww / 2)) $((34 + $(canvas_h) - 22 - 10)) click 1
  sleep 0.5
  away
  shot "$t-11-jump"
  local half
  half=$(drawing_ink "$t-11-jump")
  check "$t: a click on the timeline jumps to the middle ($home < $half < $end)" \
    test "$half" -gt $((home + 500)) -a "$half" -lt $((end - 500))

  key End
  local row
  row=$(middle_cut "$t-10-end")
  check "$t: a cut is found in the middle of the drawing" test "$row" -gt 34
  xdotool mousemove --window "$window" $((ww / 2)) "$row" click --repeat 2 --delay 80 1
  sleep 0.6
  away
  shot "$t-12-double-click"
  local picked
  picked=$(drawing_ink "$t-12-double-click")
  check "$t: a double click on the middle cut leaves the later cuts out ($picked of $end)" \
    test "$picked" -gt $((end / 3)) -a "$picked" -lt $((end * 3 / 4))

  key F5
  shot "$t-12b-reloaded"
  check "$t: a reload of the file keeps the cursor" same_canvas "$t-12-double-click" "$t-12b-reloaded"

  key KP_Add
  shot "$t-13-zoomed"
  check "$t: the zoom keeps the timeline" timeline_shown "$t-13-zoomed"
  check "$t: keypad + zooms during the replay" other_canvas "$t-12-double-click" "$t-13-zoomed" 500
  key ctrl+0
  shot "$t-14-fitted"
  check "$t: Fit gives back the same picture at the same cursor" \
    test "$(canvas diff "$t-12-double-click" "$t-14-fitted")" -lt 50

  key Escape
  shot "$t-15-ended"
  check "$t: Esc ends the replay and shows the whole job as before" \
    test "$(canvas diff "$t-1-loaded" "$t-15-ended")" -lt 50
  close_ok "$t: the replay"
}

# ---- a session without a replay: the settings file it leaves ----
if start_app "$job"; then
  settle 1.0
  close_ok "a plain session"
  cp "$prefs" "$work/plain.prefs"
fi

replay_session en
check "a replay writes nothing to the settings file" cmp -s "$prefs" "$work/plain.prefs"

export LANGUAGE=es LANG=es_ES.UTF-8
replay_session es

finish
