#!/bin/sh
# make qtractor-check: Qtractor lists Vorn's CLAP module, loads a session with it on a MIDI track,
# opens its editor and saves the plug-in's state with the session. Under Xvfb with a dummy JACK
# server; the screenshot lands in docs/screenshots/qtractor-clap.png (SHOT=path to change it).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
module=$(find "$build" -name vorn.clap -type f | head -n 1)
test -n "$module" || { echo "no vorn.clap under $build"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-qtractor-XXXXXX")
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
mkdir -p "$work/home"

echo "== scanner"
scan=$(echo "CLAP:$module" | /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan)
echo "$scan"
case "$scan" in CLAP\|Vorn\|*GUI*) ;; *) echo "the scanner does not list Vorn"; exit 1 ;; esac

# Without /dev/snd/seq (containers) Qtractor's MIDI engine, and with it the session, cannot
# start: a stand-in for the ALSA sequencer is preloaded then.
preload=""
if [ ! -e /dev/snd/seq ]; then
    cc -shared -fPIC -O2 -o "$work/alsa-seq-stub.so" "$here/alsa-seq-stub.c"
    preload="$work/alsa-seq-stub.so"
fi
sed -e "s|@MODULE@|$module|" -e "s|@DIR@|$work|" "$here/session.qtr" > "$work/session.qtr"

echo "== session"
env HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" PRELOAD="$preload" WORK="$work" \
    SHOT="${SHOT:-$here/../../../docs/screenshots/qtractor-clap.png}" \
    xvfb-run -a -s "-screen 0 1600x1000x24" sh "$here/session.sh"
echo "qtractor-check passed"
