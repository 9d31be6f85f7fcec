#!/usr/bin/env bash
# The start of the Windows programs under Wine, each beside its floor measured in the same run:
#   krellon-editor.exe   from launch to its main window mapped and viewable, in the demo folder;
#                        floor: krellon-bench-widget-floor.exe, one titled window shown.
#   krellon.exe info     from launch to exit, on the demo folder's Demo.bds;
#                        floor: krellon-bench-core-floor.exe, Qt's core application started.
# Usage: bench-windows.sh [BUILD_DIR [RUNS]]   (build-windows, 10)
#
# How: a Wine prefix of its own (BUILD_DIR/bench-wine, made once), so that test runs in the
# shared prefix neither slow nor spoil these; its wineserver is kept up for the whole run and
# every program gets one warm-up run first. Everything runs on an Xvfb display of its own, the
# console programs too, so Wine's desktop always has a display to draw on. A window's time
# ends at the X MapNotify that makes it viewable (xev on the root window; xdotool's own --sync
# polls every half second, too coarse here); the program is then killed, so that nothing it
# saves on closing changes the next run. Action and floor runs alternate, first one then the
# other, so that drift on a shared machine falls on both alike. The figure is the median.
set -euo pipefail
shopt -s inherit_errexit

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build-windows}" && pwd)
runs=${2:-10}
cache=${KRELLON_CACHE:-$HOME/.cache/krellon}
wine_run=$cache/qt-6.4.2-mingw/toolchain/wine-run
# A window that takes longer than this has failed to start.
window_timeout=60

for tool in xvfb-run xdotool xev stdbuf; do
  command -v "$tool" >/dev/null || {
    echo "bench-windows: $tool is missing (tools/install-deps.sh --gui-tools)" >&2
    exit 1
  }
done
for program in krellon-editor krellon krellon-demo krellon-bench-widget-floor \
  krellon-bench-core-floor; do
  [ -f "$build/$program.exe" ] || {
    echo "bench-windows: $build/$program.exe is missing (make bench-windows builds it)" >&2
    exit 1
  }
done

# On a display of its own; the rest of this script runs there.
if [ -z "${KRELLON_BENCH_XVFB:-}" ]; then
  export KRELLON_BENCH_XVFB=1
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$build" "$runs"
fi

export WINEPREFIX=$build/bench-wine
# A server left from an earlier run may have started Wine's desktop without a display.
wineserver -k 2>/dev/null || true
wineserver -w
"$wine_run" cmd /c rem >/dev/null 2>&1
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

# The demo folder, written anew, so that every run finds the same files.
demo=$build/bench-demo
rm -rf "$demo"
mkdir -p "$demo"
"$wine_run" "$build/krellon-demo.exe" "Z:${demo//\//\\}" >/dev/null
cd "$demo"

now_us() {
  local t=$EPOCHREALTIME
  echo "${t/./}"
}

# Runs a console program to its end; prints its time in ms.
time_console() {
  local start end
  start=$(now_us)
  "$wine_run" "$@" >/dev/null
  end=$(now_us)
  echo $(((end - start) / 1000))
}

# Starts a window program and waits for a viewable window whose title matches the first
# argument; prints the time in ms, then kills the program.
time_window() {
  local title=$1 start end line name found=0 deadline
  shift
  if xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; then
    echo "bench-windows: a window titled '$title' is up already" >&2
    return 1
  fi
  coproc XEV { exec stdbuf -oL xev -root -event substructure; }
  # xev selects the root window's events before it prints anything; give it that moment.
  sleep 0.2
  start=$(now_us)
  "$wine_run" "$@" >/dev/null 2>&1 &
  local program=$!
  deadline=$((SECONDS + window_timeout))
  while [ "$SECONDS" -lt "$deadline" ]; do
    if read -r -t 0.25 line <&"${XEV[0]}"; then
      [[ $line == MapNotify* ]] || continue
      # The next line names the window mapped; asking for that one alone cannot trip over
      # windows that go while the whole tree is walked.
      read -r -t 1 line <&"${XEV[0]}" || continue
      [[ $line =~ window\ (0x[0-9a-f]+) ]] || continue
      name=$(xdotool getwindowname "${BASH_REMATCH[1]}" 2>/dev/null) || continue
      if [[ $name == *"$title"* ]]; then
        found=1
        break
      fi
    # A title set after the window was mapped has no event of its own: look when all is quiet.
    elif xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; then
      found=1
      break
    fi
  done
  end=$(now_us)
  kill "$XEV_PID" 2>/dev/null || true
  wait "$XEV_PID" 2>/dev/null || true
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  # Its windows go with the process; wait for that, so that the next run starts clean.
  while xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do
    sleep 0.05
  done
  if [ "$found" -ne 1 ]; then
    echo "bench-windows: no window titled '$title' within ${window_timeout} s: $*" >&2
    return 1
  fi
  echo $(((end - start) / 1000))
}

median() {
  tr ' ' '\n' | sed '/^$/d' | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Runs two measurements, each a function's name, RUNS times each, alternating which goes first;
# prints both medians.
measure_pair() {
  local action=$1 floor=$2 a=() f=() i
  "$action" >/dev/null
  "$floor" >/dev/null
  for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
      a+=("$("$action")")
      f+=("$("$floor")")
    else
      f+=("$("$floor")")
      a+=("$("$action")")
    fi
  done
  echo "  action runs (ms): ${a[*]}" >&2
  echo "  floor runs (ms):  ${f[*]}" >&2
  echo "$(echo "${a[*]}" | median) $(echo "${f[*]}" | median)"
}

editor_start() { time_window Krellon "$build/krellon-editor.exe"; }
widget_floor_start() { time_window "Widget floor" "$build/krellon-bench-widget-floor.exe"; }
info_run() { time_console "$build/krellon.exe" info Demo.bds; }
core_floor_run() { time_console "$build/krellon-bench-core-floor.exe"; }

# The command line's answer is checked once, so that a failing program is not timed.
"$wine_run" "$build/krellon.exe" info Demo.bds >/dev/null

echo "Windows start-up under Wine, median of $runs runs each after a warm-up;" \
  "$(date '+%F %T'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "krellon-editor.exe (demo folder) against krellon-bench-widget-floor.exe:" >&2
medians=$(measure_pair editor_start widget_floor_start)
read -r editor editor_floor <<<"$medians"
echo "krellon.exe info Demo.bds against krellon-bench-core-floor.exe:" >&2
medians=$(measure_pair info_run core_floor_run)
read -r info info_floor <<<"$medians"

printf '%-40s %10s %10s %7s\n' action "median ms" "floor ms" ratio
row() {
  awk -v name="$1" -v a="$2" -v f="$3" 'BEGIN {
    r = a / f
    printf "%-40s %10.0f %10.0f %6.2fx %s\n", name, a, f, r, (r <= 1.5 ? "within 1.5x" : "OVER 1.5x")
  }'
}
row "krellon-editor.exe to its window" "$editor" "$editor_floor"
row "krellon.exe info Demo.bds" "$info" "$info_floor"
echo "(load $(cut -d' ' -f1-3 /proc/loadavg) at the end)"
