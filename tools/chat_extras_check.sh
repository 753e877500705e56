#!/usr/bin/env bash
# The chat extras in the real window, on a virtual display against vantri-station on loopback: a show of
# ten minutes whose chat has a topic, joins and a burst of talk at 5:00 to 5:30. It checks, reading the
# screen's pixels:
#   ] three times: the badge shows and the offsets file beside settings.vts holds "1 1 3"; \ removes both;
#   a click in the middle of the position bar (a seek) pins the channel state line in silver;
#   settings box 8 draws the activity strip on the position bar, darkest over the burst.
#
#   tools/chat_extras_check.sh [BUILD_DIR]     (default build/; needs vantri and vantri-station; exits 1 when
#                                               a check fails)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
work=$(mktemp -d "${TMPDIR:-/tmp}/vantri-chat-extras.XXXXXX")
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
  BEGIN {
    print ts(1) "\ttopic\top\tFriday mix night"; print ts(2) "\tjoin\tanna"; print ts(3) "\tjoin\tbob"
    for (t = 5; t < 600; t++) {
      if (t % 7 == 5) print ts(t) "\tmessage\tanna\tline at " t
      if (t >= 300 && t < 330) for (k = 0; k < 6; k++) print ts(t) "\tmessage\tbob\tburst " t " " k
    }
  }' >"$show/chat.txt"
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
"$build/vantri" "vantri:track-1-1-0" &
wid=
for _ in $(seq 200); do wid=$(xdotool search --name "Test FM" 2>/dev/null | head -1) && [ -n "$wid" ] && break; sleep 0.1; done
[ -n "$wid" ] || { echo "FAIL: no window"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$wid")"
W=$WIDTH H=$HEIGHT X0=$X Y0=$Y
pixel() { import -window root -crop "1x1+$((X0 + $1))+$((Y0 + $2))" -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}'; }
fail=0
check() { if [ "$2" = "$3" ]; then echo "ok   $1 ($2)"; else echo "FAIL $1: $2, wanted $3"; fail=1; fi; }
# waitpixel NAME X Y COLOUR: the pixel reaches the colour within 10 seconds (the window repaints when the
# program gets to it).
waitpixel() {
  local got
  for _ in $(seq 50); do got=$(pixel "$2" "$3"); [ "$got" = "$4" ] && break; sleep 0.2; done
  check "$1" "$got" "$4"
}
sleep 3 # the show plays a few seconds from its start

badgeX=$(( W - 24 - 4 - 3 )) badgeY=$(( 48 + 4 + 1 ))
check "no badge at first" "$(pixel $badgeX $badgeY)" "#000000"
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
for _ in 1 2 3; do xdotool key --window "$wid" bracketright; done
waitpixel "badge after ] ] ]" $badgeX $badgeY "#505050"
check "offsets file" "$(grep -v '^#' "$work/config/Vantri/chatoffsets.txt")" "1 1 3"
xdotool key --window "$wid" backslash
waitpixel "badge gone after \\" $badgeX $badgeY "#000000"
check "offsets file emptied" "$(grep -vc '^#' "$work/config/Vantri/chatoffsets.txt" || true)" "0"

# The chat's right-click menu: its second item shows the chat a second later.
xdotool mousemove --window "$wid" 300 300 click 3
sleep 1
[ -z "${CHAT_EXTRAS_MENU_SHOT:-}" ] || import -window root -crop "${W}x${H}+${X0}+${Y0}" "$CHAT_EXTRAS_MENU_SHOT"
xdotool mousemove --window "$wid" 330 $(( 300 + 3 + 22 + 11 )) click 1
waitpixel "badge after the menu's second item" $badgeX $badgeY "#505050"
check "offsets file after the menu" "$(grep -v '^#' "$work/config/Vantri/chatoffsets.txt")" "1 1 1"
xdotool key --window "$wid" backslash
waitpixel "badge gone again" $badgeX $badgeY "#000000"

# A seek to the middle of the show pins the channel state at the chat's top.
barX=8 barY=$(( H - 72 + 32 ))
xdotool mousemove --window "$wid" $(( barX + (W - 174) / 2 )) $(( barY + 16 )) click 1
silver=0
for _ in $(seq 20); do
  silver=$(import -window root -crop "200x1+$X0+$((Y0 + 48 + 9))" -depth 8 txt:- | grep -c '#C0C0C0' || true)
  [ "$silver" -gt 3 ] && break
  sleep 0.5
done
check "pinned line has silver text" "$([ $silver -gt 3 ] && echo yes || echo "no ($silver)")" "yes"

# Settings box 8: the activity strip, orange over the burst at 5:00 to 5:30, the bar plain elsewhere.
stripY=$(( barY + 24 ))
burstX=$(( barX + 6 + (W - 186) * 315 / 605 ))
quietX=$(( barX + 6 + (W - 186) * 200 / 605 + 2 ))
before=$(pixel $burstX $stripY)
xdotool key --window "$wid" F9
sleep 1
xdotool mousemove --window "$wid" $(( W - 550 + 8 + 10 )) $(( 48 + 8 + 7 * 20 + 10 )) click 1
sleep 1
xdotool key --window "$wid" F9
for _ in $(seq 50); do after=$(pixel $burstX $stripY); [ "$after" != "$before" ] && break; sleep 0.2; done
check "strip over the burst changed" "$([ "$before" != "$after" ] && echo yes || echo "no ($before)")" "yes"
echo "     burst pixel $before -> $after, quiet pixel $(pixel $quietX $stripY)"
# CHAT_EXTRAS_SHOT=FILE keeps a picture of the window as it ends.
[ -z "${CHAT_EXTRAS_SHOT:-}" ] || import -window root -crop "${W}x${H}+${X0}+${Y0}" "$CHAT_EXTRAS_SHOT"
flags=$(od -An -tu4 -j2 -N4 "$work/config/Vantri/settings.vts" | tr -d ' ')
check "settings flags (bits 3, 5 and 9)" "$flags" "$(( 0x28 | 0x200 ))"
check "settings file size" "$(stat -c %s "$work/config/Vantri/settings.vts")" "38"
exit $fail
