#!/usr/bin/env bash
# Runs a test program on a private Xvfb server, optionally with openbox as
# the window manager, and stops both afterwards.
#   run_under_xvfb.sh --wm|--no-wm PROGRAM [ARGS...]
# The display number is chosen by Xvfb (-displayfd), so parallel runs do not
# collide; -noreset keeps the server up between tests, when no client is
# connected. Exits with the program's status.
set -euo pipefail

mode=${1:?--wm or --no-wm}
shift
[ "$mode" = --wm ] || [ "$mode" = --no-wm ] || { echo "unknown mode $mode" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/lanhe-xvfb-XXXXXX")
xvfb_pid=
wm_pid=
cleanup() {
  # Only the two processes started here, by their ids.
  if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null || true; wait "$wm_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb writes the display number it took to the descriptor once it is ready.
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 200); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
[ -s "$work/display" ] || { echo "Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

if [ "$mode" = --wm ]; then
  # Its own config and cache folders: no user settings, nothing left behind.
  XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" HOME="$work" \
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  ready=
  for _ in $(seq 1 200); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then ready=1; break; fi
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$ready" ] || { echo "openbox did not start:" >&2; cat "$work/openbox.log" >&2; exit 1; }
fi

status=0
"$@" || status=$?
exit $status
