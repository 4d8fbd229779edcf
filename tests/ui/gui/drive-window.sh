#!/usr/bin/env bash
# Drives Bootlume's window on the X display it is given (run it under
# xvfb-run), the way a person would: waits for the window, records its title
# and geometry, takes a screenshot once the window has settled, optionally
# saves the image through the "保存文件" dialog, then presses Esc.
#   drive-window.sh PROGRAM OUT [FIRMWARE]
# Environment: SAVE_FOLDER  type SAVE_FOLDER/typed-name.bin into the save dialog
#              WORK_DIR     record whether this folder exists while the window is open
# Results in OUT: title, geometry ("x y width height"), window.ppm, saved,
# work-during, exit (status after Esc, or "running").
set -uo pipefail
program=$1 out=$2 firmware=${3:-}
mkdir -p "$out"

# Polls COMMAND every 0.1 s until it succeeds or SECONDS_LEFT run out.
wait_for() {
  local seconds=$1; shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS >= deadline)) && return 1
    sleep 0.1
  done
}

if [[ -n $firmware ]]; then "$program" "$firmware" & else "$program" & fi
pid=$!
find_main() { main=$(xdotool search --onlyvisible --name '^Bootlume1\.0' 2>/dev/null | head -1); [[ -n $main ]]; }
if ! wait_for 20 find_main; then
  echo "no window" >"$out/exit"; kill "$pid" 2>/dev/null; exit 1
fi
xdotool getwindowname "$main" >"$out/title"
xwininfo -id "$main" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
  /^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print x, y, w, h}' >"$out/geometry"

# The window has settled when two screenshots a moment apart are equal and,
# with a firmware, the picture view is no longer all black.
shot() { import -window "$main" -depth 8 "ppm:$1" 2>/dev/null; }
settled() {
  shot "$out/a.ppm" && sleep 0.3 && shot "$out/window.ppm" && cmp -s "$out/a.ppm" "$out/window.ppm" || return 1
  [[ -z $firmware ]] && return 0
  [[ $(convert "$out/window.ppm" -crop 352x264+0+0 -format '%[fx:maxima.r+maxima.g+maxima.b]' info:) != 0 ]]
}
wait_for 20 settled
rm -f "$out/a.ppm"

[[ -n ${WORK_DIR:-} ]] && { [[ -d $WORK_DIR ]] && echo yes || echo no; } >"$out/work-during"

if [[ -n ${SAVE_FOLDER:-} ]]; then
  xdotool mousemove --window "$main" 160 332 click 1   # "保存文件"
  find_dialog() { dialog=$(xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vx "$main" | head -1); [[ -n $dialog ]]; }
  if wait_for 20 find_dialog; then
    sleep 0.5
    xdotool windowfocus --sync "$dialog"
    xdotool mousemove --window "$dialog" 20 20
    xdotool type --delay 10 "$SAVE_FOLDER/typed-name.bin"
    xdotool key Return
    wait_for 20 test -e "$SAVE_FOLDER/已修改.BIN" && echo yes >"$out/saved"
    dialog_gone() { ! xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vxq "$main"; }
    wait_for 10 dialog_gone
  fi
fi

xdotool windowfocus --sync "$main" 2>/dev/null
xdotool mousemove --window "$main" 176 132
xdotool key Escape
gone() { ! kill -0 "$pid" 2>/dev/null; }
if wait_for 20 gone; then
  wait "$pid"; echo $? >"$out/exit"
else
  echo running >"$out/exit"; kill "$pid"
fi
exit 0
