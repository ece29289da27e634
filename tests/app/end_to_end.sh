#!/usr/bin/env bash
# Runs the real program in its own Xvfb server: first start, a missing file, a bundled
# example, the zoom buttons and check boxes, a real close request, and the next start.
# Usage: end_to_end.sh PROGRAM SOURCE_DIR SHOT_DIR
# Screenshots of every state are left in SHOT_DIR as PNG files.
set -uo pipefail

program=$1
source_dir=$2
shots=$3
helper="$source_dir/tests/app/x_helper.py"

for tool in Xvfb xdotool xwd xdpyinfo python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "end_to_end: SKIP, $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
mkdir -p "$shots"
xvfb_pid=""
app_pid=""
failures=0

cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && wait "$xvfb_pid" 2>/dev/null
  [[ -n "${KEEP_WORK:-}" ]] || rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

check() { # check DESCRIPTION COMMAND...: counts a failure when the command fails
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}

# ---- a private X server ----
# Xvfb picks the display number itself (-displayfd), so tests started together can never
# end up sharing one server.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -s "$work/display" ]] || { echo "end_to_end: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
unset WAYLAND_DISPLAY
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "end_to_end: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
unset LC_ALL LC_MESSAGES
export LANGUAGE=en LANG=C.UTF-8
prefs="$XDG_CONFIG_HOME/TolvanGcode/TolvanGcode.prefs"

# ---- helpers ----
window=""
wx=0 wy=0 ww=0 wh=0

start_app() { # start_app [FILE]
  "$program" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  window=""
  for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name '^Tolvan G-code' 2>/dev/null | head -n1)
    [[ -n "$window" ]] && break
    sleep 0.1
  done
  if [[ -z "$window" ]]; then
    fail "the window did not appear"
    cat "$work/app.log"
    return 1
  fi
  sleep 1.0 # let the first frame and the command-line file reach the screen
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X wy=$Y ww=$WIDTH wh=$HEIGHT
}

title_is() { [[ "$(xdotool getwindowname "$window")" == "$1" ]]; }

shot() { # shot NAME: screenshot of the whole screen, and a PNG of the window for people
  xwd -root -silent >"$work/$1.xwd"
  python3 "$helper" png "$work/$1.xwd" "$shots/$1.png" "$wx" "$wy" "$ww" "$wh"
}

canvas() { # canvas COMMAND SHOT [SHOT2]: the helper run on the canvas area
  local cy=$((wy + 34)) ch=$((wh - 60))
  if [[ $1 == diff ]]; then
    python3 "$helper" diff "$work/$2.xwd" "$work/$3.xwd" "$wx" "$cy" "$ww" "$ch"
  else
    python3 "$helper" "$1" "$work/$2.xwd" "$wx" "$cy" "$ww" "$ch"
  fi
}

click() { # click X Y in window coordinates
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.4
}

check_boxes=(248 428 608 688 788) # Grey, Travel, Bed, Invert, Inches: x of each box

# The states of the five check boxes as a string such as 10100, read from the marks drawn
# in each box (a checked box holds more dark pixels than an empty one).
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

close_app() { # close_app: a real close request; the exit code goes to $code
  python3 "$helper" close "$window"
  code=""
  for _ in $(seq 100); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      wait "$app_pid"
      code=$?
      break
    fi
    sleep 0.1
  done
  if [[ -z "$code" ]]; then
    fail "the program did not end within 10 s of the close request"
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    code=timeout
  fi
  app_pid=""
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
if start_app; then
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
if start_app "$work/missing.gcode"; then
  shot 2-missing-file
  check "a missing file leaves the plain title" title_is "Tolvan G-code 1.01"
  check "the canvas shows another message than the drop hint" \
    test "$(canvas diff 1-first-start 2-missing-file)" -gt 100
  close_app
  check "exit code 0 after a failed open" test "$code" = 0
fi

# ---- 3. a bundled example, zoom and check boxes ----
example=""
for candidate in "$source_dir"/examples/*.gcode; do # the vector example, named in its header
  if [[ -f "$candidate" ]] && grep -qi vector <(head -n 3 "$candidate"); then
    example=$candidate
    break
  fi
done
if [[ -z "$example" ]]; then
  echo "note: no bundled example yet; using a generated square"
  example="$work/square.gcode"
  printf 'G21 G90\nM3 S800\nG1 X0 Y0 F1000\nG1 X40 Y0\nG1 X40 Y25\nG1 X0 Y25\nG1 X0 Y0\nG0 X50 Y10\nG1 X70 Y30 S400\n' >"$example"
fi
name=$(basename "$example")
if start_app "$example"; then
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

# ---- 4. the next start restores them ----
if start_app; then
  shot 7-restored
  check "the next start restores the check boxes" test "$(box_states 7-restored)" = 11011
  check "the next start restores the dark canvas" test "$(canvas luma 7-restored)" -lt 100
  close_app
  check "exit code 0 at the last close" test "$code" = 0
fi

if ((failures > 0)); then
  echo "end_to_end: $failures check(s) failed; screenshots in $shots"
  exit 1
fi
echo "end_to_end: all checks passed; screenshots in $shots"
