#!/usr/bin/env bash
# Peak resident memory of tromvax on a long source (two hours by default):
# a generated 5.1 AC3 stream, decoded to a stereo 44.1 kHz WAV, measured
# (gain to full scale), and extracted from an audio-only VOB. Memory must not
# grow with the length of the source; the target is below 64 MB.
#   BIN_DIR=build/bin SECONDS_LONG=7200 bash bench/tromvax_memory.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BIN_DIR=${BIN_DIR:-build/bin}
TROMVAX="$BIN_DIR/tromvax"
SECONDS_LONG=${SECONDS_LONG:-7200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "sine=f=440:r=48000:d=$SECONDS_LONG" \
    -filter_complex "[0]pan=5.1(side)|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" \
    -c:a ac3 -b:a 448k "$work/src.ac3"
ffmpeg -hide_banner -loglevel error -y -i "$work/src.ac3" -c:a copy -f vob "$work/src.vob"

run() { # label, then the tromvax command line
    local label=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$TROMVAX" "$@" >/dev/null 2>"$work/stderr" || {
        cat "$work/stderr" >&2
        exit 1
    }
    read -r t m <"$work/time"
    printf "%-28s %8.1f s  %7.1f MB peak\n" "$label" "$t" "$(awk -v k="$m" 'BEGIN { print k / 1024 }')"
}

echo "source: ${SECONDS_LONG} s of 5.1 AC3 at 448 kb/s ($(du -m "$work/src.ac3" | cut -f1) MB)"
run "decode to stereo 44.1 kHz" -core\( -input "$work/src.ac3" -output "$work/out.wav" -logfile "$work/log" \
    -2ch \) -azid\( -L -3db -c normal -s surround \) -ssrc\( --rate 44100 \) -ota\( -g 0db \)
rm -f "$work/out.wav"
run "gain measurement" -core\( -input "$work/src.ac3" -output "$work/out.wav" -logfile "$work/log" \
    -2chnothing \) -ota\( -g max \)
run "VOB extraction with gain" -core\( -input "$work/src.vob" -payload -logfile "$work/log" -output \
    "$work/extracted" -2chnothing \) -ota\( -g max \)
