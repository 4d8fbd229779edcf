#!/usr/bin/env bash
# Drives Bootlume's window on the X display it is given (run it under
# xvfb-run), the way a person would: waits for the window, records its title
# and geometry, takes a screenshot once the window has settled, optionally
# saves the image through the "保存文件" dialog, then presses Esc.
#   drive-window.sh PROGRAM OUT [FIRMWARE]
# Environment: DROP_PROGRAM, DROP_TYPE, DROP_DATA  drag DROP_DATA of type DROP_TYPE
#                onto the picture view with the XDND source DROP_PROGRAM;
#                its output goes to OUT/drop, the window after it to after-drop.ppm
#              SAVE_FOLDER  type SAVE_FOLDER/typed-name.bin into the save dialog
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
settled() {  # settled FILE [picture-expected]
  shot "$out/a.ppm" && sleep 0.3 && shot "$1" && cmp -s "$out/a.ppm" "$1" || return 1
  [[ -z ${2:-} ]] && return 0
  [[ $(convert "$1" -crop 352x264+0+0 -format '%[fx:maxima.r+maxima.g+maxima.b]' info:) != 0 ]]
}
wait_for 20 settled "$out/window.ppm" "$firmware"
rm -f "$out/a.ppm"

if [[ -n ${DROP_PROGRAM:-} ]]; then
  timeout 30 "$DROP_PROGRAM" "$main" 176 132 "$DROP_TYPE" "$DROP_DATA" >"$out/drop" 2>&1
  wait_for 20 settled "$out/after-drop.ppm"
  rm -f "$out/a.ppm"
fi

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
