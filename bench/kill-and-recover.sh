#!/usr/bin/env bash
# The reliability figure: records the demo side in real time, kills the run with SIGKILL at a
# random moment between 2 and 30 s of recording, then recovers the recording headless; says
# how many runs were recovered and the most audio one of them lost.
#   bench/kill-and-recover.sh [RUNS]   (default 50; needs a built build/sondrel, or SONDREL)
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-50}
sondrel=${SONDREL:-$PWD/build/sondrel}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
recovered=0
worst=0
for ((i = 1; i <= runs; i++)); do
    run="$work/$i"
    mkdir -p "$run/tmp"
    # Each run has its own state (working folder), settings and lock folder.
    export XDG_STATE_HOME="$run/state" XDG_CONFIG_HOME="$run/config" TMPDIR="$run/tmp"
    "$sondrel" --headless --simulate --real-time --split manual \
        --export-folder "$run/unused" >"$run/record.log" 2>&1 &
    pid=$!
    until grep -q "deck started" "$run/record.log" 2>/dev/null; do sleep 0.01; done
    started=$(date +%s.%N)
    sleep "$(awk -v seed="$RANDOM" 'BEGIN { srand(seed); printf "%.2f", 2 + 28 * rand() }')"
    kill -KILL "$pid"
    killed=$(date +%s.%N)
    wait "$pid" 2>/dev/null
    listed=$("$sondrel" --list-unfinished 2>&1 | head -1)
    length=$(printf '%s\n' "$listed" | awk -F'\t' 'NF >= 3 { split($2, t, ":");
        print t[1] * 3600 + t[2] * 60 + t[3] }')
    if "$sondrel" --headless --simulate --recover newest --artist Kill --album "Run $i" \
        --export-folder "$run/export" >"$run/recover.log" 2>&1; then
        bytes=$(find "$run/export" -name '*.wav' -printf '%s\n' | awk '{ s += $1 - 44 } END { print s + 0 }')
        loss=$(awk -v s="$started" -v k="$killed" -v b="$bytes" 'BEGIN { printf "%.2f", (k - s) - b / 176400 }')
        recovered=$((recovered + 1))
        worst=$(awk -v a="$worst" -v b="$loss" 'BEGIN { print (b > a ? b : a) }')
        printf 'run %2d: killed after %5.2f s, listed %s s, exported %.2f s, lost %s s\n' "$i" \
            "$(awk -v s="$started" -v k="$killed" 'BEGIN { print k - s }')" "${length:-?}" \
            "$(awk -v b="$bytes" 'BEGIN { print b / 176400 }')" "$loss"
    else
        printf 'run %2d: NOT recovered (%s)\n' "$i" "$(tail -1 "$run/recover.log")"
    fi
    rm -rf "$run"
done
echo "recovered $recovered of $runs; largest loss $worst s"
