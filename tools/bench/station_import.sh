#!/usr/bin/env bash
# Time and peak memory of importing a 3-hour show (128 kbit/s MP3, 40-track CUE sheet) with a
# 50,000-line irssi chat log.
#
#   tools/bench/station_import.sh [BUILD_DIR]     (default build/); BENCH_ROUNDS (3)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
rounds=${BENCH_ROUNDS:-3}
station="$build/vantri-station"
[ -x "$station" ] || { echo "build $station first (cmake --build build --target vantri-station)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vantri-import-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Ten seconds encoded without a VBR tag, so that copies of it join into one valid stream of frames.
sox -n -r 44100 -c 2 "$work/ten.wav" synth 10 pluck %-9 pluck %-5 remix - channels 2 gain -6
lame --quiet -t -b 128 "$work/ten.wav" "$work/ten.mp3"
for _ in $(seq 1080); do cat "$work/ten.mp3"; done >"$work/show.mp3"

awk 'BEGIN {
  print "PERFORMER \"Bench DJ\""; print "TITLE \"Three Hours\""; print "FILE \"show.mp3\" MP3"
  for (i = 1; i <= 40; i++) {
    s = (i - 1) * 270
    printf "  TRACK %02d AUDIO\n    PERFORMER \"Artist %d\"\n    TITLE \"Title %d\"\n", i, i, i
    if (i > 1) printf "    INDEX 00 %02d:%02d:%02d\n", int((s - 2) / 60), (s - 2) % 60, 0
    printf "    INDEX 01 %02d:%02d:%02d\n", int(s / 60), s % 60, 0
  }
}' >"$work/show.cue"

awk 'BEGIN {
  srand(7)
  print "--- Log opened Sun Mar 03 19:50:00 2024"
  split("alice bob carol dave erin frank grace heidi ivan judy", nick, " ")
  for (i = 0; i < 49998; i++) {
    t = 72000 + int(i * 10800 / 49998)
    stamp = sprintf("%02d:%02d:%02d", int(t / 3600) % 24, int(t / 60) % 60, t % 60)
    n = nick[1 + int(rand() * 10)]; m = nick[1 + int(rand() * 10)]; r = int(rand() * 100)
    if (r < 70) printf "%s <%s> message number %d with some words in it, like a real chat line\n", stamp, n, i
    else if (r < 76) printf "%s  * %s waves at %s\n", stamp, n, m
    else if (r < 82) printf "%s -!- %s [~%s@host.example] has joined #bench\n", stamp, n, n
    else if (r < 86) printf "%s -!- %s [~%s@host.example] has left #bench [later]\n", stamp, n, n
    else if (r < 90) printf "%s -!- %s [~%s@host.example] has quit [Quit: bye]\n", stamp, n, n
    else if (r < 93) printf "%s -!- %s is now known as %s_\n", stamp, n, n
    else if (r < 95) printf "%s -!- %s changed the topic of #bench to: topic %d\n", stamp, n, i
    else if (r < 98) printf "%s -!- mode/#bench [+v %s] by %s\n", stamp, m, n
    else printf "%s -!- %s was kicked from #bench by %s [enough]\n", stamp, m, n
  }
  print "--- Log closed Sun Mar 03 23:10:00 2024"
}' >"$work/chat.log"

echo "recording $(du -m "$work/show.mp3" | cut -f1) MiB, $(grep -c . "$work/chat.log") chat log lines, 40 tracks"
for (( round = 1; round <= rounds; round++ )); do
  /usr/bin/time -f "import: %e s wall, %U s user, %S s system, peak RSS %M KiB" \
    "$station" import "$work/archive" --station 1 --stream 1 --station-name Bench --mp3 "$work/show.mp3" \
    --cue "$work/show.cue" --chat "$work/chat.log" --start "2024-03-03 20:00:00" --replace
done
