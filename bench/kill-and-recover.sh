#!/usr/bin/env bash
# The reliability figure. Three kinds of kill (SIGKILL), each followed by a headless recovery:
#   record  the demo side recorded in real time, killed 2 to 30 s into the recording;
#   cut     a 20-minute side of 10 tracks, killed at a random moment of cutting it into tracks;
#   export  the same, killed at a random moment of moving its tracks into the album folder
#           (across file systems when the recordings can go on a tmpfs of their own, as root).
# Says per kind how many runs were recovered into exactly one album, whether any audio was
# exported twice, and the most audio one of them lost.
#   bench/kill-and-recover.sh [RUNS] [KINDS]   (default 50 and "record cut export"; needs a
#                                              built build/sondrel, or SONDREL)
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-50}
kinds=${2:-record cut export}
sondrel=${SONDREL:-$PWD/build/sondrel}
work=$(mktemp -d)
mounted=""
cleanup() {
    [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Audio bytes of the WAV files under a folder, and how many album folders it holds.
audio_bytes() { find "$1" -name '*.wav' -printf '%s\n' 2>/dev/null | awk '{ s += $1 - 44 } END { print s + 0 }'; }
album_count() { find "$1" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | wc -l; }
random_between() { awk -v seed="$RANDOM$RANDOM" -v a="$1" -v b="$2" 'BEGIN { srand(seed); printf "%.3f", a + (b - a) * rand() }'; }

side="$work/side.wav"
if [[ " $kinds " == *" cut "* || " $kinds " == *" export "* ]]; then
    # Ten 2-minute songs: noise, so that every byte of the side can be told apart from silence.
    sox -n -r 44100 -b 16 -c 2 "$side" synth 1200 pinknoise vol 0.3 2>/dev/null
fi
side_bytes=$(($(stat -c %s "$side" 2>/dev/null || echo 44) - 44))
marks=()
for m in 120 240 360 480 600 720 840 960 1080; do marks+=(--mark "$m"); done

summary=()
for kind in $kinds; do
    recovered=0
    twice=0
    worst=0
    landed=0
    for ((i = 1; i <= runs; i++)); do
        run="$work/$kind-$i"
        mkdir -p "$run/tmp" "$run/state/sondrel/recordings"
        # Each run has its own state (recordings folder), settings and lock folder.
        export XDG_STATE_HOME="$run/state" XDG_CONFIG_HOME="$run/config" TMPDIR="$run/tmp"
        recordings="$run/state/sondrel/recordings"
        if [ "$kind" = export ] && [ "$(id -u)" -eq 0 ] &&
            mount -t tmpfs -o size=600m tmpfs "$recordings" 2>/dev/null; then
            mounted="$recordings"
        fi
        if [ "$kind" = record ]; then
            "$sondrel" --headless --simulate --real-time --split manual \
                --export-folder "$run/unused" >"$run/record.log" 2>&1 &
            pid=$!
            until grep -q "deck started" "$run/record.log" 2>/dev/null; do sleep 0.01; done
            started=$(date +%s.%N)
            sleep "$(random_between 2 30)"
            kill -KILL "$pid"
            killed=$(date +%s.%N)
            expected=$(awk -v s="$started" -v k="$killed" 'BEGIN { printf "%d", (k - s) * 176400 }')
            wait "$pid" 2>/dev/null
        else
            "$sondrel" --headless --simulate "$side" --split manual "${marks[@]}" --artist Kill \
                --album "Run $i" --export-folder "$run/export" >"$run/record.log" 2>&1 &
            pid=$!
            # The first track file appears when the cut starts; the album folder when the
            # export does. The kill falls at a random moment after that.
            if [ "$kind" = cut ]; then
                until compgen -G "$recordings/temp*.track1.wav" >/dev/null ||
                    ! kill -0 "$pid" 2>/dev/null; do sleep 0.005; done
                sleep "$(random_between 0 0.25)"
            else
                until [ "$(album_count "$run/export")" -gt 0 ] || ! kill -0 "$pid" 2>/dev/null; do
                    sleep 0.005
                done
                sleep "$(random_between 0 0.3)"
            fi
            kill -KILL "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            expected=$side_bytes
        fi
        listed=$("$sondrel" --list-unfinished 2>&1 | grep -c $'\t')
        # A kill that came after the run had ended leaves nothing to recover.
        [ "$listed" -gt 0 ] && landed=$((landed + 1))
        "$sondrel" --headless --simulate --recover newest --artist Kill --album "Run $i" \
            --export-folder "$run/export" >"$run/recover.log" 2>&1
        bytes=$(audio_bytes "$run/export")
        albums=$(album_count "$run/export")
        left=$(find "$recordings" -type f | wc -l)
        if [ "$kind" = record ]; then
            loss=$(awk -v e="$expected" -v b="$bytes" 'BEGIN { printf "%.2f", (e - b) / 176400 }')
        else
            # The side is all there is: every byte of it once, no more, no less.
            loss=$(awk -v e="$expected" -v b="$bytes" 'BEGIN { printf "%.2f", (e - b) / 176400 }')
        fi
        if [ "$albums" -eq 1 ] && [ "$left" -eq 0 ] && [ "$bytes" -gt 0 ] &&
            { [ "$kind" = record ] || [ "$bytes" -eq "$expected" ]; }; then
            recovered=$((recovered + 1))
        fi
        [ "$kind" != record ] && [ "$bytes" -gt "$expected" ] && twice=$((twice + 1))
        worst=$(awk -v a="$worst" -v b="$loss" 'BEGIN { print (b > a ? b : a) }')
        printf '%-6s run %2d: %d listed, %d album(s), exported %.2f s, lost %s s, %d file(s) left\n' \
            "$kind" "$i" "$listed" "$albums" "$(awk -v b="$bytes" 'BEGIN { print b / 176400 }')" \
            "$loss" "$left"
        if [ -n "$mounted" ]; then
            umount "$mounted"
            mounted=""
        fi
        rm -rf "$run"
    done
    summary+=("$kind: $runs runs, $landed killed before their end; recovered into one album $recovered; exported twice $twice; largest loss $worst s")
done
printf '%s\n' "${summary[@]}"
