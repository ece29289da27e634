#!/usr/bin/env bash
# Starts the real program in its own Xvfb server against hostile settings: a configuration
# folder it may not write (empty, and holding a settings file), the settings path taken by
# a folder or a FIFO, a settings file of random bytes, one of absurd values, and a settings
# file that is a symbolic link to a place it may not write or to nothing. Each time the program must
# start (with the defaults where nothing could be read), end with exit code 0 on a close
# request, and leave a readable settings file it could not replace exactly as it was.
# Usage: hostile_settings.sh PROGRAM SOURCE_DIR SHOT_DIR
set -uo pipefail

test_name=hostile_settings
test_deadline=160 # below the ctest time limit of 180 s
program=$1
source_dir=$2
shots=$3
# shellcheck source=../app/x_session.sh
source "$source_dir/tests/app/x_session.sh"

defaults=10100 # Grey and Bed on; Travel, Invert and Inches off

# A settings file with every option the other way round from the defaults.
write_inverted_settings() {
  printf '\xef\xbb\xbf\r\n[Opciones]\r\nGrises = 0\r\nVacios = 1\r\nMesa = 0\r\nInvertir = 1\r\nPulgadas = 1\r\n[Ventana]\r\nX = 100\r\nY = 80\r\nAncho = 1000\r\nAlto = 700\r\nMaximizada = 0\r\n' >"$1"
}

# A home of the unprivileged user's own for each case.
new_nobody_home() {
  nobody_home="$work/$1-home"
  mkdir -p "$nobody_home"
  chown "$nobody_uid:$nobody_gid" "$nobody_home"
  nobody_config="$nobody_home/config"
}

as_nobody() { setpriv --reuid=$nobody_uid --regid=$nobody_gid --clear-groups "$@"; }

# starts_with_defaults WHAT SHOT: the check boxes and the light canvas of a first start.
starts_with_defaults() {
  settle 1.0
  shot "$2"
  check "$1: the check boxes show the defaults" test "$(box_states "$2")" = "$defaults"
  check "$1: the canvas is light (Invert off)" test "$(canvas luma "$2")" -gt 200
}

# ---- 1. the configuration folder may not be written, and holds nothing yet ----
new_nobody_home locked-empty
mkdir -p "$nobody_config"
chmod 0555 "$nobody_config" # owned by root: the unprivileged user may only read it
if run_as_nobody=1 start_app; then
  starts_with_defaults "unwritable config folder" 1-unwritable-folder
  click $((688 + 40)) 17 # Invert, so there is something to save
  close_ok "unwritable config folder"
  check "unwritable config folder: nothing was created in it" \
    test -z "$(ls -A "$nobody_config")"
fi

# ---- 2. the same, holding a readable settings file: it is read, and kept byte for byte ----
new_nobody_home locked-file
mkdir -p "$nobody_config/TolvanGcode"
write_inverted_settings "$nobody_config/TolvanGcode/TolvanGcode.prefs"
cp "$nobody_config/TolvanGcode/TolvanGcode.prefs" "$work/locked-file.expected"
chmod 0644 "$nobody_config/TolvanGcode/TolvanGcode.prefs"
chmod 0555 "$nobody_config/TolvanGcode" "$nobody_config"
if run_as_nobody=1 start_app; then
  settle 1.0
  shot 2-unwritable-with-file
  check "read-only settings: the saved options are shown" \
    test "$(box_states 2-unwritable-with-file)" = 01011
  check "read-only settings: the canvas is dark (Invert on)" \
    test "$(canvas luma 2-unwritable-with-file)" -lt 100
  click $((788 + 40)) 17 # Inches off: a change that cannot be saved
  close_ok "read-only settings"
  check "read-only settings: the file is byte-identical" \
    cmp -s "$work/locked-file.expected" "$nobody_config/TolvanGcode/TolvanGcode.prefs"
  check "read-only settings: no temporary file was left" \
    test "$(ls -A "$nobody_config/TolvanGcode")" = TolvanGcode.prefs
fi

# ---- 3. the settings path is taken by a folder ----
config="$work/config-folder"
mkdir -p "$config/TolvanGcode/TolvanGcode.prefs"
echo "keep me" >"$config/TolvanGcode/TolvanGcode.prefs/inside.txt"
if XDG_CONFIG_HOME="$config" start_app; then
  starts_with_defaults "settings path is a folder" 3-path-is-folder
  close_ok "settings path is a folder"
  check "settings path is a folder: the folder and its content are untouched" \
    test -d "$config/TolvanGcode/TolvanGcode.prefs" -a \
    "$(cat "$config/TolvanGcode/TolvanGcode.prefs/inside.txt")" = "keep me"
  check "settings path is a folder: no stray file beside it" \
    test "$(ls -A "$config/TolvanGcode")" = TolvanGcode.prefs
fi

# ---- 4. a settings file of random bytes (fixed seed) ----
config="$work/config-random"
mkdir -p "$config/TolvanGcode"
python3 -c '
import random, sys
sys.stdout.buffer.write(random.Random(6).randbytes(64 * 1024))
' >"$config/TolvanGcode/TolvanGcode.prefs"
if XDG_CONFIG_HOME="$config" start_app; then
  starts_with_defaults "random settings bytes" 4-random-settings
  close_ok "random settings bytes"
  check "random settings bytes: replaced by a well-formed settings file" \
    python3 - "$config/TolvanGcode/TolvanGcode.prefs" <<'EOF'
import re, sys
text = open(sys.argv[1], "rb").read()
pattern = (rb"\xef\xbb\xbf\r\n\[Opciones\]\r\nGrises = 1\r\nVacios = 0\r\nMesa = 1\r\n"
           rb"Invertir = 0\r\nPulgadas = 0\r\n\[Ventana\]\r\nX = -?\d+\r\nY = -?\d+\r\n"
           rb"Ancho = \d+\r\nAlto = \d+\r\nMaximizada = 0\r\n")
sys.exit(0 if re.fullmatch(pattern, text) else 1)
EOF
fi

# ---- 5. absurd values: the window must still open on the screen ----
config="$work/config-absurd"
mkdir -p "$config/TolvanGcode"
printf '[Opciones]\nGrises = -7\nVacios = 99999999999999\nMesa = x\nInvertir = 2\nPulgadas = -2147483649\n[Ventana]\nX = -2147483648\nY = 2147483647\nAncho = 99999999999\nAlto = -5\nMaximizada = 123\n' \
  >"$config/TolvanGcode/TolvanGcode.prefs"
if XDG_CONFIG_HOME="$config" start_app; then
  settle 1.0
  shot 5-absurd-values
  check "absurd values: the window lies on the screen" \
    test "$wx" -ge 0 -a "$wy" -ge 0 -a $((wx + ww)) -le 1920 -a $((wy + wh)) -le 1080
  check "absurd values: the window has a usable size" test "$ww" -ge 400 -a "$wh" -ge 300
  close_ok "absurd values"
fi

# ---- 6. a link to a settings file in a folder the user may not write ----
new_nobody_home link-locked
mkdir -p "$nobody_config/TolvanGcode" "$work/locked-target"
write_inverted_settings "$work/locked-target/real.prefs"
cp "$work/locked-target/real.prefs" "$work/link-locked.expected"
chmod 0666 "$work/locked-target/real.prefs" # the file itself is writable; its folder is not
chmod 0555 "$work/locked-target"
ln -s "$work/locked-target/real.prefs" "$nobody_config/TolvanGcode/TolvanGcode.prefs"
chown -R "$nobody_uid:$nobody_gid" "$nobody_config"
chown -h "$nobody_uid:$nobody_gid" "$nobody_config/TolvanGcode/TolvanGcode.prefs"
if run_as_nobody=1 start_app; then
  settle 1.0
  shot 6-link-to-locked-folder
  check "link to a locked folder: the linked options are read" \
    test "$(box_states 6-link-to-locked-folder)" = 01011
  click $((248 + 40)) 17 # Grey on: a change that cannot be saved there
  close_ok "link to a locked folder"
  check "link to a locked folder: the target is byte-identical" \
    cmp -s "$work/link-locked.expected" "$work/locked-target/real.prefs"
  check "link to a locked folder: the link is still a link to it" \
    test "$(readlink "$nobody_config/TolvanGcode/TolvanGcode.prefs")" = "$work/locked-target/real.prefs"
  check "link to a locked folder: nothing was added beside the target" \
    test "$(ls -A "$work/locked-target")" = real.prefs
fi

# ---- 7. a link to a read-only settings file of another user ----
new_nobody_home link-readonly
mkdir -p "$nobody_config/TolvanGcode" "$work/readonly-target"
write_inverted_settings "$work/readonly-target/real.prefs"
cp "$work/readonly-target/real.prefs" "$work/link-readonly.expected"
chmod 0644 "$work/readonly-target/real.prefs"
ln -s "$work/readonly-target/real.prefs" "$nobody_config/TolvanGcode/TolvanGcode.prefs"
chown -R "$nobody_uid:$nobody_gid" "$nobody_config"
chown -h "$nobody_uid:$nobody_gid" "$nobody_config/TolvanGcode/TolvanGcode.prefs"
if run_as_nobody=1 start_app; then
  settle 1.0
  shot 7-link-to-readonly-file
  check "link to a read-only file: the linked options are read" \
    test "$(box_states 7-link-to-readonly-file)" = 01011
  click $((248 + 40)) 17
  close_ok "link to a read-only file"
  check "link to a read-only file: the target is byte-identical" \
    cmp -s "$work/link-readonly.expected" "$work/readonly-target/real.prefs"
  check "link to a read-only file: the link is still a link to it" \
    test "$(readlink "$nobody_config/TolvanGcode/TolvanGcode.prefs")" = "$work/readonly-target/real.prefs"
  check "link to a read-only file: no file was added beside the link" \
    test "$(ls -A "$nobody_config/TolvanGcode")" = TolvanGcode.prefs
fi

# ---- 8. a FIFO at the settings path: reading it must not wait for a writer ----
config="$work/config-fifo"
mkdir -p "$config/TolvanGcode"
mkfifo "$config/TolvanGcode/TolvanGcode.prefs"
if XDG_CONFIG_HOME="$config" start_app; then
  starts_with_defaults "settings FIFO" 8-settings-fifo
  close_ok "settings FIFO"
  check "settings FIFO: still a FIFO" test -p "$config/TolvanGcode/TolvanGcode.prefs"
fi

# ---- 9. a dangling link: defaults, and the link is not replaced by a file ----
config="$work/config-dangling"
mkdir -p "$config/TolvanGcode"
ln -s "$work/no-such-folder/real.prefs" "$config/TolvanGcode/TolvanGcode.prefs"
if XDG_CONFIG_HOME="$config" start_app; then
  starts_with_defaults "dangling link" 9-dangling-link
  close_ok "dangling link"
  check "dangling link: still the same link" \
    test "$(readlink "$config/TolvanGcode/TolvanGcode.prefs")" = "$work/no-such-folder/real.prefs"
fi

finish
