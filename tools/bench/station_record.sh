#!/usr/bin/env bash
# Figures of `vantri-station record`: CPU time and peak memory of the recorder taking an hour of a
# 320 kbit/s broadcast fed through icecast2 as fast as it goes, and the time from the broadcast's end
# (the source leaving) to the show being served by a running `vantri-station serve`.
#
#   tools/bench/station_record.sh [BUILD_DIR]     (default build/); RECORD_MINUTES (60), RECORD_GRACE (2)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
minutes=${RECORD_MINUTES:-60}
grace=${RECORD_GRACE:-2}
station="$build/vantri-station"
[ -x "$station" ] || { echo "build $station first (cmake --build build --target vantri-station)"; exit 1; }
command -v icecast2 >/dev/null || { echo "icecast2 is missing (scripts/install-deps installs it)"; exit 1; }
source "$root/scripts/lib/wait-for-port"
work=$(mktemp -d "${TMPDIR:-/tmp}/vantri-record-bench.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -n "${KEEP_WORK:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
# A port on 127.0.0.1 that nothing listens on.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 20000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

# A minute encoded without a VBR tag, so that copies of it join into one valid stream of frames.
sox -n -r 44100 -c 2 "$work/minute.wav" synth 60 pluck %-9 pluck %-5 remix - channels 2 gain -6
lame --quiet -t -b 320 "$work/minute.wav" "$work/minute.mp3"
for _ in $(seq "$minutes"); do cat "$work/minute.mp3"; done >"$work/show.mp3"
bytes=$(stat -c %s "$work/show.mp3")

# icecast2 with a queue long enough that a listener is never dropped for falling behind a source that
# sends as fast as it can.
ice_port=$(free_port)
mkdir -p "$work/icecast/log" "$work/archive/stations/1"
printf 'name = Bench FM\n' >"$work/archive/stations/1/station.conf"
owner=""
if [ "$(id -u)" -eq 0 ]; then
  chmod 777 "$work" "$work/icecast" "$work/icecast/log"
  owner="<changeowner><user>nobody</user><group>nogroup</group></changeowner>"
fi
cat >"$work/icecast/icecast.xml" <<XML
<icecast><location>bench</location><admin>bench@localhost</admin>
<limits><clients>10</clients><sources>2</sources><queue-size>536870912</queue-size>
<client-timeout>30</client-timeout><header-timeout>15</header-timeout><source-timeout>10</source-timeout>
<burst-on-connect>1</burst-on-connect><burst-size>65536</burst-size></limits>
<authentication><source-password>bench-source</source-password><admin-user>admin</admin-user>
<admin-password>bench-admin</admin-password></authentication>
<hostname>127.0.0.1</hostname><listen-socket><port>$ice_port</port><bind-address>127.0.0.1</bind-address></listen-socket>
<fileserve>0</fileserve><paths><basedir>$work/icecast</basedir><logdir>$work/icecast/log</logdir>
<webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot></paths>
<logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>2</loglevel></logging>
<security><chroot>0</chroot>$owner</security></icecast>
XML
icecast2 -c "$work/icecast/icecast.xml" >"$work/icecast/output.txt" 2>&1 &
pids+=($!)
wait_for_port "$ice_port" 10 "$!" icecast2

"$station" serve "$work/archive" --port 0 --port-file "$work/serve-port" >"$work/serve.txt" 2>&1 &
pids+=($!)
until [ -s "$work/serve-port" ]; do sleep 0.05; done
serve_port=$(cat "$work/serve-port")

"$station" record --icecast "http://127.0.0.1:$ice_port/live" --station 1 --archive "$work/archive" \
  --grace "$grace" >"$work/record.txt" 2>&1 &
record=$!
pids+=($record)
until grep -q "^vantri-station: recording" "$work/record.txt"; do sleep 0.05; done

echo "feeding $((bytes / 1048576)) MiB ($minutes min at 320 kbit/s) through icecast2 as fast as it goes"
# The source: SOURCE with Basic authentication (source:bench-source), then the file as fast as it goes.
exec 3<>"/dev/tcp/127.0.0.1/$ice_port"
printf 'SOURCE /live HTTP/1.0\r\nAuthorization: Basic %s\r\nContent-Type: audio/mpeg\r\nice-public: 0\r\n\r\n' \
  "$(printf 'source:bench-source' | base64)" >&3
read -r answer <&3
case $answer in *" 200 "*) ;; *) echo "icecast2 refused the source: $answer"; exit 1 ;; esac
# The first second, then the rest once the recorder listens (icecast's burst brings it the start).
head -c 40000 "$work/show.mp3" >&3
until grep -q "show 1 began" "$work/record.txt"; do sleep 0.01; done
start=$(date +%s.%N)
tail -c +40001 "$work/show.mp3" >&3
# The source stays until the recorder has it all (icecast relays whole blocks of 1400 bytes and drops
# what a leaving source left queued), then leaves: the broadcast's end.
partial="$work/archive/stations/1/streams/.recording-1/recording.mp3"
until [ "$(stat -c %s "$partial" 2>/dev/null || echo 0)" -ge $((bytes / 1400 * 1400)) ]; do sleep 0.01; done
recorded_at=$(date +%s.%N)
exec 3>&-
ended=$(date +%s.%N)
until [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$serve_port/station/1/getstreaminfo/?streamid=1")" = 200 ]; do
  sleep 0.01
  kill -0 "$record" 2>/dev/null || { cat "$work/record.txt"; exit 1; }
done
served=$(date +%s.%N)

ticks=$(getconf CLK_TCK)
read -r user system < <(awk '{print $14, $15}' "/proc/$record/stat")
peak=$(awk '/^VmHWM/ {print $2}' "/proc/$record/status")
recorded=$(stat -c %s "$work/archive/stations/1/streams/1/recording.mp3")
awk -v s="$start" -v e="$recorded_at" -v v="$served" -v u="$user" -v y="$system" -v t="$ticks" -v p="$peak" \
    -v b="$bytes" -v r="$recorded" -v g="$grace" -v x="$ended" 'BEGIN {
  printf "fed in %.1f s (%.0f MiB/s); recorded %d of %d bytes\n", e - s, b / 1048576 / (e - s), r, b
  printf "record: %.2f s user, %.2f s system CPU in all (the feed, publishing included), peak RSS %d KiB\n", u / t, y / t, p
  printf "broadcast end to show served: %.2f s (%d s grace, %.2f s publishing and rescan)\n", v - x, g, v - x - g
}'
