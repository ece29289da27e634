#!/usr/bin/env bash
# Opens a 1 GB laser raster in the real program in its own Xvfb server. While it loads, the
# loading picture must be on screen and keep changing; its peak memory must stay within
# the file size + 20 bytes per move + 50 MB; once loaded, "+" and a drag must still change
# the picture, and a close request must end it with exit code 0. Prints the load time, the
# render times and the peak memory next to its budget.
# Usage: hostile_huge_file.sh PROGRAM MAKE_RASTER GCODE_INFO SOURCE_DIR SHOT_DIR SANITIZED
set -uo pipefail

test_name=hostile_huge_file
program=$1
make_raster=$2
gcode_info=$3
source_dir=$4
shots=$5
sanitized=${6:-OFF}

file_bytes=1000000000
budget_extra=$((50 * 1024 * 1024)) # what the program may use beside the file and the moves
wait_limit=75                      # seconds any one step may take before it counts as a hang
test_deadline=570                  # the whole test, below its ctest time limit of 600 s

case "$sanitized" in
  ON | on | TRUE | true | 1 | YES | yes)
    echo "$test_name: SKIP, a sanitizer build: its memory figures mean nothing and the load is many times slower"
    exit 77
    ;;
esac
temp_root=${TMPDIR:-/tmp}
free_disk=$(df --output=avail -B1 "$temp_root" | tail -n1 | tr -d ' ')
if [[ -z "$free_disk" || "$free_disk" -lt $((3 * 1024 * 1024 * 1024)) ]]; then
  echo "$test_name: SKIP, less than 3 GB free in $temp_root (${free_disk:-?} bytes)"
  exit 77
fi
# In kB as the kernel gives it: awk prints a product in bytes as 2.4e+10, which the shell's
# integer test rejects, and the check would be skipped.
free_memory_kb=$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)
if [[ -z "$free_memory_kb" || "$free_memory_kb" -lt $((4 * 1024 * 1024)) ]]; then
  echo "$test_name: SKIP, less than 4 GB of memory available (${free_memory_kb:-?} kB)"
  exit 77
fi

# shellcheck source=../app/x_session.sh
source "$source_dir/tests/app/x_session.sh"

now() { date +%s.%N; }
since() { python3 -c "import sys; print('%.1f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$1" "$(now)"; }
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$app_pid/status" 2>/dev/null; }
bar_of() { python3 "$pixels" bar "$work/$1.xwd" "$wx" "$(canvas_y)" "$ww" "$(canvas_h)"; }
raw_shot() { xwd -root -silent >"$work/$1.xwd"; }

# wait_change REFERENCE NAME: screenshots NAME until its canvas differs from REFERENCE's
# in more than 1000 pixels, for at most wait_limit seconds; prints the seconds it took.
wait_change() {
  local start _
  start=$(now)
  while true; do
    raw_shot "$2"
    if other_canvas "$1" "$2" 1000; then
      since "$start"
      return 0
    fi
    if [[ $(since "$start" | cut -d. -f1) -ge $wait_limit ]] || ! alive; then
      return 1
    fi
    sleep 0.2
  done
}

# expect_change WHAT BEFORE AFTER: WHAT is seen as a changed canvas within the wait limit.
expect_change() {
  local seconds
  if seconds=$(wait_change "$2" "$3"); then
    echo "note: $1 after $seconds s"
    check "$1" true
  else
    fail "$1: no change within $wait_limit s"
  fi
}

# ---- the generator counts moves as the interpreter does (checked on a small file) ----
mkdir -p "$work/huge"
small_moves=$("$make_raster" "$work/huge/small.gcode" 1000000)
small_interpreted=$("$gcode_info" "$work/huge/small.gcode" |
  python3 -c 'import json, sys; print(json.load(sys.stdin)["moveCount"])')
check "the generator's move count is the interpreter's ($small_moves)" \
  test "$small_moves" = "$small_interpreted"
rm -f "$work/huge/small.gcode"

start=$(now)
moves=$("$make_raster" "$work/huge/raster.gcode" "$file_bytes")
echo "note: generated $file_bytes bytes, $moves moves, in $(since "$start") s"
check "the file is exactly $file_bytes bytes" test "$(stat -c %s "$work/huge/raster.gcode")" = "$file_bytes"
budget_kb=$(((file_bytes + 20 * moves + budget_extra) / 1024))

# ---- the load: screenshots until the title names the file ----
start=$(now)
if ! start_app "$work/huge/raster.gcode"; then
  finish
fi
loaded=0
shots_taken=0
while true; do
  if title_is "$title_base - raster.gcode"; then
    loaded=1
    break
  fi
  ((shots_taken < 60)) && raw_shot "load-$((shots_taken++))"
  if [[ $(since "$start" | cut -d. -f1) -ge $wait_limit ]] || ! alive; then
    break
  fi
  sleep 0.15
done
load_seconds=$(since "$start")
check "the load ends within $wait_limit s (the title names the file)" test "$loaded" = 1
echo "note: load time from start to the title $load_seconds s, $shots_taken screenshots during it"

# Every screenshot that shows the bar, in order; the fill must grow and be seen at two
# widths at least, which proves the window repainted during the load.
fills=()
first_bar=""
last_bar=""
for ((i = 0; i < shots_taken; i++)); do
  bar=$(bar_of "load-$i")
  if [[ "$bar" != none ]]; then
    read -r _ _ bar_width bar_height filled inner <<<"$bar"
    fills+=("$filled")
    [[ -z "$first_bar" ]] && first_bar=$i
    last_bar=$i
  fi
done
echo "note: loading bar fill (of ${inner:-?} columns) in the screenshots: ${fills[*]:-none}"
check "the loading picture (outline 120,120,120, fill 70,130,210) is on screen during the load" \
  test "${#fills[@]}" -ge 1
if [[ -n "$first_bar" ]]; then
  check "the bar is 40 % of the canvas wide and 18 pixels high" \
    test "$bar_width" -ge $((ww * 4 / 10 - 2)) -a "$bar_width" -le $((ww * 4 / 10 + 2)) -a "$bar_height" = 18
  python3 "$helper" png "$work/load-$first_bar.xwd" "$shots/huge-1-loading.png" "$wx" "$wy" "$ww" "$wh"
  python3 "$helper" png "$work/load-$last_bar.xwd" "$shots/huge-2-loading-later.png" "$wx" "$wy" "$ww" "$wh"
fi
distinct=$(printf '%s\n' "${fills[@]}" | sort -un | wc -l)
check "the window keeps repainting during the load (the bar seen at $distinct fill widths)" \
  test "$distinct" -ge 2
check "the bar only grows" python3 -c '
import sys
fills = [int(v) for v in sys.argv[1:]]
sys.exit(0 if fills == sorted(fills) else 1)' "${fills[@]}"
for ((i = 0; i < shots_taken; i++)); do rm -f "$work/load-$i.xwd"; done

# ---- after the load: the drawing, "+", a drag ----
if [[ "$loaded" == 1 ]]; then
  # The first drawing replaces the loading picture once the fitted view is rendered.
  start=$(now)
  drawn=0
  while alive && [[ $(since "$start" | cut -d. -f1) -lt $wait_limit ]]; do
    raw_shot huge-3-drawn
    if [[ "$(bar_of huge-3-drawn)" == none ]] && [[ "$(canvas ink huge-3-drawn)" -gt 100000 ]]; then
      drawn=1
      break
    fi
    sleep 0.3
  done
  echo "note: the first drawing came $(since "$start") s after the title"
  check "the raster is drawn after the load" test "$drawn" = 1
  settle 0.5
  shot huge-3-drawn

  click 138 17 # "+"
  expect_change "\"+\" changes the picture" huge-3-drawn huge-4-zoomed
  shot huge-4-zoomed

  # A drag with the left button: the picture follows the pointer, then is drawn anew. The
  # button stays down until the moved picture is seen: only the release renders, and a
  # fast render must not come before the screenshot of the moved picture.
  mx=$((ww / 2)) my=$((wh / 2))
  xdotool mousemove --window "$window" "$mx" "$my" mousedown 1
  for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove --window "$window" $((mx + 25 * step)) $((my + 15 * step))
    sleep 0.05
  done
  expect_change "a drag moves the picture" huge-4-zoomed huge-5-dragged
  shot huge-5-dragged
  xdotool mouseup 1
  # The moved frame leaves a strip without drawing; the render at the new place fills it.
  expect_change "the drag pans the view (drawn anew at the new place)" huge-5-dragged huge-6-panned
  shot huge-6-panned
fi

# ---- memory, then a close request ----
peak=$(peak_kb)
echo "note: peak memory ${peak:-?} kB, budget $budget_kb kB" \
  "(file $file_bytes bytes + 20 x $moves moves + 50 MB)"
check "peak memory within the file size + 20 bytes per move + 50 MB" \
  test "${peak:-999999999}" -le "$budget_kb"

# The close waits for a render in progress, which on this file takes seconds.
python3 "$helper" close "$window"
start=$(now)
code=""
while [[ $(since "$start" | cut -d. -f1) -lt $wait_limit ]]; do
  if ! kill -0 "$app_pid" 2>/dev/null; then
    wait "$app_pid"
    code=$?
    break
  fi
  sleep 0.2
done
echo "note: the program ended $(since "$start") s after the close request"
[[ -z "$code" ]] && code=timeout
app_pid=""
check "a close request ends the program with exit code 0" test "$code" = 0
rm -f "$work/huge/raster.gcode"

finish
