#!/usr/bin/env bash
# Vorn beside the instrument plug-ins packaged in Debian: each at 1, 8 and 32 held notes, SECONDS
# of audio, the median of REPS fresh processes; prints a Markdown table of real-time factors
# (audio seconds per CPU second, higher is better).
#
#   bench/peers.sh [BUILD_DIR]      environment: SECONDS_PER_RUN (10), REPS (3)
set -u
BUILD=${1:-build}
BENCH=$BUILD/bench/vorn_peer_bench
BUNDLE=$BUILD/host/lv2/vorn.lv2
SECS=${SECONDS_PER_RUN:-10}
REPS=${REPS:-3}
VOICES="1 8 32"
[ -x "$BENCH" ] || { echo "peers.sh: $BENCH is not built" >&2; exit 2; }
[ -f "$BUNDLE/manifest.ttl" ] || { echo "peers.sh: no LV2 bundle in $BUNDLE" >&2; exit 2; }

# Plug-ins write settings and caches under the home folder: give them a private one. The LV2 path
# holds our bundle alone beside the system's, so lilv reads no other file of the build folder.
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/vorn-peers.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
mkdir -p "$SCRATCH/config" "$SCRATCH/data" "$SCRATCH/cache" "$SCRATCH/lv2"
ln -s "$(cd "$BUNDLE" && pwd)" "$SCRATCH/lv2/vorn.lv2"
export HOME=$SCRATCH XDG_CONFIG_HOME=$SCRATCH/config XDG_DATA_HOME=$SCRATCH/data \
       XDG_CACHE_HOME=$SCRATCH/cache XDG_RUNTIME_DIR=$SCRATCH LV2_PATH=$SCRATCH/lv2:/usr/lib/lv2
# synthv1 starts a Qt application even without its editor.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# label | what must exist | plug-in arguments
PEERS="Vorn|$BUNDLE/manifest.ttl|urn:vorn:synth
amsynth (DSSI)|/usr/lib/dssi/amsynth_dssi.so|--dssi /usr/lib/dssi/amsynth_dssi.so
synthv1|/usr/lib/lv2/synthv1.lv2/manifest.ttl|http://synthv1.sourceforge.net/lv2
Calf Wavetable|/usr/lib/lv2/calf.lv2/manifest.ttl|http://calf.sourceforge.net/plugins/Wavetable"

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The installed peers; the rest are named in the table's footnote.
INSTALLED="" SKIPPED=""
while IFS='|' read -r label needs args; do
    if [ -e "$needs" ]; then
        INSTALLED="$INSTALLED$label|$args"$'\n'
    else
        SKIPPED="$SKIPPED$label: not installed ($needs missing), skipped"$'\n'
    fi
done <<<"$PEERS"

# Round after round, every plug-in and voice count once per round: a machine that slows down for
# a while (a shared host) slows every plug-in alike instead of the one that ran then.
RESULTS=$SCRATCH/results
: >"$RESULTS"
for round in $(seq "$REPS"); do
    for v in $VOICES; do
        while IFS='|' read -r label args; do
            [ -n "$label" ] || continue
            # shellcheck disable=SC2086
            line=$("$BENCH" $args --voices "$v" --seconds "$SECS" 2>>"$SCRATCH/stderr.log") ||
                echo "$label, $v voices: failed (exit $?)" >&2
            case $line in *,*) echo "$label|$v|$line" >>"$RESULTS" ;; esac
        done <<<"$INSTALLED"
    done
    echo "round $round of $REPS done" >&2
done

# Column k (5: real-time factor, 6: ns per sample) of one plug-in's runs at v voices.
column() { grep -F "$1|$2|" "$RESULTS" | cut -d'|' -f3 | cut -d, -f"$3" | median; }

ROWS=""
while IFS='|' read -r label _; do
    [ -n "$label" ] || continue
    row="| $label |"
    for v in $VOICES; do
        rtf=$(column "$label" "$v" 5)
        row="$row ${rtf:-failed} |"
    done
    ns=$(column "$label" 1 6)
    ROWS="$ROWS$row ${ns:-failed} |"$'\n'
done <<<"$INSTALLED"

if [ -s "$SCRATCH/stderr.log" ] && grep -q -i 'error\|warning' "$SCRATCH/stderr.log"; then
    echo "--- messages of the runs:" >&2
    grep -i 'error\|warning' "$SCRATCH/stderr.log" | sort | uniq -c >&2
fi
echo
echo "Real-time factor, median of $REPS runs of $SECS s at 48 kHz, 256-frame blocks:"
echo
echo "| plug-in | 1 voice RTF | 8 voices | 32 voices | ns per sample at 1 voice |"
echo "|---|---:|---:|---:|---:|"
printf '%s' "$ROWS"
[ -z "$SKIPPED" ] || printf '\n%s' "$SKIPPED"
