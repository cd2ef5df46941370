#!/bin/sh
# Inside Xvfb (run.sh): JACK, Qtractor with the session, the plug-in's editor, a save.
set -eu
server="vorn-qtractor-$$"
export JACK_DEFAULT_SERVER="$server" JACK_NO_AUDIO_RESERVATION=1
jackd -n "$server" -d dummy -r 48000 -p 256 > "$WORK/jack.log" 2>&1 &
jack=$!
qtractor=""
stop() {
    [ -z "$qtractor" ] || kill "$qtractor" 2>/dev/null || true
    sleep 1
    kill "$jack" 2>/dev/null || true
}
trap stop EXIT
sleep 2
env LD_PRELOAD="$PRELOAD" qtractor "$WORK/session.qtr" > "$WORK/qtractor.log" 2>&1 &
qtractor=$!

fail() {
    echo "$1"
    import -window root "$WORK/failed.png"
    cat "$WORK/qtractor.log"
    exit 1
}
# The main window has the session's name once it is loaded.
timeout 30 xdotool search --sync --name "session.qtr" > /dev/null || fail "no session window"
sleep 3
# A double click on the plug-in in the track's chain opens its editor.
xdotool mousemove 173 179 click --repeat 2 --delay 80 1
editor=$(timeout 20 xdotool search --sync --name "^Vorn - Vorn" | head -n 1) ||
    fail "the editor did not open"
xdotool windowmove "$editor" 760 40
sleep 1
# Its master section open, for the picture.
xdotool mousemove 820 341 click 1
sleep 2
import -window root "$WORK/shot.png"
convert "$WORK/shot.png" -crop 1220x830+0+0 +repage -colors 256 "$SHOT"
echo "screenshot: $SHOT ($(wc -c < "$SHOT") bytes)"

# Saved, the session holds the plug-in with its state.
main=$(xdotool search --name "session.qtr" | head -n 1)
xdotool windowactivate "$main" 2>/dev/null || xdotool windowfocus "$main"
xdotool key --window "$main" ctrl+s
sleep 3
grep -q '<config key="state">' "$WORK/session.qtr" || fail "the session kept no plug-in state"
grep -i "vorn\|clap" "$WORK/qtractor.log" || true
