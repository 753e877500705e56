#!/usr/bin/env bash
# Figures of the program `vantri` on a virtual display against vantri-station on loopback:
#   start to first frame and to a filled station chooser (the demo archive's two stations);
#   a second start's link to the first instance playing it;
#   CPU of vantri playing with the window visible and chat replaying, against vantri-console playing the
#   same show (BENCH_SECONDS each, 540 by default: the demo show lasts 9 minutes and the console counts
#   seconds played), and of vantri playing the same show at 1.5x (its speed kept in playspeeds.txt, as
#   the speed menu keeps it) for two thirds of BENCH_SECONDS: the same part of the show;
#   start to first frame and a full repaint at device scales 1, 1.5 and 2 (VANTRI_SCALE);
#   peak resident memory playing a 3-hour show with 50,000 chat rows, at 1x and at 2x (alone with
#   BENCH_MEMORY_ONLY=1).
#
#   tools/bench/program.sh [BUILD_DIR]     (default build/; needs vantri, vantri-console, vantri-station,
#                                           bench_program and the demo archive in BUILD_DIR/demo-archive
#                                           or demo-archive/)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
seconds=${BENCH_SECONDS:-540}
archive=$build/demo-archive
[ -d "$archive" ] || archive=$root/demo-archive
[ -d "$archive" ] || { echo "make the demo archive first: scripts/make-demo-archive $build/vantri-station $archive"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vantri-program-bench.XXXXXX")
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"

# The bench archive: the demo archive plus station 3 with a 3-hour show and 50,000 chat rows.
cp -r "$archive" "$work/archive"
big="$work/archive/stations/1/streams/1"
sox -n -r 44100 -c 2 "$work/ten.wav" synth 10 pluck %-9 pluck %-5 remix - channels 2 gain -6
lame --quiet -t -b 128 "$work/ten.wav" "$work/ten.mp3"
for _ in $(seq 1080); do cat "$work/ten.mp3"; done >"$work/show.mp3"
awk 'function hms(t) { return sprintf("%d:%02d:%02d", int(t/3600), int(t/60)%60, t%60) }
  BEGIN { for (i = 0; i < 40; i++) printf "%s\tmusic\tArtist %d\tTitle %d\t%s\t0\n", hms(i*270), i, i, hms((i+1)*270) }' >"$work/tracks.txt"
awk 'BEGIN { srand(7); for (i = 0; i < 50000; i++) { t = int(i * 10800 / 50000); printf "%d:%02d:%02d\tmessage\tnick%d\tmessage number %d with some words in it, like a real chat line\n", int(t/3600), int(t/60)%60, t%60, int(rand()*40), i } }' >"$work/chat.txt"
"$build/vantri-station" import "$work/archive" --station 3 --stream 1 --station-name "Three Hours FM" \
  --mp3 "$work/show.mp3" --start "2024-03-03 20:00:00" --replace >/dev/null
cp "$work/tracks.txt" "$work/chat.txt" "$work/archive/stations/3/streams/1/"
"$build/vantri-station" check "$work/archive" >/dev/null

port=$(( 20000 + RANDOM % 20000 ))
"$build/vantri-station" serve "$work/archive" --listen 127.0.0.1 --port "$port" >/dev/null 2>&1 &
source "$root/scripts/lib/wait-for-port"
wait_for_port "$port" 10 $! vantri-station

export VANTRI_DIRECTORY=127.0.0.1:$port VANTRI_UPDATE_SERVER=127.0.0.1:$port
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
stations=$(ls "$work/archive/stations" | wc -l)
run() { if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"; fi; }

if [ -z "${BENCH_MEMORY_ONLY:-}" ]; then
echo "== start ($stations stations)"
run "$build/tools/bench_program" start 7 "$stations"
echo "== device scale: start to first frame and a full repaint of the filled window, at 1x, 1.5x and 2x"
for scale in 1 1.5 2; do
  VANTRI_SCALE=$scale run "$build/tools/bench_program" repaint 5 50 "$stations"
done
echo "== second instance to playing"
run "$build/tools/bench_program" handover "$build/vantri" "vantri:track-1-2-1Q" 2 88
echo "== CPU playing $seconds s (the window shows the chat replaying)"
run "$build/tools/bench_program" run "$seconds" "$build/vantri" "vantri:track-1-1-0"
run "$build/tools/bench_program" run "$seconds" "$build/vantri-console" --seconds "$seconds" "vantri:track-1-1-0"
echo "== CPU playing $(( seconds * 2 / 3 )) s at 1.5x (the window shows the chat replaying)"
mkdir -p "$work/config/Vantri"
printf '1 1 15\n' >"$work/config/Vantri/playspeeds.txt"
run "$build/tools/bench_program" run $(( seconds * 2 / 3 )) "$build/vantri" "vantri:track-1-1-0"
rm "$work/config/Vantri/playspeeds.txt"
fi
echo "== peak memory: a 3-hour show with 50,000 chat rows, played for 60 s from 2:30:00"
run "$build/tools/bench_program" run 60 "$build/vantri" "vantri:track-3-1-2LA"
echo "== the same at twice the device scale (VANTRI_SCALE=2)"
VANTRI_SCALE=2 run "$build/tools/bench_program" run 60 "$build/vantri" "vantri:track-3-1-2LA"
