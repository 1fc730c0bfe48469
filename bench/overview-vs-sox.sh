#!/usr/bin/env bash
# Times the track page's picture of a whole recording (one column per pixel of a double-density
# overview) against "sox FILE -n stat" on the same synthetic 16-bit stereo recording, the two
# taking turns three times: the picture must take at most a quarter of SoX's time.
#   bench/overview-vs-sox.sh BUILD_DIR [MINUTES]     (default 60 minutes, about 635 MB)
set -euo pipefail
build=$(cd "${1:?build directory holding bench/TrackPageBench}" && pwd)
minutes=${2:-60}
work=$(mktemp -d "${TMPDIR:-/tmp}/overview-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$build/bench/AudioFileBench" --make-file "$work/in.wav" "$minutes"
ls -l "$work/in.wav"
cat "$work/in.wav" > /dev/null  # both start from a warm page cache
for round in 1 2 3; do
    /usr/bin/time -f "overview (round $round): %e s elapsed, %U s user" \
        "$build/bench/TrackPageBench" --overview "$work/in.wav" 1440 > /dev/null
    # sox prints its statistics on standard error; only the timing is kept.
    /usr/bin/time -o "$work/time" -f "sox stat (round $round): %e s elapsed, %U s user" \
        sox "$work/in.wav" -n stat 2> /dev/null
    cat "$work/time"
done
