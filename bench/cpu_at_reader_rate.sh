#!/usr/bin/env bash
# VARNO's CPU use (percentage of one core), its window's wake-ups per second and
# its peak RSS against the simulator at 820 frames per second, a reader at 115200
# baud, for 30 s with the chart and logging on, on a virtual display of its own.
# Targets: at most 5 % of one core at the window's template size, 10 % at the
# size given with --size (for example 1920x1080, a window maximised on a full HD
# screen); at most 60 wake-ups a second.
# Usage: bench/cpu_at_reader_rate.sh [--size WIDTHxHEIGHT] [SECONDS]   (release build in build/run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=()
if [ "${1:-}" = "--size" ]; then
  [ $# -ge 2 ] || { echo "usage: $0 [--size WIDTHxHEIGHT] [SECONDS]" >&2; exit 2; }
  size=(--size "$2")
  shift 2
fi
"$root/scripts/setup"

build="$root/build/run"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARNO_BUILD_TESTS=OFF -DVARNO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target varno varno-sim >/dev/null

exec python3 "$root/bench/cpu_at_reader_rate.py" --varno "$build/varno" --sim "$build/varno-sim" --source "$root" \
  --rate 820 --seconds "${1:-30}" "${size[@]}"
