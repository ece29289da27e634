#!/usr/bin/env bash
# Opens hostile files in the real program in its own Xvfb server: a missing file, a file
# that vanishes after it was chosen, a folder, a FIFO, a file the user may not read, sparse
# files too large to load, a file of only comments, 10 MB of random bytes and a file still
# being written. They come from the command line of a fresh start, the Open dialog (driven
# by keyboard) and drops on the canvas (through the XDND protocol, as a file manager drops).
# After each the program must still answer (the dialog opens a bundled example) and end
# with exit code 0 on a close request; one sent while a long file loads is discarded with
# the other pending events, and must cost neither the load nor the next close.
# Usage: hostile_files.sh PROGRAM GCODE_INFO MAKE_RASTER SOURCE_DIR SHOT_DIR
set -uo pipefail

test_name=hostile_files
test_deadline=280 # below the ctest time limit of 300 s
program=$1
gcode_info=$2
make_raster=$3
source_dir=$4
shots=$5
# shellcheck source=../app/x_session.sh
source "$source_dir/tests/app/x_session.sh"

# A good file every user may read, to prove the program still answers after each case.
example_source=$(pick_example)
example_name=$(basename "$example_source")
mkdir -p "$work/good"
cp "$example_source" "$work/good/$example_name"
chmod 0644 "$work/good/$example_name"
good="$work/good/$example_name"
good_title="$title_base - $example_name"

# The cases that must fail all use the same file name in folders of their own, so every
# "Could not open job.gcode" picture must match the first one exactly.
bad_name=job.gcode

# wait_for_canvas REFERENCE NAME [SECONDS]: screenshots NAME until its canvas differs from
# REFERENCE's, then once more after a pause so the kept picture is the settled one.
wait_for_canvas() {
  local tenths=$((${3:-10} * 5)) _
  for _ in $(seq "$tenths"); do
    shot "$2"
    other_canvas "$1" "$2" && break
    sleep 0.2
  done
  settle 0.4
  shot "$2"
}

# answers WHAT: the program is alive, and the Open dialog loads the good example.
answers() {
  check "$1: the program is still running" alive
  # The good file must not be shown already, or its title would prove nothing.
  check "$1: the good file is not shown yet" test "$(title)" != "$good_title"
  dialog_open "$good"
  check "$1: afterwards the Open dialog loads a good file (title $good_title)" \
    wait_title "$good_title" 10
}

# ---- the first start: the drop hint, the reference every message must differ from ----
if start_app; then
  settle 1.0
  shot 0-first-start
  check "first start: plain title" title_is "$title_base"
  close_ok "first start"
fi

# ---- a missing file: the command line, then the dialog (a file that vanished after it
# was chosen reaches the loader exactly like this) ----
mkdir -p "$work/missing"
if start_app "$work/missing/$bad_name"; then
  wait_for_canvas 0-first-start 1-missing
  check "missing file: plain title" title_is "$title_base"
  check "missing file: a message replaces the drop hint" other_canvas 0-first-start 1-missing
  answers "missing file"
  shot 1-missing-then-good
  check "missing file: the good file is drawn" other_canvas 1-missing 1-missing-then-good 500
  # Now chosen in the dialog while a drawing is shown: the drawing and its title must go.
  dialog_open "$work/missing/$bad_name"
  check "missing file by the dialog: the title drops the good file's name" \
    wait_title "$title_base" 10
  settle
  shot 1-missing-by-dialog
  check "missing file by the dialog: the same message as from the command line" \
    same_canvas 1-missing 1-missing-by-dialog
  close_ok "missing file"
fi

# A file chosen in the dialog and deleted before the program reads it: the dialog is
# driven with the file present, which it accepts; the loader then finds it gone.
mkdir -p "$work/vanishing"
cp "$good" "$work/vanishing/$bad_name"
if start_app; then
  settle 0.5
  # The dialog's own file view must list the file; delete it only once it is chosen, by
  # typing the name and removing the file before Enter reaches the dialog.
  xdotool mousemove --window "$window" 41 17 click 1
  if dialog=$(find_dialog); then
    dialog_type "$dialog" "$work/vanishing/$bad_name"
    rm -f "$work/vanishing/$bad_name"
    dialog_accept "$dialog"
    check "vanished file: the title stays plain" wait_title "$title_base" 5
    wait_for_canvas 0-first-start 2-vanished 5
    check "vanished file: Could not open, the same message as a missing file" \
      same_canvas 1-missing 2-vanished
    answers "vanished file"
  else
    fail "vanished file: the Open dialog did not appear"
  fi
  close_ok "vanished file"
fi

# ---- a folder where the file should be: named on the command line, then dropped ----
mkdir -p "$work/folder/$bad_name"
if start_app "$work/folder/$bad_name"; then
  wait_for_canvas 0-first-start 3-folder
  check "folder: plain title" title_is "$title_base"
  check "folder: Could not open, the same message as a missing file" same_canvas 1-missing 3-folder
  answers "folder"
  check "folder dropped on the canvas: the drop is taken" drop "$work/folder/$bad_name"
  check "folder dropped: the title drops the good file's name" wait_title "$title_base" 10
  settle
  shot 3-folder-dropped
  check "folder dropped: Could not open, the same message as a missing file" \
    same_canvas 1-missing 3-folder-dropped
  check "dropped files: a good file dropped loads" drop "$good"
  check "dropped files: the title names it" wait_title "$good_title" 10
  # Of several dropped items only the first is opened, and here it is the folder.
  check "folder dropped before a good file: the drop is taken" drop "$work/folder/$bad_name" "$good"
  check "folder dropped before a good file: the folder counts, Could not open" \
    wait_title "$title_base" 10
  answers "dropped folder"
  close_ok "folder"
fi

# ---- a dropped file whose name needs escaping in a URL, and a dropped file that is gone
# by the time the drop arrives ----
odd_name='año 100% #1 [copy] é.gcode'
mkdir -p "$work/odd name"
cp "$good" "$work/odd name/$odd_name"
mkdir -p "$work/dropped-missing"
if start_app; then
  settle 0.5
  check "odd name: the drop is taken" drop "$work/odd name/$odd_name"
  check "odd name: the title shows the name as it is on disk" \
    wait_title "$title_base - $odd_name" 10
  settle
  shot 3-odd-name-dropped
  check "odd name: the file is drawn" other_canvas 0-first-start 3-odd-name-dropped 500
  check "dropped missing file: the drop is taken" drop "$work/dropped-missing/$bad_name"
  check "dropped missing file: plain title" wait_title "$title_base" 10
  settle
  shot 3-missing-dropped
  check "dropped missing file: Could not open, the same message as from the command line" \
    same_canvas 1-missing 3-missing-dropped
  answers "dropped missing file"
  close_ok "dropped files"
fi

# ---- a FIFO nobody writes to: opening it must not wait for a writer ----
mkdir -p "$work/fifo"
mkfifo "$work/fifo/$bad_name"
if start_app "$work/fifo/$bad_name"; then
  wait_for_canvas 0-first-start 4-fifo
  check "FIFO: plain title" title_is "$title_base"
  check "FIFO: Could not open, the same message as a missing file" same_canvas 1-missing 4-fifo
  answers "FIFO"
  close_ok "FIFO"
fi

# ---- a file the user may not read: the program runs as an unprivileged user ----
mkdir -p "$work/secret" "$work/nobody-home"
cp "$good" "$work/secret/$bad_name"
chmod 0600 "$work/secret/$bad_name"
chown "$nobody_uid:$nobody_gid" "$work/nobody-home"
nobody_home="$work/nobody-home"
nobody_config="$work/nobody-home/config"
if setpriv --reuid=$nobody_uid --regid=$nobody_gid --clear-groups test -r "$work/secret/$bad_name"; then
  fail "unreadable file: the unprivileged user can read the file, the case proves nothing"
elif run_as_nobody=1 start_app "$work/secret/$bad_name"; then
  wait_for_canvas 0-first-start 5-unreadable
  check "unreadable file: plain title" title_is "$title_base"
  check "unreadable file: Could not open, the same message as a missing file" \
    same_canvas 1-missing 5-unreadable
  answers "unreadable file"
  close_ok "unreadable file"
fi

# ---- sparse files too large to load: 2147483646 bytes and a terabyte ----
mkdir -p "$work/sparse" "$work/sparse-tb"
truncate -s 2147483646 "$work/sparse/$bad_name"
truncate -s 1T "$work/sparse-tb/$bad_name"
if start_app "$work/sparse/$bad_name"; then
  wait_for_canvas 0-first-start 6-sparse
  check "2147483646 bytes: plain title" title_is "$title_base"
  check "2147483646 bytes: Could not open, the same message as a missing file" \
    same_canvas 1-missing 6-sparse
  answers "2147483646 bytes"
  dialog_open "$work/sparse-tb/$bad_name"
  check "1 TB by the dialog: the title drops the good file's name" wait_title "$title_base" 10
  settle
  shot 6-sparse-tb
  check "1 TB by the dialog: Could not open" same_canvas 1-missing 6-sparse-tb
  answers "1 TB"
  close_ok "sparse files"
fi

# ---- a file of only comments: loads, and says it holds no moves ----
mkdir -p "$work/comments"
{
  echo "; Only comments here, some of them looking like moves"
  echo "(G1 X10 Y10 S1000)"
  echo "; G0 X50 Y50"
  echo "   ; indented G1 X1 Y1"
  echo "(unclosed G1 X20 Y20"
  printf '\t(tab) ; and both (G1 X5)\r\n'
  for i in $(seq 200); do echo "; line $i G1 X$i Y$i"; done
} >"$work/comments/comments.gcode"
if start_app "$work/comments/comments.gcode"; then
  check "comments only: the title carries the name" wait_title "$title_base - comments.gcode" 10
  wait_for_canvas 0-first-start 7-comments
  check "comments only: a message replaces the drop hint" other_canvas 0-first-start 7-comments
  check "comments only: the message is not Could not open" other_canvas 1-missing 7-comments
  answers "comments only"
  close_ok "comments only"
fi

# ---- 10 MB of random bytes from a fixed seed ----
mkdir -p "$work/random"
python3 -c '
import random, sys
sys.stdout.buffer.write(random.Random(20261207).randbytes(10 * 1024 * 1024))
' >"$work/random/random.gcode"
random_moves=$("$gcode_info" "$work/random/random.gcode" | python3 -c 'import json,sys; print(json.load(sys.stdin)["moveCount"])')
echo "note: the interpreter finds $random_moves moves in the random bytes"
if start_app "$work/random/random.gcode"; then
  check "random bytes: the title carries the name" wait_title "$title_base - random.gcode" 20
  wait_for_canvas 0-first-start 8-random
  if [[ "$random_moves" -gt 0 ]]; then
    check "random bytes: a drawing, not a message" other_canvas 7-comments 8-random
    click 138 17 # "+"
    shot 8-random-zoomed
    check "random bytes: \"+\" changes the picture" other_canvas 8-random 8-random-zoomed
  else
    check "random bytes: The file contains no moves." same_canvas 7-comments 8-random
  fi
  answers "random bytes"
  close_ok "random bytes"
fi

# ---- numbers beyond the range of a double: infinite coordinates, power and time ----
mkdir -p "$work/infinite"
nines=$(printf '9%.0s' $(seq 400))
printf 'G21 G90\nM3 S500\nG1 X10 Y10 F1000\nG1 X%s Y20\nG1 X-%s Y30\nG1 X20 Y%s\nG1 X30 Y40 S%s\nG0 X-%s Y-%s\n' \
  "$nines" "$nines" "$nines" "$nines" "$nines" "$nines" >"$work/infinite/infinite.gcode"
if start_app "$work/infinite/infinite.gcode"; then
  check "infinite numbers: the title carries the name" wait_title "$title_base - infinite.gcode" 10
  settle
  shot 10-infinite
  # Zoom, fit, drag, wheel and every option on a view whose bounds are infinite.
  for x in 138 138 102 182; do click "$x" 17; done
  xdotool mousemove --window "$window" $((ww / 2)) $((wh / 2)) mousedown 1 \
    mousemove --window "$window" $((ww / 2 + 120)) $((wh / 2 + 60)) mouseup 1
  xdotool click 4 click 4 click 5
  for x in 248 428 608 688 788; do click $((x + 40)) 17; done
  shot 10-infinite-options
  answers "infinite numbers"
  close_ok "infinite numbers"
fi

# ---- a file still being written: the loader takes what is there and does not wait ----
mkdir -p "$work/growing"
printf 'G21 G90\nM3 S600\nG0 X0 Y0\nG1 X60 Y0 F1500\nG1 X60 Y40\nG1 X0 Y40\nG1 X0 Y0\n' \
  >"$work/growing/growing.gcode"
(
  # One short line every 20 ms, some without their line end yet, for at most 60 s.
  for i in $(seq 3000); do
    printf 'G1 X%d Y%d' $((i % 60)) $((i % 40))
    sleep 0.01
    printf ' S%d\n' $((i % 1000))
    sleep 0.01
  done >>"$work/growing/growing.gcode"
) &
writer_pid=$!
cleanup_extra+=("$writer_pid")
sleep 0.5
if start_app "$work/growing/growing.gcode"; then
  check "growing file: the title carries the name" wait_title "$title_base - growing.gcode" 10
  wait_for_canvas 0-first-start 9-growing
  check "growing file: the part already written is drawn" other_canvas 7-comments 9-growing 500
  click 138 17 # "+"
  shot 9-growing-zoomed
  check "growing file: \"+\" changes the picture" other_canvas 9-growing 9-growing-zoomed
  dialog_open "$good"
  check "growing file: the good file loads while the writer goes on" wait_title "$good_title" 10
  dialog_open "$work/growing/growing.gcode"
  check "growing file: opened again, more of it, still no hang" \
    wait_title "$title_base - growing.gcode" 10
  check "growing file: the writer was still writing during the case" kill -0 "$writer_pid"
  close_ok "growing file"
fi
kill "$writer_pid" 2>/dev/null
wait "$writer_pid" 2>/dev/null

# ---- a close request while a long file loads: the load drains and discards every pending
# window event, the close request among them; the load must still finish, and a close
# request afterwards end the program with exit code 0 and save the settings ----
mkdir -p "$work/long"
"$make_raster" "$work/long/long.gcode" 300000000 >/dev/null
rm -f "$XDG_CONFIG_HOME/TolvanGcode/TolvanGcode.prefs"
if start_app "$work/long/long.gcode"; then
  # Wait until the loading bar shows (the window may still show the drop hint for a moment,
  # and a slower build takes longer to get there), then ask to close.
  load_shot=11-close-during-load
  bar=none
  for _ in $(seq 50); do
    xwd -root -silent >"$work/$load_shot.xwd"
    bar=$(python3 "$pixels" bar "$work/$load_shot.xwd" "$wx" "$(canvas_y)" "$ww" "$(canvas_h)")
    [[ "$bar" != none ]] && break
    sleep 0.1
  done
  python3 "$helper" close "$window"
  python3 "$helper" png "$work/$load_shot.xwd" "$shots/$load_shot.png" "$wx" "$wy" "$ww" "$wh"
  check "close during the load: the request was sent while the loading bar showed" \
    test "$bar" != none
  check "close during the load: the load still ends (the title names the file)" \
    wait_title "$title_base - long.gcode" 120
  check "close during the load: the program is still running" alive
  # The close request below waits for the first drawing, which takes a few seconds here.
  close_app 120
  check "close after the load: the program ends with exit code 0" test "$code" = 0
  check "close after the load: the settings were saved" \
    test -s "$XDG_CONFIG_HOME/TolvanGcode/TolvanGcode.prefs"
fi
rm -f "$work/long/long.gcode"

finish
