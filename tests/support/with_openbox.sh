#!/usr/bin/env bash
# Runs a test program on an X display of its own under a real window
# manager: Xvfb on a free display number, openbox on it, the program on the
# xcb platform. Exits 77 (the test is skipped) when Xvfb or openbox is not
# installed. Usage: with_openbox.sh PROGRAM [ARGS...]
set -u
for tool in Xvfb openbox; do
  if ! command -v "$tool" >/dev/null; then
    echo "Skipped: $tool is not installed (scripts/deps.sh installs xvfb and openbox)."
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid=""
openbox_pid=""
cleanup() {
  [ -n "$openbox_pid" ] && kill "$openbox_pid" 2>/dev/null && wait "$openbox_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display number itself and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -auth /dev/null \
  3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "Xvfb did not start:"
  cat "$work/xvfb.log"
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

HOME="$work" openbox --sm-disable >"$work/openbox.log" 2>&1 &
openbox_pid=$!
# openbox has taken the screen once the root window names it.
for _ in $(seq 100); do
  if command -v xprop >/dev/null; then
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  fi
  sleep 0.1
done

QT_QPA_PLATFORM=xcb "$@"
