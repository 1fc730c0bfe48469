#!/usr/bin/env bash
# Times the normalisation pass of CWaveProcessWriter against SoX's peak normalisation on the
# same synthetic 16-bit stereo recording, and reports the peak memory of each.
#   bench/normalise-vs-sox.sh BUILD_DIR [MINUTES]     (default 60 minutes, about 635 MB)
# The recording and the outputs live in a temporary folder that is removed at the end.
set -euo pipefail
build=${1:?build directory holding bench/AudioFileBench}
minutes=${2:-60}
bench="$build/bench/AudioFileBench"
work=$(mktemp -d "${TMPDIR:-/tmp}/normalise-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$bench" --make-file "$work/in.wav" "$minutes"
ls -l "$work/in.wav"
cat "$work/in.wav" > /dev/null  # both runs start from a warm page cache

run() {
    local name=$1; shift
    /usr/bin/time -f "$name: %e s elapsed, %M KiB max RSS" "$@"
    rm -f "$work/out.wav"
}
run sondrel "$bench" --normalise "$work/in.wav" "$work/out.wav"
run sox sox "$work/in.wav" "$work/out.wav" gain -n -0.26
