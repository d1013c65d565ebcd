#!/usr/bin/env bash
# The Windows program under wine on an X server with a window manager
# (run_under_xvfb.sh --wm), driven like an operator with xdotool:
#   wine_end_to_end.sh BIN_DIR HOST_EDBTOOL
# BIN_DIR holds lanhe-ledger.exe beside its DLLs and plugins; HOST_EDBTOOL is
# the Linux edbtool, which makes the tables and reads back what the Windows
# program stored (both systems share the table files).
#
# What wine can show and what not: it hands Ctrl+B to RegisterHotKey only
# while one of its own windows has the X focus (it grabs no keys), and its
# "Wine System Tray" window stands in for a notification area. It does not
# let another process's SetActiveWindow move the X focus, so a second start
# is checked for its message, its exit code and the first copy running on.
#
# Set LANHE_SHOTS_DIR to keep screenshots of the main bar and the entry page.
set -u

bin=${1:?BIN_DIR}
edbtool=${2:?HOST_EDBTOOL}
for tool in wine xdotool xwininfo import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh)" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run through run_under_xvfb.sh --wm" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/lanhe-wine-e2e.XXXXXX")
app=$work/app
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
first_pid=
cleanup() {
  # Only this prefix's processes: its wineserver ends them.
  wineserver -k 2>/dev/null
  [ -n "$first_pid" ] && wait "$first_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() {  # NAME COMMAND...: one result line per check
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok - $name"
  else
    failed=$((failed + 1))
    echo "not ok - $name"
  fi
}
# Polls COMMAND... for up to 15 s.
eventually() {
  local i
  for i in $(seq 1 150); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
shot() {
  [ -n "${LANHE_SHOTS_DIR:-}" ] || return 0
  mkdir -p "$LANHE_SHOTS_DIR"
  import -window root "$LANHE_SHOTS_DIR/$1.png" 2>/dev/null
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
hidden() { ! viewable "$1"; }
# The first window titled exactly TITLE that is mapped, or nothing.
window_titled() {
  local w
  for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    echo "$w"
    return 0
  done
  return 1
}
geometry() {  # sets X Y WIDTH HEIGHT of window $1: its inside, on the screen
  local info
  info=$(xwininfo -id "$1" 2>/dev/null)
  X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  WIDTH=$(sed -n 's/^ *Width: *//p' <<<"$info")
  HEIGHT=$(sed -n 's/^ *Height: *//p' <<<"$info")
}
click() { xdotool mousemove --sync "$1" "$2" click 1; sleep 0.3; }

# --- the program's folder: the program with its DLLs and four tables -------
mkdir -p "$app"
cp "$bin"/lanhe-ledger.exe "$bin"/Qt6Core.dll "$bin"/Qt6Gui.dll "$bin"/Qt6Widgets.dll \
   "$bin"/Qt6PrintSupport.dll "$bin"/libgcc_s_seh-1.dll "$bin"/libstdc++-6.dll \
   "$bin"/libwinpthread-1.dll "$app"/
cp -r "$bin"/platforms "$bin"/styles "$app"/
pw=(--password 583027)
"$edbtool" init "$app" >/dev/null || exit 1
"$edbtool" write "$app/设置.edb" 1 "${pw[@]}" \
  '["",true,true,true,true,true,true,true,true,true,false,false,false,0]' >/dev/null || exit 1
"$edbtool" append "$app/客户.EDB" "${pw[@]}" '["老周","13800000000","东街 3 号",""]' >/dev/null || exit 1
"$edbtool" append "$app/项目.edb" "${pw[@]}" '["照片冲印"]' >/dev/null || exit 1
wineboot -i >/dev/null 2>&1

# --- first start: the main bar at the top edge --------------------------------
(cd "$app" && exec wine lanhe-ledger.exe >/dev/null 2>&1) &
first_pid=$!
bar=
find_bar() { bar=$(window_titled '岚禾记账'); [ -n "$bar" ]; }
check "the main bar appears" eventually find_bar
[ -n "$bar" ] || { echo "0 passed, $((failed)) failed"; exit 1; }
geometry "$bar"
check "the main bar is 700 x 75 (is ${WIDTH}x$HEIGHT)" test "$WIDTH" = 700 -a "$HEIGHT" = 75
check "the main bar's top edge lies 2 pixels below the screen's (y=$Y)" test "$Y" = 2
bar_x=$X
bar_y=$Y
shot main-bar

# --- the notification icon in wine's tray window -----------------------------
tray=
find_tray() { tray=$(window_titled 'Wine System Tray'); [ -n "$tray" ]; }
check "the notification icon shows in wine's tray window" eventually find_tray
click $((bar_x + 611)) $((bar_y + 16))  # "隐藏"
check "\"隐藏\" hides the main bar" eventually hidden "$bar"
if [ -n "$tray" ]; then
  geometry "$tray"
  # The icon is the first one, at the window's left end.
  xdotool mousemove --sync $((X + 10)) $((Y + 10)) click --repeat 2 --delay 80 1
  check "a double-click on the icon shows the main bar" eventually viewable "$bar"
fi

# --- a sale typed into the entry page is stored -------------------------------
click $((bar_x + 45)) $((bar_y + 50))  # " 记 账 "
page=
find_page() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$first_pid" 2>/dev/null) \
           $(xdotool search --onlyvisible --name '^lanhe-ledger$' 2>/dev/null); do
    [ "$w" = "$bar" ] && continue
    geometry "$w"
    [ "$HEIGHT" = 520 ] && { page=$w; return 0; }
  done
  return 1
}
check "the entry page opens" eventually find_page
if [ -n "$page" ]; then
  geometry "$page"
  check "the entry page is docked under the bar with its width" \
    test "$X" = "$bar_x" -a "$Y" = $((bar_y + 75)) -a "$WIDTH" = 700
  px=$X
  py=$Y
  # The input frame 外形框2 starts at (9, 345) of the page.
  fx=$((px + 9))
  fy=$((py + 345))
  click $((fx + 137)) $((fy + 25)); xdotool key Down               # 组合框客户
  click $((fx + 333)) $((fy + 25)); xdotool key Down               # 组合框事件
  click $((fx + 238)) $((fy + 63)); xdotool type --delay 40 'A4 frame'  # 编辑框备注
  click $((fx + 126)) $((fy + 101)); xdotool type --delay 40 '88.5'     # 编辑框金额
  click $((fx + 317)) $((fy + 103))                                # 单选框已结
  shot entry-page
  click $((fx + 470)) $((fy + 64))                                 # 按钮记账 "录入"
  stored() {
    "$edbtool" dump "$app/记账.edb" "${pw[@]}" 2>/dev/null |
      grep -q '"values":\[[0-9.]*,"老周","照片冲印",88.5,"A4 frame",true\]'
  }
  check "the sale is in 记账.edb as the Linux edbtool reads it" eventually stored
fi

# --- Ctrl+B, while a wine window has the focus --------------------------------
xdotool windowfocus --sync "$bar" 2>/dev/null
xdotool key ctrl+b
check "Ctrl+B hides the main bar" eventually hidden "$bar"
[ -n "$page" ] && check "... and its page" hidden "$page"
# The bar is gone; the tray window is wine's, so the key still reaches wine.
[ -n "$tray" ] && xdotool windowfocus --sync "$tray" 2>/dev/null
xdotool key ctrl+b
check "Ctrl+B again shows the main bar" eventually viewable "$bar"
sleep 0.3
[ -n "$page" ] && check "... without the page" hidden "$page"

# --- a second start: the message, exit code 0, the first runs on --------------
(cd "$app" && exec wine lanhe-ledger.exe >/dev/null 2>&1) &
second_pid=$!
box=
find_box() { box=$(window_titled '友情提醒:'); [ -n "$box" ]; }
check "a second start shows its message, captioned 友情提醒:" eventually find_box
shot second-start
[ -n "$box" ] && xdotool windowactivate --sync "$box" key Return 2>/dev/null
second_status=timeout
for _ in $(seq 1 150); do
  if ! kill -0 "$second_pid" 2>/dev/null; then
    wait "$second_pid"
    second_status=$?
    break
  fi
  sleep 0.1
done
check "the second copy ends with exit code 0 (got $second_status)" test "$second_status" = 0
check "the first copy keeps running with its bar shown" \
  eval 'kill -0 "$first_pid" 2>/dev/null && viewable "$bar"'

# --- "关闭" ends the program with exit code 0 ---------------------------------
click $((bar_x + 667)) $((bar_y + 16))
first_status=timeout
for _ in $(seq 1 150); do
  if ! kill -0 "$first_pid" 2>/dev/null; then
    wait "$first_pid"
    first_status=$?
    first_pid=
    break
  fi
  sleep 0.1
done
check "\"关闭\" ends the program with exit code 0 (got $first_status)" test "$first_status" = 0

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
