#!/usr/bin/env bash
# Figures for the desktop integration, on a private session bus and a virtual display, with the user's
# desktop files in a temporary home:
#   - idle wake-ups of the program (window hidden, nothing playing, its bus services running): the context
#     switches of all its threads per second over a quiet interval;
#   - the time from `xdg-open` of a vantri: link until the running program asks vantri-station for the
#     stream (the link goes through the desktop entry the program registered, a second instance and the
#     single-instance channel).
# Usage: tools/bench/desktop_integration.sh [BUILD] [ARCHIVE]   (defaults: build, demo-archive)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
archive=${2:-demo-archive}
idle_seconds=${VANTRI_BENCH_IDLE_SECONDS:-10}
rounds=${VANTRI_BENCH_ROUNDS:-5}
[ -x "$build/vantri" ] || { echo "no $build/vantri"; exit 1; }
[ -d "$archive" ] || scripts/make-demo-archive "$build/vantri-station" "$archive"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "${bus_pid:-}" ] && kill "$bus_pid" 2>/dev/null || true
  [ -n "${VANTRI_BENCH_KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work"/{home,data,config,sys,sysconf,run}
chmod 700 "$work/run"
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_DATA_DIRS=$work/sys \
  XDG_CONFIG_DIRS=$work/sysconf XDG_RUNTIME_DIR=$work/run SDL_AUDIODRIVER=dummy
unset XDG_CURRENT_DESKTOP
now_ms() { date +%s%3N; }

{ read -r DBUS_SESSION_BUS_ADDRESS; read -r bus_pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done

# The server's log, each line stamped with the milliseconds it arrived.
"$build/vantri-station" serve "$archive" --listen 127.0.0.1 --port 0 --port-file "$work/port" --no-update --log \
  2>&1 | while IFS= read -r line; do echo "$(now_ms) $line"; done >"$work/server.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
export VANTRI_DIRECTORY="127.0.0.1:$(cat "$work/port")" VANTRI_UPDATE_SERVER="127.0.0.1:$(cat "$work/port")"

"$build/vantri" >"$work/vantri.log" 2>&1 &
program=$!
pids+=("$program")
for _ in $(seq 200); do
  playerctl -l 2>/dev/null | grep -qx vantri && [ -e "$XDG_DATA_HOME/applications/vantri.desktop" ] && break
  sleep 0.05
done
playerctl -l | grep -qx vantri || { echo "the program's media controls did not appear"; cat "$work/vantri.log"; exit 1; }
echo "xdg-mime default for x-scheme-handler/vantri: $(xdg-mime query default x-scheme-handler/vantri)"

# Idle: the window hidden, nothing played yet.
window=$(xdotool search --sync --pid "$program" --name Vantri | head -1)
xdotool windowunmap "$window"
switches() {
  local total=0 n
  for status in /proc/"$program"/task/*/status; do
    n=$(awk '/^(voluntary|nonvoluntary)_ctxt_switches/ {s += $2} END {print s}' "$status" 2>/dev/null || echo 0)
    total=$((total + n))
  done
  echo "$total"
}
per_thread() {
  for task in /proc/"$program"/task/*; do
    printf '%s %s %s\n' "${task##*/}" "$(cat "$task/comm")" \
      "$(awk '/^(voluntary|nonvoluntary)_ctxt_switches/ {s += $2} END {print s}' "$task/status")"
  done | sort
}
sleep 2
before=$(switches)
per_thread >"$work/threads.before"
sleep "$idle_seconds"
after=$(switches)
per_thread >"$work/threads.after"
echo "wake-ups per thread in ${idle_seconds} s:"
join "$work/threads.before" "$work/threads.after" | awk '{printf "  %-8s %-16s %d\n", $1, $2, $5 - $3}' 
threads=$(ls /proc/"$program"/task | wc -l)
echo "idle, window hidden, nothing playing: $(( (after - before) )) wake-ups in ${idle_seconds} s" \
  "($(awk -v a="$after" -v b="$before" -v s="$idle_seconds" 'BEGIN {printf "%.2f", (a - b) / s}') per second," \
  "$threads threads)"
xdotool windowmap "$window"

# Link to request: each round opens another moment of stream 1 of station 1 and times it until the
# next stream request reaches the server.
stream_requests() { grep -c getstreamdata "$work/server.log" || true; }
time_link() {
  local link=$1 opener=${2:-xdg-open} lines start stamp
  lines=$(stream_requests)
  start=$(now_ms)
  # Without a desktop environment xdg-open runs the program in the foreground; it is not waited for.
  if [ "$opener" = direct ]; then
    "$build/vantri" "$link" kpwx318 >>"$work/xdg-open.log" 2>&1 &
  else
    xdg-open "$link" >>"$work/xdg-open.log" 2>&1 &
  fi
  for _ in $(seq 500); do
    [ "$(stream_requests)" -gt "$lines" ] && break
    sleep 0.01
  done
  stamp=$( (grep getstreamdata "$work/server.log" || true) | sed -n "$((lines + 1))p" | cut -d' ' -f1)
  [ -n "$stamp" ] && echo $((stamp - start))
}
report() {
  local name=$1
  shift
  if [ $# -eq 0 ]; then
    echo "$name: no stream request within 5 s"
    return
  fi
  echo "$name, ms per round: $*"
  printf '%s\n' "$@" | sort -n |
    awk -v n="$name" '{a[NR]=$1} END {printf "%s: median %d ms, best %d ms, worst %d ms\n", n, a[int((NR+1)/2)], a[1], a[NR]}'
}

# The program runs: the link goes to a second instance, which hands it to the first.
warm=()
for round in $(seq "$rounds"); do
  ms=$(time_link "vantri:track-1-1-$round") && warm+=("$ms")
done
report "xdg-open to stream request, program running" "${warm[@]}"
# The same without xdg-open: the command the desktop entry names, started directly.
direct=()
for round in $(seq "$rounds"); do
  ms=$(time_link "vantri:track-1-3-$round" direct) && direct+=("$ms")
done
report "second instance started directly to stream request" "${direct[@]}"
start=$(now_ms)
for _ in $(seq 10); do xdg-mime query default x-scheme-handler/vantri >/dev/null; done
echo "xdg-mime query default alone: $(( ($(now_ms) - start) / 10 )) ms"

# The program does not run: xdg-open starts it with the link, which it plays once the directory and the
# station have answered.
cold=()
for round in $(seq "$rounds"); do
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  ms=$(time_link "vantri:track-1-2-$round") && cold+=("$ms")
  program=$(pgrep -n -f "$build/vantri vantri:" || true)
  [ -n "$program" ] && pids+=("$program")
done
report "xdg-open to stream request, program started by the link" "${cold[@]}"
