#!/usr/bin/env bash
# Drives the platform layer in a real X server: starts its own Xvfb, runs the driver,
# clicks, drags, scrolls and types with xdotool, and checks the events the driver printed.
# Every wait has a time limit, and Xvfb and the driver are always stopped.
set -u
driver=$1
skip=77

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "x11 test: $tool is not installed"; exit $skip; }
done

work=$(mktemp -d)
xvfb_pid=""
driver_pid=""
cleanup() {
  [[ -n "$driver_pid" ]] && kill "$driver_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "x11 test: $*"
  echo "--- driver output ---"
  cat "$work/out" 2>/dev/null
  exit 1
}

# Polls a condition every 0.1 s for at most $1 seconds.
wait_for() {
  local limit=$1; shift
  local i
  for ((i = 0; i < limit * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Xvfb chooses a free display number itself and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY QT_SCALE_FACTOR
export XDG_RUNTIME_DIR="$work"

"$driver" >"$work/out" 2>"$work/err" &
driver_pid=$!
wait_for 15 grep -q '^ready' "$work/out" || fail "the driver did not open its window"

drained=$(awk '$1 == "drain" { print $2 }' "$work/out")
[[ -n "$drained" && "$drained" -lt 100000 ]] || fail "the poll loop did not come to rest"

place() { awk -v n="$1" '$1 == "place" && $2 == n { print $3, $4 }' "$work/out"; }
read -r bx by <<<"$(place button)"
read -r kx ky <<<"$(place check)"
read -r cx cy <<<"$(place canvas)"
wid=$(awk '$1 == "ready" { print $2 }' "$work/out")
xdotool windowfocus "$wid" 2>/dev/null
pause() { sleep 0.3; }

xdotool mousemove "$bx" "$by"; pause
xdotool click 1; pause
xdotool mousemove "$kx" "$ky"; pause
xdotool click 1; pause
xdotool mousemove $((cx + 40)) $((cy + 50)); pause
xdotool mousemove $((cx + 60)) $((cy + 70)); pause
xdotool mousedown 1; pause
xdotool mousemove $((cx - 30)) $((cy + 70)); pause
xdotool mouseup 1; pause
xdotool mousemove $((cx + 100)) $((cy + 100)); pause
xdotool click 1; pause
xdotool click 4; pause
xdotool key a; pause
xdotool key KP_Add; pause
xdotool key ctrl+equal; pause
xdotool key q

wait_for 10 bash -c "! kill -0 $driver_pid 2>/dev/null" || fail "the driver did not finish"
wait "$driver_pid"
status=$?
driver_pid=""
[[ $status -eq 0 ]] || fail "the driver ended with status $status"

# The events, one per line as "kind number type x y buttons key char wheel check".
awk '$1 == "event" { for (i = 2; i <= NF; i++) sub(/^[a-z]+=/, "", $i); $1 = ""; print substr($0, 2) }' \
  "$work/out" >"$work/events"

# Checks that lines matching the given awk conditions occur in this order.
expect_in_order() {
  awk -v conds="$*" '
    BEGIN { n = split(conds, want, ";"); k = 1 }
    k <= n {
      split(want[k], c, ",")
      ok = 1
      for (j in c) { split(c[j], kv, "="); if ($(kv[1] + 0) != kv[2]) ok = 0 }
      if (ok) k++
    }
    END { exit (k > n) ? 0 : k }' "$work/events"
}

# Field numbers: 1 kind, 2 number, 3 type, 4 x, 5 y, 6 buttons, 7 key, 8 char, 9 wheel, 10 check.
expect_in_order "1=1,2=1,3=0;1=1,2=2,3=0,10=1" || fail "button and check box clicks"
expect_in_order "1=1,2=3,3=1;1=1,2=3,3=3;1=1,2=3,3=4,6=1;1=1,2=3,3=5;1=1,2=3,3=12" \
  || fail "enter, move, down, up and click on the canvas"
awk '$1 == 1 && $2 == 3 && $3 == 3 && $4 < 0 && $6 == 1 { found = 1 } END { exit !found }' \
  "$work/events" || fail "no captured move left of the canvas"
awk '$1 == 1 && $2 == 3 && $3 == 1 { n++ } END { exit !(n >= 1) }' "$work/events" \
  || fail "no MouseEnter"
expect_in_order "1=1,2=3,3=14,9=1" || fail "wheel notch"
expect_in_order "1=1,2=3,3=15,7=65;1=1,2=3,3=17,8=97" || fail "key a"
expect_in_order "1=2,2=7;1=2,2=8" || fail "keypad plus and ctrl+= shortcuts"
echo "x11 test: $(wc -l <"$work/events") events checked:"
cat "$work/events"
grep "^drain" "$work/out"
exit 0
