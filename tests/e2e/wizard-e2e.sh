#!/usr/bin/env bash
# The windowed wizard as a person uses it: under a real X server (Xvfb), xdotool clicks through
# every page on a short generated side (device type, record, "new track" twice, next, artist,
# album and titles, a cut added and moved on the track page by keyboard, export, close), then the exported files are checked against the same side
# recorded headless. Also drags the page by its background and checks its rounded corners.
# Run bare and under a window manager, as desktops differ in both: focus, stacking and when a
# window is mapped are the manager's.
# Usage: wizard-e2e.sh BUILD_DIR [openbox]   (screenshots go to BUILD_DIR/screenshots/)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
WM=${2:-}
if [ -z "${SONDREL_E2E_IN_X:-}" ]; then
    exec env SONDREL_E2E_IN_X=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

WORK=$(mktemp -d)
echo "wizard-e2e: working in $WORK"
trap 'kill ${PID:-} ${SLOW:-} ${WMPID:-} 2>/dev/null || true; [ -n "${SONDREL_E2E_KEEP:-}" ] || rm -rf "$WORK"' EXIT
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_RUNTIME_DIR=$WORK/run
export XDG_MUSIC_DIR=$WORK/music XDG_STATE_HOME=$WORK/state
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_MUSIC_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
SHOTS=$BUILD/screenshots
SHOT=e2e-${WM:+$WM-}
mkdir -p "$SHOTS"
rm -f "$SHOTS/$SHOT"[0-9]*.png "$SHOTS/${SHOT}failure.png"  # none of an earlier run is kept
SIDE=$WORK/side.wav
sox -q -n -r 44100 -c 2 -b 16 "$SIDE" synth 5 sine 300-900 sine 500 gain -8 pad 0.2 0.5
DEVICE=0D8C:0121  # offers turntable and tape: the device-type page shows

fail() { echo "wizard-e2e: $*" >&2; import -window root "$SHOTS/${SHOT}failure.png" || true; exit 1; }
shot() { sleep 0.3; import -window root "$SHOTS/$SHOT$1.png"; }
page() { xdotool search --onlyvisible --name "Sondrel by Korvell" | tail -1; }
# Clicks at a point of the 800 x 500 page design.
click() {
    local win x y
    win=$(page) || fail "no page window"
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove $((X + $1)) $((Y + $2)) click 1
    sleep 0.4
}
type_at() { click "$1" "$2"; xdotool type --delay 5 "$3"; }
wait_for() {  # seconds, command
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.2
    done
}
have_page() { [ -n "$(page)" ]; }
have_tag_page() {
    local win
    win=$(page) && eval "$(xdotool getwindowgeometry --shell "$win")" && [ "$WIDTH" -eq 800 ]
}
# True once the recording in progress holds at least $1 seconds (44-byte header, 4-byte frames).
recorded() {
    local f
    f=$(find "$XDG_STATE_HOME/sondrel/recordings" -name '*.wav' 2>/dev/null | head -1)
    [ -n "$f" ] && [ "$(stat -c %s "$f")" -ge $((44 + $1 * 44100 * 4)) ]
}

if [ -n "$WM" ]; then
    "$WM" >"$WORK/wm.log" 2>&1 &
    WMPID=$!
    wm_ready() { xdotool get_num_desktops >/dev/null 2>&1; }
    wait_for 20 wm_ready || fail "$WM did not start: $(cat "$WORK/wm.log")"
fi

"$BUILD/sondrel" --simulate "$SIDE" --simulate-device $DEVICE --real-time \
    --export-folder "$WORK/out" >"$WORK/log" 2>&1 &
PID=$!
wait_for 20 have_page || fail "the wizard did not open: $(cat "$WORK/log")"
shot 1-connect

# A second start leaves the running wizard alone and ends with its own exit code.
set +e
"$BUILD/sondrel" --simulate "$SIDE" >"$WORK/second.log" 2>&1
second=$?
set -e
[ "$second" -eq 3 ] || fail "a second start exited $second: $(cat "$WORK/second.log")"
have_page || fail "the running wizard's page went away after a second start"

# The page drags by its background, and its corners show what is behind it.
WIN=$(page)
eval "$(xdotool getwindowgeometry --shell "$WIN")"
X0=$X Y0=$Y
# (A window manager takes the move over once it has seen the press: give it the time a hand does.)
xdotool mousemove $((X0 + 300)) $((Y0 + 300)) mousedown 1
sleep 0.3
xdotool mousemove $((X0 + 340)) $((Y0 + 320))
sleep 0.2
xdotool mousemove $((X0 + 360)) $((Y0 + 330))
sleep 0.3
xdotool mouseup 1
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$WIN")"
[ "$X" -eq $((X0 + 60)) ] && [ "$Y" -eq $((Y0 + 30)) ] ||
    fail "dragging moved the page from $X0,$Y0 to $X,$Y, not by 60,30"
import -window root "$WORK/screen.png"
corner=$(convert "$WORK/screen.png" -format "%[pixel:p{$((X + 2)),$((Y + 2))}]" info:)
inside=$(convert "$WORK/screen.png" -format "%[pixel:p{$((X + 20)),$((Y + 200))}]" info:)
[ "$corner" != "$inside" ] || fail "the page's corner is not cut off ($corner)"

click 703 437                       # next
shot 2-device-type
click 102 228                       # TURNTABLE
xdotool key Return                  # Enter on the chosen radio button goes on
sleep 0.4
shot 3-start-record
click 72 262                        # clear "Split recording into tracks"
click 703 437                       # record
shot 4-recording
sleep 1.6
click 564 264                       # new track
sleep 1.6
click 564 264                       # new track
wait_for 30 recorded 7 || fail "the recording did not reach 7 s: $(cat "$WORK/log")"
sleep 0.5                           # the writer flushes twice a second
shot 5-recording-finished
# A slow disk: each track file takes a second to begin. "Please wait..." shows and is painted
# while the recording is cut, with or without a window manager.
strace -qq -o /dev/null -p $PID -e trace=ftruncate -e inject=ftruncate:delay_enter=1000000 &
SLOW=$!
sleep 0.5
kill -0 $SLOW 2>/dev/null || fail "strace could not slow the program down"
click 703 437                       # next
shot 5-please-wait
WAIT=$(page) || fail "no window while the recording is cut"
eval "$(xdotool getwindowgeometry --shell "$WAIT")"
[ "$WIDTH" -lt 800 ] || fail "the please-wait window is not up while the recording is cut"
colours=$(convert "$SHOTS/${SHOT}5-please-wait.png" -crop "${WIDTH}x${HEIGHT}+$X+$Y" -format %k info:)
[ "$colours" -gt 8 ] || fail "the please-wait window is not painted ($colours colours)"
wait_for 20 have_tag_page || fail "no tag page"
kill $SLOW 2>/dev/null || true
sleep 0.5
shot 6-tag-tracks
type_at 230 153 "The Test Band"
type_at 538 153 "Live/Loud"
type_at 208 208 "One"
type_at 208 235 "Two"
type_at 208 262 "Three"
shot 7-tag-filled

# The track page: a cut added and moved by keyboard alone. Each edit is in the journal at once;
# the export then follows these cuts to the frame.
journal() { find "$XDG_STATE_HOME/sondrel/recordings" -name '*.journal' | head -1; }
marks() { sed -n 's/^marks //p' "$(journal)"; }
BEFORE=$(marks)
[ "$(wc -w <<<"$BEFORE")" -eq 3 ] || fail "expected three marks before the track page: $BEFORE"
click 124 438                       # check tracks
wait_for 10 have_tag_page || fail "no track page"
sleep 1
shot 7-track-page
xdotool key Insert                  # a cut where the user listens: the longest track's middle
sleep 0.3
xdotool key Right Right Right       # 0.3 s later
sleep 0.3
xdotool key shift+Left              # then 1 s earlier
sleep 0.5
shot 7-track-page-edited
EXPECTED=$(python3 - $BEFORE <<'PY'
import sys
marks = [int(m) // 4 for m in sys.argv[1:]]
cuts, end = marks[:-1], marks[-1]
starts = [0] + cuts
lengths = [b - a for a, b in zip(starts, cuts + [end])]
longest = lengths.index(max(lengths))
new = starts[longest] + lengths[longest] // 2 + 3 * 4410 - 44100
print(" ".join(str(f * 4) for f in sorted(cuts + [new]) + [end]))
PY
)
[ "$(marks)" = "$EXPECTED" ] ||
    fail "the journal holds marks $(marks) after the edits, not $EXPECTED (before: $BEFORE)"
click 703 437                       # done
wait_for 20 have_tag_page || fail "no tag page after the track page"
sleep 0.5
shot 7-tag-four-tracks
type_at 208 289 "Four"              # the new fourth row; the three titles stayed in theirs
click 703 437                       # next: export
wait_for 30 have_page || fail "no finished page"
sleep 0.6
shot 8-finished
click 400 264                       # Close Sondrel
wait_for 20 bash -c "! kill -0 $PID 2>/dev/null" || fail "the program did not end"

ALBUM="$WORK/out/The Test Band LiveLoud"
[ -d "$ALBUM" ] || fail "no album folder: $(ls -R "$WORK/out" 2>&1)"
for title in One Two Three Four; do
    [ -s "$ALBUM/$title.wav" ] || fail "missing $title.wav: $(ls "$ALBUM")"
done
[ "$(ls "$ALBUM" | wc -l)" -eq 4 ] || fail "expected 4 tracks: $(ls "$ALBUM")"
# Each track ends exactly at its cut.
python3 - "$ALBUM" $EXPECTED <<'PY' || fail "the tracks do not end at the page's cuts"
import sys, wave
album, marks = sys.argv[1], [int(m) // 4 for m in sys.argv[2:]]
lengths = [b - a for a, b in zip([0] + marks, marks)]
got = []
for title in ("One", "Two", "Three", "Four"):
    with wave.open("%s/%s.wav" % (album, title)) as w:
        got.append(w.getnframes())
print("track page cuts (frames):", marks[:-1], "track lengths:", got)
sys.exit(0 if got == lengths else "lengths %s, expected %s" % (got, lengths))
PY

# The same side recorded headless, in one track: the reference after gain and equaliser.
"$BUILD/sondrel" --headless --simulate "$SIDE" --simulate-device $DEVICE --split manual \
    --artist Ref --album Ref --export-folder "$WORK/ref" >"$WORK/ref.log" 2>&1 ||
    fail "headless reference failed: $(cat "$WORK/ref.log")"
cp "$WORK/log" "$SHOTS/e2e-wizard.log"
REF=$(find "$WORK/ref" -name '*.wav' | head -1)
python3 - "$REF" "$ALBUM/One.wav" "$ALBUM/Two.wav" "$ALBUM/Three.wav" "$ALBUM/Four.wav" <<'PY'
import sys, wave
def frames(path):
    with wave.open(path) as w:
        assert (w.getnchannels(), w.getsampwidth(), w.getframerate()) == (2, 2, 44100), path
        return w.readframes(w.getnframes())
def from_sound(data):  # both recordings start with silence until the deck plays
    i = 0
    while i < len(data) and data[i:i + 4] == b"\0\0\0\0":
        i += 4
    return data[i:]
ref = from_sound(frames(sys.argv[1]))
tracks = [frames(p) for p in sys.argv[2:]]
got = from_sound(b"".join(tracks))
side = 44100 * 5 * 4
if any(len(t) < 44100 * 4 for t in tracks):
    sys.exit("a track is shorter than a second: %s" % [len(t) // 4 for t in tracks])
if len(ref) < side or len(got) < side or got[:side] != ref[:side]:
    first = next((i for i in range(0, min(len(got), len(ref)), 4) if got[i:i + 4] != ref[i:i + 4]),
                 min(len(got), len(ref)))
    sys.exit("the tracks differ from the side after gain and equaliser: sound frames %d, "
             "reference %d, first difference at frame %d, tracks %s"
             % (len(got) // 4, len(ref) // 4, first // 4, [len(t) // 4 for t in tracks]))
print("tracks (frames):", [len(t) // 4 for t in tracks])
PY

# A run killed while recording leaves its recording; the next start offers it, and Yes takes
# it through the tag pages to the export.
"$BUILD/sondrel" --headless --simulate "$SIDE" --simulate-device $DEVICE --real-time \
    --split manual --stop-after 30 >"$WORK/killed.log" 2>&1 &
KILLED=$!
sleep 3
kill -9 $KILLED
wait $KILLED 2>/dev/null || true
"$BUILD/sondrel" --list-unfinished | grep -q "temp" || fail "no unfinished recording listed"
"$BUILD/sondrel" --simulate "$SIDE" --simulate-device $DEVICE --export-folder "$WORK/kept" \
    >"$WORK/recover.log" 2>&1 &
PID=$!
question() { [ -n "$(xdotool search --onlyvisible --name '^Sondrel$' | tail -1)" ]; }
wait_for 20 question || fail "no question about the unfinished recording"
shot 9-recover-question
xdotool key Return                  # Yes
wait_for 20 have_page || fail "no tag page for the recovered recording"
sleep 0.5
xdotool type --delay 5 "Recovered"  # the artist field has the focus
xdotool key Return                  # Enter goes on: export
wait_for 30 have_page || fail "no finished page after the recovery"
sleep 0.6
click 400 264                       # Close Sondrel
wait_for 20 bash -c "! kill -0 $PID 2>/dev/null" || fail "the program did not end"
[ "$(find "$WORK/kept" -name '*.wav' | wc -l)" -ge 1 ] || fail "the recovered recording was not exported"

# The track page drawn at single and double density, as a high-density screen shows it.
for scale in 1 2; do
    QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale "$BUILD/ui-gallery" "$WORK/gallery$scale" \
        >/dev/null || fail "ui-gallery failed at scale $scale"
    cp "$WORK/gallery$scale/page-12-tracks.png" "$SHOTS/${SHOT}track-page-${scale}x.png"
done

echo "wizard-e2e: passed; screenshots in $SHOTS"
