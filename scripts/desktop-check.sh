#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Looks at Velmora's windows on a real X display, as a user would: Xvfb with
# the openbox window manager and no compositing manager. Drives the windows
# with xdotool and leaves screenshots in build/desktop-check/ to be looked at:
#   chooser-balloon.png       the chooser with a balloon over a picture button
#   chooser-scale2.png        the same at a display scale of 2
#   chooser-hover-after-drag.png  the music button lit, with its balloon,
#                             after a press on the anime button was dragged
#                             out of the window and released there
#   chooser-balloon-composited.png  the same under a compositor (if xcompmgr is there)
#   main-message.png          a message box of the main window (Chinese buttons)
#   saveas.png                the Save-As dialog
#   main-click-download.png   the main window clicked during a download: the
#                             download window stays above it
#   keys-*-s1, -s1.5, -s2     a walk without the mouse at display scales 1,
#                             1.5 and 2: chooser, loaded tree, Save-As,
#                             finished download, the main window restored
#                             during it, the item's context menu, problem
#                             dialog, About window
# and prints what it checked, with the AT-SPI listing (names and roles) of
# every window of the walk at scale 1. Needs: xvfb openbox xdotool wmctrl
# imagemagick python3-pyatspi at-spi2-core.
# Usage: scripts/desktop-check.sh   (after a build)
set -euo pipefail
cd "$(dirname "$0")/.."
# A session bus of our own: the accessibility bus starts on it, and nothing
# reaches the desktop this runs on.
if [ -z "${VELMORA_CHECK_BUS:-}" ]; then
  exec dbus-run-session -- env VELMORA_CHECK_BUS=1 bash "$0" "$@"
fi
bin=build/bin
out=build/desktop-check
mkdir -p "$out"
rm -f "$out"/*.png
port="${VELMORA_DEMO_PORT:-8419}"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
work=$(mktemp -d)
trap cleanup EXIT INT TERM

# Xvfb tells the display number once it accepts clients.
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1280x900x24 -nolisten tcp 2>"$work/xvfb.log")
pids+=($!)
read -r -u 3 dnum
export DISPLAY=":$dnum"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
until wmctrl -m >/dev/null 2>&1; do sleep 0.1; done

"$bin/velmora-demo-server" --port "$port" --rate 131072 >"$work/server.log" &
pids+=($!)
until grep -q listening "$work/server.log"; do sleep 0.1; done
export VELMORA_CATALOGUE_SERVER="127.0.0.1:$port" VELMORA_SEARCH_SERVER="127.0.0.1:$port"
export HOME="$work/home"
mkdir -p "$HOME/Music"
# Whatever the system's language: Qt's own texts must still be Chinese.
export LANG=en_US.UTF-8 LC_ALL=C.UTF-8

shot() { import -window root "$out/$1.png"; echo "screenshot: $out/$1.png"; }
# The id of a visible window titled exactly $1 other than $2 (waits for it).
# Gives up after 30 seconds: the step that should have opened it failed.
window() {
  local id="" tries=300
  while [ -z "$id" ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "${2:-none}" | tail -1 || true)
    [ -n "$id" ] && break
    tries=$((tries - 1))
    if [ "$tries" -le 0 ]; then
      echo "check: FAILED, no window \"$1\" came up" >&2
      return 1
    fi
    sleep 0.1
  done
  echo "$id"
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
hover() {
  xdotool mousemove --window "$1" "$2" "$3"
  sleep 0.1
  xdotool mousemove --window "$1" $(($2 + 1)) $(($3 + 1))
}
# Whether the frame of window $1 (title bar and close box) is on the screen.
on_screen() {
  local x y w h
  read -r x y w h < <(wmctrl -lG | awk -v id="$(printf '0x%08x' "$1")" '$1 == id {print $3, $4, $5, $6}')
  eval "$(xwininfo -root | awk '/Width:/ {print "sw=" $2} /Height:/ {print "sh=" $2}')"
  [ -n "$x" ] && [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$sw" ] && [ $((y + h)) -le "$sh" ]
}
# Whether window $1 still exists.
alive() { xdotool getwindowname "$1" >/dev/null 2>&1; }

# The chooser, after the splash has handed over to it, with a balloon.
# $2: the display scale (window coordinates are in screen pixels).
chooser_shot() {
  "$bin/velmora" >"$work/app.log" 2>&1 &
  local app=$!
  local chooser
  chooser=$(window "Velmora 1.13")
  sleep 3  # the splash fades and enables the chooser
  hover "$chooser" $((250 * $2)) $((190 * $2))
  sleep 1.2
  shot "$1"
  kill "$app"
  wait "$app" 2>/dev/null || true
}
chooser_shot chooser-balloon 1
# A press on a picture button dragged out of the window and released there;
# afterwards the other button must still light up and show its balloon.
drag_out_then_hover() {
  "$bin/velmora" >"$work/app.log" 2>&1 &
  local app=$!
  local chooser
  chooser=$(window "Velmora 1.13")
  sleep 3
  xdotool mousemove --window "$chooser" 260 180 mousedown 1
  sleep 0.2
  xdotool mousemove 5 5
  sleep 0.2
  xdotool mouseup 1
  sleep 0.2
  hover "$chooser" 125 215
  sleep 1.2
  shot chooser-hover-after-drag
  kill "$app"
  wait "$app" 2>/dev/null || true
}
drag_out_then_hover
QT_SCALE_FACTOR=2 chooser_shot chooser-scale2 2
# With a compositing manager (when xcompmgr is installed) the balloon keeps
# its smooth, see-through edge instead of being cut.
if command -v xcompmgr >/dev/null; then
  xcompmgr >/dev/null 2>&1 &
  comp=$!
  sleep 0.5
  chooser_shot chooser-balloon-composited 1
  kill "$comp"
  wait "$comp" 2>/dev/null || true
fi

# The main window of the music catalogue.
VELMORA_KIND=music "$bin/velmora" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)
main=$(window "Velmora 1.13")
sleep 0.5
# Download with nothing selected: a message box of the main window.
click "$main" 667 129
window "Velmora 1.13" "$main" >/dev/null  # the message box
sleep 0.5
shot main-message
xdotool key Return  # the box has the focus
sleep 0.3

# Load the catalogue, open the first group, pick its first item.
click "$main" 667 87
sleep 3
shot main-loaded
click "$main" 60 102   # the first group
sleep 0.5
click "$main" 90 122   # its first item
sleep 0.3
click "$main" 667 129  # Download
window "另存为" >/dev/null
sleep 0.8
shot saveas
xdotool key Return
sleep 2
download=$(window "Velmora 1.13" "$main")
click "$main" 100 400  # a click on the greyed main window, beside the download window
sleep 0.8
shot main-click-download
if [ "$(xdotool getactivewindow)" = "$download" ]; then
  echo "check: the click on the greyed main window activates the download window"
else
  echo "check: FAILED, the greyed main window stays active after a click on it"
fi
stack=" $(xprop -root _NET_CLIENT_LIST_STACKING | cut -d'#' -f2 | tr -d ',') "
below=${stack%% $(printf '0x%x' "$main") *}
if [ "$below" != "$stack" ] && [[ "$below" != *"$(printf '0x%x' "$download")"* ]]; then
  echo "check: the download window stays above the clicked main window"
else
  echo "check: FAILED, the main window came over the download window (stacking:$stack)"
fi
echo "check: download window $(xprop -id "$download" WM_TRANSIENT_FOR), main window $(printf '0x%x' "$main")"
wmctrl -i -c "$main"   # the window manager asks the main window to close
sleep 0.8
if alive "$main" && xdotool search --onlyvisible --name "^Velmora 1.13\$" | grep -qx "$main"; then
  echo "check: the disabled main window ignored the close request"
else
  echo "check: FAILED, the main window closed during the download"
fi
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true

# --- Without the mouse -------------------------------------------------
# The keyboard alone: the chooser by Tab and Enter, Alt+L, the third item of
# the first group by arrow keys, Enter on it; Save-As must propose that
# item's file name. During the download the main window is minimised and
# restored: the download window must have the keyboard again. The second
# download comes from the item's context menu (the menu key, then D). At
# scale 1 the AT-SPI listing of each window is printed.
atspi() { QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 /usr/bin/python3 scripts/atspi-list.py "$@" || true; }
focus_role() { /usr/bin/python3 scripts/atspi-list.py --focused 2>/dev/null | cut -d: -f1; }
keyboard_walk() {
  local s=$1 list=$2
  rm -rf "$HOME/Music" "$(dirname "$(readlink -f "$bin/velmora")")/My Music"
  mkdir -p "$HOME/Music"
  # The accessibility bus and its registry run before the program starts,
  # so that it registers with them.
  [ "$list" = 1 ] && { /usr/bin/python3 scripts/atspi-list.py >/dev/null 2>&1 || true; }
  QT_SCALE_FACTOR=$s QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$bin/velmora" >"$work/keys.log" 2>&1 &
  local app=$!
  local chooser main saveas
  chooser=$(window "Velmora 1.13")
  sleep 3  # the splash fades and enables the chooser
  xdotool key --window "$chooser" Tab
  sleep 0.3
  shot "keys-chooser-s$s"
  [ "$list" = 1 ] && { echo "atspi: chooser"; atspi; }
  xdotool key Tab Return  # round to the anime button and pick it
  main=$(window "Velmora 1.13" "$chooser")
  sleep 0.5
  xdotool key alt+l
  sleep 3
  # Tab until the tree has the keyboard (the button pressed keeps it).
  for _ in 1 2 3 4 5 6; do
    case "$(focus_role)" in tree*) break ;; esac
    xdotool key Tab
    sleep 0.2
  done
  xdotool key Home Down Return  # root, first group: Enter closes it...
  sleep 0.3
  xdotool key Return Down Down Down  # ...and opens it again; items 1 to 3
  sleep 0.3
  shot "keys-main-s$s"
  if on_screen "$main"; then
    echo "check: scale $s, the main window is whole on the screen ($(wmctrl -lG | awk -v id="$(printf '0x%08x' "$main")" '$1 == id {print $3 "," $4, $5 "x" $6}'))"
  else
    echo "check: FAILED, scale $s, the main window reaches off the screen"
  fi
  [ "$list" = 1 ] && { echo "atspi: main window"; atspi; }
  xdotool key Return  # Enter on the item downloads it
  saveas=$(window "另存为")
  sleep 0.8
  shot "keys-saveas-s$s"
  if atspi --texts | grep "hoshizora-03.MKV" >/dev/null; then
    echo "check: scale $s, Save-As proposes the third item's file (hoshizora-03.MKV)"
  else
    echo "check: FAILED, scale $s, Save-As does not propose hoshizora-03.MKV"
  fi
  [ "$list" = 1 ] && { echo "atspi: Save-As"; atspi --texts; }
  xdotool key Return
  sleep 2
  shot "keys-download-s$s"
  [ "$list" = 1 ] && { echo "atspi: download window"; atspi; }
  local download
  download=$(window "Velmora 1.13" "$main")
  # Minimised and restored while the download window is open: the window
  # manager activates the greyed main window, which hands on the keyboard.
  xdotool windowminimize "$main"
  sleep 0.8
  wmctrl -i -a "$main"
  sleep 1
  shot "keys-restored-s$s"
  if [ "$(xdotool getactivewindow)" = "$download" ] && [ "$(focus_role)" = "push button" ]; then
    echo "check: scale $s, after a restore the download window has the keyboard"
  else
    echo "check: FAILED, scale $s, after a restore the keyboard is not in the download window ($(focus_role))"
  fi
  xdotool key Return  # the download window's close button has the focus
  sleep 0.8
  # The same item again, from its context menu: the file is there now, so
  # the problem dialog asks.
  xdotool key Menu
  sleep 0.5
  shot "keys-menu-s$s"
  xdotool key d
  window "另存为" >/dev/null
  sleep 0.5
  xdotool key Return
  sleep 1.5
  shot "keys-problem-s$s"
  [ "$list" = 1 ] && { echo "atspi: problem dialog"; atspi; }
  xdotool key Escape  # the problem dialog closes as its close box does
  sleep 1
  xdotool key Return  # the download window's focused button: cancel or close
  sleep 1
  xdotool key alt+a
  if window "关于 Velmora" >/dev/null; then
    sleep 0.5
    shot "keys-about-s$s"
    [ "$list" = 1 ] && { echo "atspi: About window"; atspi; }
  fi
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
}
keyboard_walk 1 1
keyboard_walk 1.5 0
keyboard_walk 2 0
