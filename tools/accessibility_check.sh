#!/usr/bin/env bash
# The window as a screen reader reads it: the real player on a virtual display, in a private session with
# the accessibility bus (at-spi2-core), playing a show from vantri-station on loopback, read and driven by
# tools/accessibility_client.py over AT-SPI (pyatspi). The show is ten minutes long, with two tracks and a
# chat line every second.
#
#   tools/accessibility_check.sh [BUILD_DIR]    (default build/; needs vantri and vantri-station; exits 1 when
#                                               a check fails, 77 when the accessibility bus is not installed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
if [ -z "${VANTRI_IN_PRIVATE_SESSION:-}" ]; then
  if [ ! -x /usr/libexec/at-spi-bus-launcher ] || ! /usr/bin/python3 -c "import pyatspi" 2>/dev/null; then
    echo "SKIP: at-spi2-core or python3-pyatspi is not installed"
    exit 77
  fi
  VANTRI_IN_PRIVATE_SESSION=1 exec dbus-run-session -- "$0" "$build"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/vantri-accessibility.XXXXXX")
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime" && chmod 700 "$work/runtime"
cd "$work"

sox -n -r 22050 -c 2 ten.wav synth 10 sine 440 gain -12
lame --quiet -b 64 ten.wav ten.mp3
for _ in $(seq 60); do cat ten.mp3; done >show.mp3
"$build/vantri-station" import archive --station 1 --stream 1 --station-name "Test FM" --mp3 show.mp3 \
  --start "2024-03-03 20:00:00" --title "Friday" --replace >/dev/null
show=archive/stations/1/streams/1
printf '0:00:00\tmusic\tArtist\tTitle\t0:05:00\t0\n0:05:00\tmusic\tArtist 2\tTitle 2\t0:10:05\t0\n' >"$show/tracks.txt"
awk 'function ts(t) { return sprintf("%d:%02d:%02d", int(t/3600), int(t/60)%60, t%60) }
  BEGIN { print ts(1) "\tjoin\tanna"; for (t = 2; t < 600; t++) print ts(t) "\tmessage\tanna\tline at " t }' \
  >"$show/chat.txt"
"$build/vantri-station" check archive >/dev/null

port=$(( 20000 + RANDOM % 20000 ))
"$build/vantri-station" serve archive --listen 127.0.0.1 --port "$port" >/dev/null 2>&1 &
source "$root/scripts/lib/wait-for-port"
wait_for_port "$port" 10 $! vantri-station

display=:$(( 50 + RANDOM % 400 ))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export VANTRI_DIRECTORY=127.0.0.1:$port VANTRI_UPDATE_SERVER=127.0.0.1:$port
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime SDL_AUDIODRIVER=dummy TZ=UTC
"$build/vantri" "vantri:track-1-1-0" >"$work/player.log" 2>&1 &
/usr/bin/python3 "$root/tools/accessibility_client.py"
