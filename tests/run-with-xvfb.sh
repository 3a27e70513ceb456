#!/usr/bin/env bash
# Runs a command against a private Xvfb server, so that tests never need the
# machine's own display and can run side by side.
set -euo pipefail

fifo=$(mktemp -u)
mkfifo "$fifo"
exec 3<>"$fifo"
rm -f "$fifo"
# setsid and closed standard streams: the server must not hold CTest's pipes.
setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
server=$!
# A test that ends the server ends this one.
export XVFB_PID=$server
# The program's state, poses and settings stay apart from everyone else's.
homes=$(mktemp -d "${TMPDIR:-/tmp}/mannequin-state.XXXXXX")
export XDG_STATE_HOME=$homes/state XDG_DATA_HOME=$homes/data XDG_CONFIG_HOME=$homes/config
mkdir -p "$XDG_STATE_HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
cleanup() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -rf "$homes"
}
trap cleanup EXIT

display=
if ! read -r -t 10 display <&3 || [[ -z "$display" ]]; then
  echo "run-with-xvfb: Xvfb did not start" >&2
  exit 1
fi
exec 3>&-
export DISPLAY=":$display"
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.05
done
"$@"
