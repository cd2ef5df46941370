#!/usr/bin/env bash
# A real JACK session on a private jackd with the dummy driver (no sound card, no real-time
# rights): jack_midiseq plays notes into `vorn play` and into the LV2 bundle running in jalv,
# jack_rec records each, and the recordings must not be silent. `vorn play` must also stop cleanly
# at the end of --seconds and on SIGINT and SIGTERM.
# Usage: jack-session-test.sh VORN WAV_PEAK LV2_BUNDLE WORK_DIR
# Exits 0 on success, 1 on failure, 77 (skip) when everything but the missing LV2 bundle passed.
set -u

vorn=$1
wav_peak=$2
bundle=$3
work=$4

rate=48000
period=256
min_peak_db=-40

rm -rf "$work"
mkdir -p "$work"
export JACK_DEFAULT_SERVER="vorn-test-$$"
export JACK_NO_AUDIO_RESERVATION=1
# Headless: `vorn play` opens no editor window.
unset DISPLAY

pids=()
# Clients first, newest first: a server stopped under its clients waits for them.
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null
        wait "${pids[i]}" 2>/dev/null
    done
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do
        echo "--- $log" >&2
        cat "$log" >&2
    done
    exit 1
}

# Waits up to $2 seconds for the port $1 to appear, or with $3 for it to be connected to $3.
wait_for_port() {
    local tries=$(($2 * 10))
    while ((tries-- > 0)); do
        timeout 5 jack_lsp ${3:+-c "$1"} 2>/dev/null | grep -qxF "${3:+   }${3:-$1}" && return 0
        sleep 0.1
    done
    return 1
}

# Ports of client $1 with direction $2 (input|output) whose type mentions $3 (audio|midi).
ports_of() {
    jack_lsp -p -t 2>/dev/null | awk -v client="$1:" -v dir="$2," -v type="$3" '
        /^[^ \t]/ { name = index($0, client) == 1 ? $0 : ""; props = ""; next }
        /properties:/ { props = $0; next }
        name != "" && index($0, type) && index(props, dir) { print name }'
}

# Waits for `vorn play` $1 and checks that it exited 0 after printing a clean shutdown line
# matching $3 into $2; $4 says when.
expect_clean_exit() {
    wait "$1"
    local status=$?
    ((status == 0)) || fail "vorn play exited with status $status$4"
    grep -q "^vorn play: clean shutdown after $3, [0-9]* xruns\$" "$2" ||
        fail "vorn play printed no clean shutdown line$4"
}

# Records two seconds of ports $2 and $3 into $1.wav and checks the recording for sound.
record() {
    timeout 30 jack_rec -f "$work/$1.wav" -d 2 "$2" "$3" >"$work/$1-rec.log" 2>&1 ||
        fail "jack_rec could not record $2 and $3"
    "$wav_peak" "$work/$1.wav" "$min_peak_db" || fail "$1 recorded no sound"
}

jackd --no-realtime -d dummy -r "$rate" -p "$period" >"$work/jackd.log" 2>&1 &
pids+=($!)
jack_wait -s "$JACK_DEFAULT_SERVER" -w -t 10 >/dev/null 2>&1 || fail "jackd did not start"

# A one-second loop: A4 for the first half, C5 for a quarter from the middle.
jack_midiseq seq "$rate" 0 69 $((rate / 2)) $((rate / 2)) 72 $((rate / 4)) \
    >"$work/midiseq.log" 2>&1 &
pids+=($!)
wait_for_port seq:out 5 || fail "jack_midiseq registered no port"

# 1. vorn play for a fixed time, playing the notes.
"$vorn" play --seconds 4 --jack-name vorn-play >"$work/play.log" 2>&1 &
play=$!
pids+=($play)
# Ports appear one by one while the client starts: each gets its own wait.
for port in vorn-play:midi_in vorn-play:out_left vorn-play:out_right vorn-play:sidechain_left \
    vorn-play:sidechain_right; do
    wait_for_port "$port" 10 || fail "vorn play has no port $port"
done
timeout 10 jack_connect seq:out vorn-play:midi_in || fail "could not connect the sequencer to vorn play"
record play vorn-play:out_left vorn-play:out_right
expect_clean_exit "$play" "$work/play.log" '.* (time is up)' ""
grep -q '^vorn play: JACK client "vorn-play" at 48000 Hz, 256 frames per cycle$' \
    "$work/play.log" || fail "vorn play did not report the server's rate and period"
jack_lsp 2>/dev/null | grep -q '^vorn-play:' && fail "vorn play left its ports behind"

# A preset that cannot be found stops it before it joins the server.
"$vorn" play --preset "No Such Preset $$" --jack-name vorn-nopreset >"$work/nopreset.log" 2>&1
status=$?
((status == 2)) || fail "vorn play with a missing preset exited with status $status, not 2"
grep -q "no preset is named" "$work/nopreset.log" || fail "vorn play did not name the missing preset"

# 2. vorn play until a stop signal, connected to the dummy driver's playback ports.
for signal in INT TERM; do
    "$vorn" play --jack-name vorn-stop --connect >"$work/stop-$signal.log" 2>&1 &
    stop=$!
    pids+=($stop)
    wait_for_port vorn-stop:out_left 10 || fail "vorn play registered no ports"
    wait_for_port vorn-stop:out_left 10 system:playback_1 ||
        fail "--connect did not connect vorn-stop:out_left to system:playback_1"
    kill -s "$signal" "$stop"
    expect_clean_exit "$stop" "$work/stop-$signal.log" '.*' " after SIG$signal"
done

# 3. The LV2 bundle inside jalv.
if [[ ! -f "$bundle/manifest.ttl" ]]; then
    echo "SKIP: the LV2 bundle $bundle has not been built; vorn play passed"
    exit 77
fi
# A folder holding only this bundle, so that neither an installed Vorn nor the build folder's
# other files get in the way.
mkdir -p "$work/lv2"
ln -s "$(cd "$bundle" && pwd)" "$work/lv2/vorn.lv2"
export LV2_PATH="$work/lv2"
uri=$(lv2ls 2>/dev/null | head -n 1)
[[ -n "$uri" ]] || fail "lv2ls finds no plug-in in $bundle"
# jalv reads commands from stdin and stops at its end: a sleep keeps it open.
exec 3< <(sleep 60)
pids+=($!)
# Sanitizer builds name their runtime; jalv's own leaks at exit are not ours.
LD_PRELOAD="${VORN_JALV_PRELOAD:-}" ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
    jalv -x -n vorn-lv2 "$uri" <&3 >"$work/jalv.log" 2>&1 &
pids+=($!)
exec 3<&-
midi_in=""
for ((tries = 0; tries < 200 && ${#midi_in} == 0; tries++)); do
    sleep 0.1
    midi_in=$(ports_of vorn-lv2 input midi | head -n 1)
done
[[ -n "$midi_in" ]] || fail "jalv registered no MIDI input for $uri"
mapfile -t outs < <(ports_of vorn-lv2 output audio)
((${#outs[@]} >= 2)) || fail "jalv registered ${#outs[@]} audio outputs for $uri, not 2"
timeout 10 jack_connect seq:out "$midi_in" || fail "could not connect the sequencer to $midi_in"
record jalv "${outs[0]}" "${outs[1]}"
echo "PASS: vorn play and $uri in jalv"
