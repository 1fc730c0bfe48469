#!/usr/bin/env bash
# Times the headless wizard on a generated side in lossless simulation, from start to the
# exported files, and prints the speed as a multiple of real time.
#   bench/headless-side.sh [MINUTES]   (default 20; needs sox and a built build/sondrel)
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=$((minutes * 60))
sox -n -r 44100 -c 2 -b 16 "$work/side.wav" synth "$seconds" sine 440 sine 660 vol 0.5
marks=()
for ((t = 180; t < seconds; t += 180)); do marks+=(--mark "$t"); done
export XDG_CONFIG_HOME="$work/config"
start=$(date +%s.%N)
build/sondrel --headless --simulate "$work/side.wav" --split manual "${marks[@]}" \
    --artist Bench --album Side --export-folder "$work/export" >"$work/log"
end=$(date +%s.%N)
tracks=$(find "$work/export" -name '*.wav' | wc -l)
awk -v s="$start" -v e="$end" -v len="$seconds" -v n="$tracks" 'BEGIN {
    printf "%d s side -> %d tracks in %.2f s: %.0f x real time\n", len, n, e - s, len / (e - s) }'
