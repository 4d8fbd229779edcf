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
#              SAVE_BY_KEYBOARD  reach "保存文件" with Enter (which must do
#                nothing), Tab and Space instead of a click
#              OPEN_PICTURE, OPEN_PICTURE_FROM  first save the image under the
#                name OPEN_PICTURE (so that the dialogs start from it), then
#                copy OPEN_PICTURE_FROM there and choose it with "打开jpg图片"
#                by pressing Enter; a message box that follows is captured to
#                box.ppm (its title to box-title) and answered with Enter; the
#                window afterwards goes to after-open.ppm; OPEN_EXPECTS_BOX
#                says whether to wait for that box or for the replaced image
#              WORK_DIR     record whether this folder exists while the window is open
# Results in OUT: title, geometry ("x y width height"), properties (icon
# and size hints as xprop prints them), window.ppm, saved,
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
shot() { timeout 10 import -window "$main" -depth 8 "ppm:$1" 2>/dev/null; }
settled() {  # settled FILE [picture-expected]
  shot "$out/a.ppm" && sleep 0.3 && shot "$1" && cmp -s "$out/a.ppm" "$1" || return 1
  [[ -z ${2:-} ]] && return 0
  [[ $(convert "$1" -crop 352x264+0+0 -format '%[fx:maxima.r+maxima.g+maxima.b]' info:) != 0 ]]
}
xprop -id "$main" _NET_WM_ICON _MOTIF_WM_HINTS WM_NORMAL_HINTS >"$out/properties" 2>&1
wait_for 20 settled "$out/window.ppm" "$firmware"
rm -f "$out/a.ppm"

if [[ -n ${DROP_PROGRAM:-} ]]; then
  timeout 30 "$DROP_PROGRAM" "$main" 176 132 "$DROP_TYPE" "$DROP_DATA" >"$out/drop" 2>&1
  wait_for 20 settled "$out/after-drop.ppm"
  rm -f "$out/a.ppm"
fi

[[ -n ${WORK_DIR:-} ]] && { [[ -d $WORK_DIR ]] && echo yes || echo no; } >"$out/work-during"

# The visible window, other than the main one, whose title matches $1 (titles
# are compared here: xdotool's own matching misses non-ASCII titles).
find_window() {
  local id
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    [[ $id != "$main" && $(xdotool getwindowname "$id" 2>/dev/null) =~ $1 ]] && { echo "$id"; return 0; }
  done
  return 1
}
find_dialog() { dialog=$(find_window '^(打开|另存为)$'); }
dialog_gone() { ! xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vxq "$main"; }
# Types a path into the file dialog that has just opened and confirms it.
answer_dialog() {
  wait_for 20 find_dialog || return 1
  sleep 0.5
  xdotool windowfocus --sync "$dialog"
  xdotool mousemove --window "$dialog" 20 20
  xdotool key ctrl+a   # replace what the name box holds
  # GTK's open dialog turns a typed "/" into its location box: let it open.
  xdotool type "${1:0:1}"
  sleep 0.5
  xdotool type --delay 10 "${1:1}"
  sleep 0.3
  xdotool key Return
}

if [[ -n ${SAVE_FOLDER:-} ]]; then
  if [[ -n ${SAVE_BY_KEYBOARD:-} ]]; then
    xdotool windowfocus --sync "$main"
    xdotool mousemove --window "$main" 176 132
    xdotool key Return F1    # no default button, no help
    sleep 1
    if dialog_gone; then echo no >"$out/enter-opened"; else echo yes >"$out/enter-opened"; fi
    xdotool key Tab space    # from "打开jpg图片" to "保存文件", pressed
  else
    xdotool mousemove --window "$main" 160 332 click 1   # "保存文件"
  fi
  if answer_dialog "$SAVE_FOLDER/typed-name.bin"; then
    wait_for 20 test -e "$SAVE_FOLDER/已修改.BIN" && echo yes >"$out/saved"
    wait_for 10 dialog_gone
  fi
fi

if [[ -n ${OPEN_PICTURE:-} ]]; then
  xdotool mousemove --window "$main" 160 332 click 1   # "保存文件"
  answer_dialog "$OPEN_PICTURE"
  wait_for 20 test -e "$(dirname "$OPEN_PICTURE")/已修改.BIN"
  wait_for 10 dialog_gone
  output="$(dirname "$OPEN_PICTURE")/已修改.BIN"
  cp "$output" "$out/before-open.bin"
  cp "$OPEN_PICTURE_FROM" "$OPEN_PICTURE"
  xdotool mousemove --window "$main" 52 332 click 1    # "打开jpg图片"
  if wait_for 20 find_dialog; then
    sleep 0.5
    xdotool windowfocus --sync "$dialog"
    xdotool mousemove --window "$dialog" 20 20
    xdotool key Return                                # the pre-selected picture
  fi
  find_box() { box=$(find_window '^提示$'); }
  # The replacement has ended when the image file has changed and no tool
  # runs any more; the window repaints after that.
  replaced() { ! cmp -s "$output" "$out/before-open.bin" && [[ -z $(pgrep -P "$pid") ]]; }
  if [[ -z ${OPEN_EXPECTS_BOX:-} ]]; then
    wait_for 120 replaced && sleep 0.5
  elif wait_for 60 find_box; then
    xdotool getwindowname "$box" >"$out/box-title"
    sleep 0.5
    timeout 10 import -window "$box" -depth 8 "ppm:$out/box.ppm" 2>/dev/null
    xdotool windowfocus --sync "$box"
    xdotool mousemove --window "$box" 5 5
    xdotool key Return
  fi
  wait_for 10 dialog_gone
  wait_for 60 settled "$out/after-open.ppm"
  rm -f "$out/a.ppm"
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
