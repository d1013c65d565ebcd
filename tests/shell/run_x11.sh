#!/usr/bin/env bash
# Runs one command on a private X server with a window manager:
#   run_x11.sh [--no-wm] COMMAND [ARGS...]
# Starts Xvfb on a free display and openbox on it (not with --no-wm), waits
# until the window manager has taken over, runs the command with DISPLAY set,
# and stops both again (only the processes started here). The command's exit
# code is returned.
set -u

with_wm=1
if [ "${1:-}" = "--no-wm" ]; then
  with_wm=0
  shift
fi

for tool in Xvfb openbox xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "run_x11.sh: $tool is missing (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

workdir=$(mktemp -d "${TMPDIR:-/tmp}/lanhe_x11.XXXXXX")
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "$wm_pid" ] && wait "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$workdir"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the pipe.
exec {fdw}>"$workdir/display"
Xvfb -displayfd "$fdw" -screen 0 1280x1024x24 -nolisten tcp -noreset \
     >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!
exec {fdw}>&-
for _ in $(seq 100); do
  [ -s "$workdir/display" ] && break
  sleep 0.1
done
if [ ! -s "$workdir/display" ]; then
  echo "run_x11.sh: Xvfb did not start" >&2
  cat "$workdir/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$workdir/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
mkdir -m 700 "$workdir/runtime"
export XDG_RUNTIME_DIR="$workdir/runtime"

if [ "$with_wm" = 1 ]; then
  openbox --sm-disable >"$workdir/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    echo "run_x11.sh: the window manager did not start" >&2
    cat "$workdir/openbox.log" >&2
    exit 1
  fi
fi

# The program allows one copy per logon session. Copies started here must not
# meet those of another test run on the same machine (or the operator's own):
# a logon session of their own where the kernel gives none, and, where the
# kernel does give one and we may, a network namespace of their own, which
# has its own abstract socket names (the X server is still reached through
# its socket file).
export XDG_SESSION_ID="lanhe-x11-test-$$"
session=$(cat /proc/self/sessionid 2>/dev/null || echo 4294967295)
if [ "$session" != 4294967295 ] && unshare -n true 2>/dev/null; then
  unshare -n "$@"
  exit $?
fi
"$@"
exit $?
