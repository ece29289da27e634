#!/usr/bin/env bash
# Runs the real program in its own Xvfb server: first start, a missing file, a bundled
# example, the zoom buttons and check boxes, a real close request, and the next start.
# Usage: end_to_end.sh PROGRAM SOURCE_DIR SHOT_DIR
# Screenshots of every state are left in SHOT_DIR as PNG files.
set -uo pipefail

program=$1
source_dir=$2
shots=$3
test_name=end_to_end
test_deadline=170 # below the ctest time limit of 180 s
# shellcheck source=x_session.sh
source "$source_dir/tests/app/x_session.sh"

prefs="$XDG_CONFIG_HOME/TolvanGcode/TolvanGcode.prefs"

# start_and_settle [FILE]: the program started, then a pause so the first frame and the
# file named on the command line reach the screen.
start_and_settle() {
  start_app "$@" || return 1
  settle 1.0
}

thirteen_lines() { # thirteen_lines EXPECTED_OPTIONS: the saved file, checked byte by byte
  python3 - "$prefs" "$1" <<'EOF'
import re, sys
data = open(sys.argv[1], "rb").read()
grey, travel, bed, invert, inches = sys.argv[2]
expected = ("\ufeff\r\n[Opciones]\r\nGrises = %s\r\nVacios = %s\r\nMesa = %s\r\nInvertir = %s\r\n"
            "Pulgadas = %s\r\n[Ventana]\r\n" % (grey, travel, bed, invert, inches)).encode()
rest = data[len(expected):].decode()
ok = data.startswith(expected) and re.fullmatch(
    r"X = -?\d+\r\nY = -?\d+\r\nAncho = \d+\r\nAlto = \d+\r\nMaximizada = 0\r\n", rest)
sys.exit(0 if ok and data.count(b"\r\n") == 13 and b"\n" not in data.replace(b"\r\n", b"") else 1)
EOF
}

# ---- 1. first start: drop hint, default check boxes ----
if start_and_settle; then
  shot 1-first-start
  check "first start title" title_is "Tolvan G-code 1.01"
  check "first start check boxes are grey, bed on; travel, invert, inches off" \
    test "$(box_states 1-first-start)" = 10100
  check "the drop hint is drawn on the canvas" test "$(canvas ink 1-first-start)" -gt 200
  close_app
  check "close ends the program with exit code 0" test "$code" = 0
  check "the settings file holds the thirteen lines with the defaults" thirteen_lines 10100
  check "the saved size is that of the first start (80 % of 1920 x 1080)" \
    grep -q $'^Ancho = 1536\r$' "$prefs"
fi

# ---- 2. a missing file on the command line ----
if start_and_settle "$work/missing.gcode"; then
  shot 2-missing-file
  check "a missing file leaves the plain title" title_is "Tolvan G-code 1.01"
  check "the canvas shows another message than the drop hint" \
    test "$(canvas diff 1-first-start 2-missing-file)" -gt 100
  close_app
  check "exit code 0 after a failed open" test "$code" = 0
fi

# ---- 2b. Qt's own options are file names ----
if start_and_settle -platform nosuch; then
  check "\"-platform\" is tried as a file name" title_is "Tolvan G-code 1.01"
  close_app
  check "exit code 0 after \"-platform nosuch\"" test "$code" = 0
fi

# ---- 3. a bundled example, zoom and check boxes ----
example=$(pick_example)
name=$(basename "$example")
if start_and_settle "$example"; then
  shot 3-example
  check "the example's title carries its file name" title_is "Tolvan G-code 1.01 - $name"
  check "the example is drawn" \
    test "$(canvas ink 3-example)" -gt $(($(canvas ink 1-first-start) + 500))
  click 138 17 # "+"
  shot 4-zoomed-in
  zoomed=$(canvas diff 3-example 4-zoomed-in)
  check "\"+\" zooms the drawing" test "$zoomed" -gt 500
  click 102 17 # "-"
  shot 5-zoomed-back
  # The same scale again; the centre may differ in its last bit, which moves some
  # anti-aliased edge pixels but nothing more.
  check "\"-\" after \"+\" gives back the fitted drawing" \
    test "$(canvas diff 3-example 5-zoomed-back)" -lt $((zoomed / 20))
  for x in 428 688 608 788; do # Travel on, Invert on, Bed off, Inches on
    click $((x + 40)) 17
  done
  shot 6-options
  check "the clicked check boxes show their new states" test "$(box_states 6-options)" = 11011
  check "Invert gives the dark canvas" test "$(canvas luma 6-options)" -lt 100
  close_app
  check "exit code 0 after the options changed" test "$code" = 0
  check "the settings file reflects the check boxes clicked" thirteen_lines 11011
fi

# ---- 3b. the Open dialog leaves nothing of its own behind ----
if start_and_settle; then
  check "the Open dialog opens the example" dialog_open "$example"
  check "the example opened through the dialog" wait_title "Tolvan G-code 1.01 - $name"
  close_app
  check "exit code 0 after the dialog was used" test "$code" = 0
  check "the configuration folder holds only the program's own folder" \
    test "$(ls -A "$XDG_CONFIG_HOME")" = TolvanGcode
fi
printf '[FileDialog]\nlastVisited=file:///elsewhere\n' >"$XDG_CONFIG_HOME/QtProject.conf"
cp "$XDG_CONFIG_HOME/QtProject.conf" "$work/QtProject.conf"

# ---- 4. the next start restores them ----
if start_and_settle; then
  shot 7-restored
  check "the next start restores the check boxes" test "$(box_states 7-restored)" = 11011
  check "the next start restores the dark canvas" test "$(canvas luma 7-restored)" -lt 100
  check "the Open dialog takes the name of a missing file" dialog_open "$work/none.gcode"
  check "another program's QtProject.conf is left untouched" \
    cmp -s "$XDG_CONFIG_HOME/QtProject.conf" "$work/QtProject.conf"
  close_app
  check "exit code 0 at the last close" test "$code" = 0
fi

# ---- 5. arcs drawn as arcs from the canvas's right-button menu ----
# Drawn straight, the full circle (I alone) goes nowhere: only the line to X40 shows.
printf 'G21 G90\nM3 S1000\nG1 F600 X10\nG2 I15\nG1 X40\n' >"$work/circle.gcode"
toggle_arcs() { # the menu at the canvas's middle, its one option chosen by keyboard
  xdotool mousemove --window "$window" 400 200 click 3
  sleep 0.6
  xdotool key Down Return
  settle 1.0
  xdotool mousemove --window "$window" 300 17 # off the canvas: no pointer readout in the shots
  settle 0.5
}
if start_and_settle "$work/circle.gcode"; then
  shot 8-arcs-note
  sleep 8 # the note's life
  shot 9-arcs-straight
  check "a short note says that the arcs are drawn straight" other_canvas 8-arcs-note 9-arcs-straight 500
  toggle_arcs
  shot 10-arcs-followed
  check "the menu's option draws the circle" other_canvas 9-arcs-straight 10-arcs-followed 500
  close_app
  check "the option is saved as Arcos = 1" grep -q $'^Arcos = 1\r$' "$prefs"
fi
if start_and_settle "$work/circle.gcode"; then
  shot 11-arcs-restored
  check "the next start follows the arcs again" test "$(canvas diff 10-arcs-followed 11-arcs-restored)" -lt 50
  toggle_arcs
  shot 12-arcs-straight-again
  check "the option turned off draws them straight again" \
    test "$(canvas diff 9-arcs-straight 12-arcs-straight-again)" -lt 50
  close_app
  check "with the option off again the settings file is the thirteen lines" thirteen_lines 11011
fi

finish
