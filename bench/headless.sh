#!/usr/bin/env bash
# varno --headless against the reader simulator on loopback: frames logged per
# second at full speed (target at least 200,000) with its memory at each
# quarter, then its CPU use at 820 frames per second (target at most 1 % of
# one core).
# Usage: bench/headless.sh [FRAMES] [SECONDS]   (release build in build/run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup"

build="$root/build/run"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARNO_BUILD_TESTS=OFF -DVARNO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target varno varno-sim >/dev/null

exec python3 "$root/bench/headless.py" --varno "$build/varno" --sim "$build/varno-sim" \
  --frames "${1:-2000000}" --seconds "${2:-30}"
