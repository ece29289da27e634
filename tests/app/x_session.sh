# Shared by the tests that run the real program in an X server (sourced, not run): a private
# Xvfb that every user may connect to, the program started as root or as an unprivileged
# user, screenshots, the Open dialog driven by keyboard, and a real close request. Each
# test sets `test_name`, `program`, `source_dir` and `shots` before sourcing this file.

helper="$source_dir/tests/app/x_helper.py"
pixels="$source_dir/tests/hostile/pixels.py"
dropper="$source_dir/tests/hostile/xdnd_drop.py"
title_base="Tolvan G-code 1.01"
nobody_uid=65534
nobody_gid=65534

for tool in Xvfb xdotool xwd xdpyinfo python3 setpriv; do
  if ! command -v "$tool" >/dev/null; then
    echo "$test_name: SKIP, $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
# The unprivileged user must reach the files the cases make here.
chmod 0755 "$work"
mkdir -p "$shots"
xvfb_pid=""
app_pid=""
failures=0
cleanup_extra=() # further process ids a test started (writers, samplers)

cleanup() {
  local pid
  for pid in "${cleanup_extra[@]}"; do
    kill "$pid" 2>/dev/null
  done
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null
  [[ -n "$app_pid" ]] && wait "$app_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && wait "$xvfb_pid" 2>/dev/null
  # Folders made read-only for a case must become writable again to be removed.
  chmod -R u+w "$work" 2>/dev/null
  [[ -n "${KEEP_WORK:-}" ]] || rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "$test_name: stopped by a signal"; exit 1' TERM INT HUP

# A watchdog below the test's own time limit: when a step hangs, the script still ends
# through its cleanup, so no X server or large file is left behind.
( sleep "${test_deadline:-280}" >/dev/null 2>&1 </dev/null && echo "$test_name: FAIL, no end after ${test_deadline:-280} s" &&
  kill -TERM $$ ) 2>/dev/null &
cleanup_extra+=("$!")

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

check() { # check DESCRIPTION COMMAND...: counts a failure when the command fails
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}

finish() {
  if ((failures > 0)); then
    echo "$test_name: $failures check(s) failed; screenshots in $shots"
    exit 1
  fi
  echo "$test_name: all checks passed; screenshots in $shots"
  exit 0
}

# ---- a private X server; -ac lets the unprivileged user connect ----
# Xvfb picks the display number itself (-displayfd), so tests started together can never
# end up sharing one server.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset -ac \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -s "$work/display" ]] || { echo "$test_name: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
unset WAYLAND_DISPLAY XAUTHORITY
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "$test_name: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

unset LC_ALL LC_MESSAGES
export LANGUAGE=en LANG=C.UTF-8
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

# ---- the program ----
window=""
wx=0 wy=0 ww=0 wh=0
app_log="$work/app.log"

# start_app [FILE...]: as root. With run_as_nobody=1 in the environment of the call, as
# the unprivileged user, with the HOME and XDG_CONFIG_HOME given in nobody_home and
# nobody_config.
start_app() {
  if [[ "${run_as_nobody:-0}" == 1 ]]; then
    setpriv --reuid=$nobody_uid --regid=$nobody_gid --clear-groups \
      env HOME="$nobody_home" XDG_CONFIG_HOME="$nobody_config" "$program" "$@" >"$app_log" 2>&1 &
  else
    "$program" "$@" >"$app_log" 2>&1 &
  fi
  app_pid=$!
  window=""
  local _
  for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name "^$title_base" 2>/dev/null | head -n1)
    [[ -n "$window" ]] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [[ -z "$window" ]]; then
    fail "the window did not appear"
    cat "$app_log"
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    app_pid=""
    return 1
  fi
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X wy=$Y ww=$WIDTH wh=$HEIGHT
  return 0
}

title() { xdotool getwindowname "$window" 2>/dev/null; }
title_is() { [[ "$(title)" == "$1" ]]; }

# wait_title TEXT [SECONDS]: true once the title reads TEXT, within the bounded wait.
wait_title() {
  local want=$1 tenths=$((${2:-10} * 10)) _
  for _ in $(seq "$tenths"); do
    title_is "$want" && return 0
    sleep 0.1
  done
  title_is "$want"
}

alive() { [[ -n "$app_pid" ]] && kill -0 "$app_pid" 2>/dev/null; }

# settle: a short pause so the last frame reaches the screen (a load, a message).
settle() { sleep "${1:-0.6}"; }

shot() { # shot NAME: screenshot of the screen, and a PNG of the window for people
  xwd -root -silent >"$work/$1.xwd"
  python3 "$helper" png "$work/$1.xwd" "$shots/$1.png" "$wx" "$wy" "$ww" "$wh"
}

canvas_y() { echo $((wy + 34)); }
canvas_h() { echo $((wh - 60)); }

canvas() { # canvas COMMAND SHOT [SHOT2]: the x_helper command run on the canvas area
  local cy ch
  cy=$(canvas_y)
  ch=$(canvas_h)
  if [[ $1 == diff ]]; then
    python3 "$helper" diff "$work/$2.xwd" "$work/$3.xwd" "$wx" "$cy" "$ww" "$ch"
  else
    python3 "$helper" "$1" "$work/$2.xwd" "$wx" "$cy" "$ww" "$ch"
  fi
}

same_canvas() { [[ "$(canvas diff "$1" "$2")" -eq 0 ]]; }
other_canvas() { [[ "$(canvas diff "$1" "$2")" -gt "${3:-100}" ]]; }

click() { # click X Y in window coordinates
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.4
}

# find_dialog: the id of the visible Open dialog, waiting up to 5 s for it.
find_dialog() {
  local _ id
  for _ in $(seq 50); do
    id=$(xdotool search --onlyvisible --name '^Open G-code file$' 2>/dev/null | head -n1)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

dialog_gone() { ! xdotool search --onlyvisible --name '^Open G-code file$' >/dev/null 2>&1; }

# dialog_type DIALOG PATH: replaces the dialog's file name with PATH.
dialog_type() {
  sleep 0.5 # the dialog reads its folder before it takes typing
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool key --window "$1" --clearmodifiers ctrl+a
  xdotool type --window "$1" --delay 5 "$2"
  sleep 0.3
}

# dialog_accept DIALOG: Enter until the dialog goes. The name field's completion list
# takes the first Enter when it is showing, so up to three are sent.
dialog_accept() {
  local _ try
  for try in 1 2 3; do
    dialog_gone && return 0
    xdotool key --window "$1" Return 2>/dev/null
    for _ in $(seq 20); do
      dialog_gone && return 0
      sleep 0.1
    done
  done
  echo "note: the Open dialog stayed open; dismissing it"
  xdotool key --window "$1" Escape 2>/dev/null
  sleep 0.3
  dialog_gone || xdotool key --window "$1" Escape 2>/dev/null
  return 1
}

# dialog_open PATH: the Open button, the path typed into the dialog's name field, Enter.
# False when the dialog did not appear or did not go away.
dialog_open() {
  local dialog
  xdotool mousemove --window "$window" 41 17 click 1
  if ! dialog=$(find_dialog); then
    echo "note: the Open dialog did not appear"
    return 1
  fi
  dialog_type "$dialog" "$1"
  dialog_accept "$dialog"
}

# drop PATH...: the files dropped on the middle of the canvas, as a file manager drops them;
# true when the program accepted the drop and finished it.
drop() {
  timeout 30 python3 "$dropper" "$window" $((wx + ww / 2)) $((wy + wh / 2)) "$@" >"$work/drop.log" 2>&1
  local status=$?
  [[ $status -eq 0 ]] || { echo "note: the drop was not completed: $(tr '\n' ' ' <"$work/drop.log")"; }
  return $status
}

# close_app [SECONDS]: a real close request, then up to SECONDS (10) for the program to end;
# the exit code goes to $code.
close_app() {
  local seconds=${1:-10} _
  python3 "$helper" close "$window"
  code=""
  for _ in $(seq $((seconds * 10))); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      wait "$app_pid"
      code=$?
      break
    fi
    sleep 0.1
  done
  if [[ -z "$code" ]]; then
    fail "the program did not end within $seconds s of the close request"
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    code=timeout
  fi
  app_pid=""
}

# close_ok WHAT: closes the program and checks that it ended with exit code 0.
close_ok() {
  close_app
  check "$1: a close request ends the program with exit code 0" test "$code" = 0
}

# A bundled example that opens with moves, used to prove the program still answers.
pick_example() {
  local candidate
  for candidate in "$source_dir"/examples/*.gcode; do
    if [[ -f "$candidate" ]] && grep -qi vector <(head -n 3 "$candidate"); then
      echo "$candidate"
      return
    fi
  done
  for candidate in "$source_dir"/examples/*.gcode; do
    [[ -f "$candidate" ]] && { echo "$candidate"; return; }
  done
  printf 'G21 G90\nM3 S800\nG1 X0 Y0 F1000\nG1 X40 Y0\nG1 X40 Y25\nG1 X0 Y25\nG1 X0 Y0\n' \
    >"$work/square.gcode"
  echo "$work/square.gcode"
}

# The states of the five check boxes (Grey, Travel, Bed, Invert, Inches) as a string such
# as 10100, read from the marks drawn in each box: a checked box holds more dark pixels.
check_boxes=(248 428 608 688 788)
box_states() {
  local counts=() x lo=999999 hi=0 c out=""
  for x in "${check_boxes[@]}"; do
    c=$(python3 "$helper" dark "$work/$1.xwd" $((wx + x)) $((wy + 4)) 24 26)
    counts+=("$c")
    ((c < lo)) && lo=$c
    ((c > hi)) && hi=$c
  done
  for c in "${counts[@]}"; do
    if ((hi - lo < 5)); then out+="?"; elif ((c * 2 > lo + hi)); then out+=1; else out+=0; fi
  done
  echo "$out"
}
