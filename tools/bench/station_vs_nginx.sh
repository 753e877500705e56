#!/usr/bin/env bash
# Throughput and peak memory of vantri-station against nginx serving the same byte ranges of the same
# file, in one run: 500 concurrent clients (wrk) each fetching 524,288-byte windows over loopback, one
# request per connection ("Connection: close", as the player does).
#
#   tools/bench/station_vs_nginx.sh [BUILD_DIR]     (default build/)
#   BENCH_SECONDS (15), BENCH_CLIENTS (500), BENCH_THREADS (2: server threads and nginx workers),
#   BENCH_MIB (256: size of the recording), BENCH_ROUNDS (3: alternating runs of each, summed, so that
#   other load on the machine hits both alike)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
seconds=${BENCH_SECONDS:-15}
clients=${BENCH_CLIENTS:-500}
threads=${BENCH_THREADS:-2}
mib=${BENCH_MIB:-256}
rounds=${BENCH_ROUNDS:-3}
window=524288
station="$build/vantri-station"
[ -x "$station" ] || { echo "build $station first (cmake --build build --target vantri-station)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vantri-bench.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# One recording, served by both: the archive's copy for vantri-station, a hard link for nginx.
stream="$work/archive/stations/1/streams/1"
mkdir -p "$stream" "$work/www" "$work/nginx"
echo "name = Bench" >"$work/archive/stations/1/station.conf"
head -c $(( mib * 1048576 )) /dev/urandom >"$stream/recording.mp3"
printf 'start = 2024-01-01 00:00:00\nduration = 3:00:00\n' >"$stream/stream.conf"
ln "$stream/recording.mp3" "$work/www/recording.mp3"
cat "$stream/recording.mp3" >/dev/null # into the page cache for both
windows=$(( mib * 1048576 / window ))

station_port=18471
nginx_port=18472
# Every client here comes from 127.0.0.1, so the per-address limit is raised to the client count; the
# request-head deadline stays as it is.
"$station" serve "$work/archive" --listen 127.0.0.1 --port $station_port --threads "$threads" \
  --address-limit $(( clients + 16 )) >/dev/null &
pids+=($!)
station_pid=$!

cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
$( [ "$(id -u)" -eq 0 ] && echo "user root;" )
worker_processes $threads;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$nginx_port backlog=1024;
    root $work/www;
  }
}
CONF
nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pids+=($!)
nginx_pid=$!

source "$root/scripts/lib/wait-for-port"
wait_for_port $station_port 10 "$station_pid" vantri-station
wait_for_port $nginx_port 10 "$nginx_pid" nginx

cat >"$work/windows.lua" <<'LUA'
local counter = 0
local windows = tonumber(os.getenv("BENCH_WINDOWS"))
local mode = os.getenv("BENCH_MODE")
function setup(thread) thread:set("id", counter); counter = counter + 1 end
function init(args) counter = id * 7919 end
function request()
  local start = (counter % windows) * 524288
  counter = counter + 1
  if mode == "nginx" then
    return wrk.format("GET", "/recording.mp3",
      {["Range"] = "bytes=" .. start .. "-" .. (start + 524287), ["Connection"] = "close"})
  end
  return wrk.format("GET", "/station/1/getstreamdata/?streamid=1&start=" .. start .. "&length=524288",
    {["Connection"] = "close"})
end
function done(summary, latency, requests)
  local e = summary.errors
  io.write(string.format("RESULT %d %d %d %d %d\n", summary.bytes, summary.duration, summary.requests,
    e.status, e.connect + e.read + e.write + e.timeout))
end
LUA

# Sum of the peak resident sizes of a process and its children (KiB).
peak_kib() {
  local total=0 pid
  for pid in "$1" $(pgrep -P "$1" || true); do
    total=$(( total + $(awk '/VmHWM/ { print $2 }' "/proc/$pid/status") ))
  done
  echo $total
}

run() { # run MODE PORT -> "bytes microseconds requests bad-status socket-errors"
  BENCH_MODE=$1 BENCH_WINDOWS=$windows wrk -t2 -c"$clients" -d"${seconds}s" --timeout 30s \
    -s "$work/windows.lua" "http://127.0.0.1:$2/" 2>&1 | grep '^RESULT' | cut -d' ' -f2-
}

echo "recording: $mib MiB, $windows windows of $window bytes; $clients clients; $rounds rounds of $seconds s each; $threads server threads"
declare -A total
for key in station nginx; do total[$key]="0 0 0 0 0"; done
add() { # add KEY "values": sums field by field
  total[$1]=$(awk -v a="${total[$1]}" -v b="$2" 'BEGIN { n = split(a, x, " "); split(b, y, " ");
    for (i = 1; i <= n; i++) printf "%.0f ", x[i] + y[i] }')
}
for (( round = 1; round <= rounds; round++ )); do
  if (( round % 2 )); then order="station nginx"; else order="nginx station"; fi
  for key in $order; do
    if [ $key = station ]; then port=$station_port; else port=$nginx_port; fi
    add $key "$(run $key $port)"
  done
done
station_peak=$(peak_kib $station_pid)
nginx_peak=$(peak_kib $nginx_pid)
report() { # report NAME KEY PEAK
  read -r bytes micros requests status other <<<"${total[$2]}"
  awk -v n="$1" -v b="$bytes" -v us="$micros" -v r="$requests" -v s="$status" -v o="$other" -v p="$3" \
    'BEGIN { printf "%-15s %8.1f MiB/s  %7d requests  %5d bad status  %5d socket errors  peak RSS %6d KiB\n",
             n, b / (us / 1e6) / 1048576, r, s, o, p }'
}
report vantri-station station "$station_peak"
report nginx nginx "$nginx_peak"
read -r sb su _ <<<"${total[station]}"
read -r nb nu _ <<<"${total[nginx]}"
awk -v sb="$sb" -v su="$su" -v nb="$nb" -v nu="$nu" \
  'BEGIN { printf "throughput ratio vantri-station / nginx: %.2f\n", (sb / su) / (nb / nu) }'
