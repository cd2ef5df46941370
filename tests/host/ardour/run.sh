#!/bin/sh
# make ardour-check: Vorn in a scripted Ardour 7 session (ardour7-lua, Dummy backend). The export
# must equal `vorn render` of the same notes and preset within -90 dB until the Output Volume
# automation fades the sound out, and stay silent after it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
preset="${VORN_CHECK_PRESET:-Analog Brass}"
work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-ardour-XXXXXX")
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

# Ardour's configuration, note source and export format live in the scratch folder.
mkdir -p "$work/config/ardour7/scripts" "$work/config/ardour7/export"
cp "$here/config.xml" "$work/config/ardour7/config"
cp "$here/vorn_check_notes.lua" "$work/config/ardour7/scripts/"
cp "$here/vorn-check.preset" "$work/config/ardour7/export/"

echo "== Ardour session"
env XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_DOCUMENTS_DIR="$work/documents" \
    LV2_PATH="$build/host/lv2" VORN_CHECK_DIR="$work" VORN_CHECK_PRESET="$preset" \
    ardour7-lua "$here/session.lua" 2>&1 | grep -v '^lilv\|^error: failed\|encoder is not available'
test -s "$work/export.wav" || { echo "no export"; exit 1; }

echo "== vorn render"
python3 "$here/phrase.py" "$work/phrase.mid"
env XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_DOCUMENTS_DIR="$work/documents" \
    "$build/apps/vorn/vorn" render "$work/phrase.mid" --preset "$preset" --block 256 --tail 1 \
    --output "$work/render.wav"

echo "== compared"
python3 "$here/compare.py" "$work/render.wav" "$work/export.wav" 0 90000 -90
# The volume glides to its new value: silent a few blocks after the fade ends.
python3 "$here/compare.py" "$work/render.wav" "$work/export.wav" 108000 144000 -90 --silent
echo "ardour-check passed"
