#!/usr/bin/env bash
# varno --headless against the reader simulator on loopback: frames logged per
# second at full speed (target at least 200,000) with its memory at each
# quarter, then its CPU use at 820 frames per second (target at most 1 % of
# one core), beside the same figure for a bare receive loop: the machine's own
# floor for one wake-up per frame.
# Usage: bench/headless.sh [FRAMES] [SECONDS]   (release build in build/run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup"

build="$root/build/run"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARNO_BUILD_TESTS=OFF -DVARNO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target varno varno-sim >/dev/null
c++ -std=c++20 -O2 -Wall -Wextra -o "$build/bare_receiver" "$root/bench/support/bare_receiver.cpp"

exec python3 "$root/bench/headless.py" --varno "$build/varno" --sim "$build/varno-sim" \
  --bare "$build/bare_receiver" \
  --frames "${1:-2000000}" --seconds "${2:-30}"
