#!/usr/bin/env bash
# Soak run: 10 million frames (or the count given) from the reader simulator
# over loopback into the real window, offscreen, chart and logging on, raw text
# mode and X synchronisation switched now and then. Prints its figures; exits
# non-zero when a frame is missing from the log, a message box appeared or
# memory grew by more than 10 MB after warm-up.
# Usage: bench/soak.sh [frames]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup"
build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARNO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target varno-soak varno-sim
QT_QPA_PLATFORM=offscreen "$build/bench/varno-soak" "$build/varno-sim" "${1:-10000000}"
