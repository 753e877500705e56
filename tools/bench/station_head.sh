#!/usr/bin/env bash
# Latency of conditional and HEAD requests for a large chat log: what a cache in front of
# vantri-station pays to revalidate a show. One client (curl), one request at a time, each on its own connection, against a
# stream whose chat answer is about BENCH_CHAT_MIB MiB.
#
#   tools/bench/station_head.sh [BUILD_DIR]     (default build/)
#   BENCH_REQUESTS (200), BENCH_CHAT_MIB (19)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
count=${BENCH_REQUESTS:-200}
mib=${BENCH_CHAT_MIB:-19}
station="$build/vantri-station"
[ -x "$station" ] || { echo "build $station first (cmake --build build --target vantri-station)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vantri-bench.XXXXXX")
pid=""
cleanup() {
  [ -n "$pid" ] && { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

stream="$work/archive/stations/1/streams/1"
mkdir -p "$stream"
echo "name = Bench" >"$work/archive/stations/1/station.conf"
head -c 1048576 /dev/zero >"$stream/recording.mp3"
printf 'start = 2024-01-01 00:00:00\nduration = 3:00:00\n' >"$stream/stream.conf"
# Chat lines of about 64 bytes spread over the three hours, until the file is the asked size.
awk -v bytes=$(( mib * 1048576 )) 'BEGIN {
  print "# time\tkind\targuments..."
  for (n = 0; total < bytes; n++) {
    s = int(n / 100) % 10800
    line = sprintf("%d:%02d:%02d\tmessage\tlistener%d\tline %d of the chat, with some words in it",
                   s / 3600, s / 60 % 60, s % 60, n % 977, n)
    print line
    total += length(line) + 1
  }
}' >"$stream/chat.txt"

port=18473
"$station" serve "$work/archive" --listen 127.0.0.1 --port $port >/dev/null &
pid=$!
source "$root/scripts/lib/wait-for-port"
wait_for_port $port 60 "$pid" vantri-station

target="/station/1/getstreamchat/?streamid=1"
body=$(curl -s -o /dev/null -w '%{size_download}' "http://127.0.0.1:$port$target")
etag=$(curl -s -I "http://127.0.0.1:$port$target" | tr -d '\r' | awk -F': ' 'tolower($1) == "etag" { print $2 }')
echo "chat answer: $body bytes; etag $etag"

# curl times each request itself (wrk waits for a body after HEAD); one connection per request.
measure() { # measure LABEL CURL_OPTIONS...
  local label=$1
  shift
  local urls=()
  for (( i = 0; i < count; i++ )); do urls+=(-o /dev/null "http://127.0.0.1:$port$target"); done
  curl -s -H 'Connection: close' -w '%{http_code} %{time_total}\n' "$@" "${urls[@]}" |
    sort -k2 -n | awk -v l="$label" '{ code[NR] = $1; t[NR] = $2 * 1000; sum += t[NR]; if ($1 !~ /^(200|304)$/) bad++ }
      END { printf "%-18s %5d requests  latency mean %8.3f ms  median %8.3f ms  p99 %8.3f ms  %d bad status\n",
            l, NR, sum / NR, t[int((NR + 1) / 2)], t[int(NR * 0.99 + 0.5)], bad }'
}
measure HEAD -I
measure "GET If-None-Match" -H "If-None-Match: $etag"
