#!/usr/bin/env bash
# Join quality and length of real conversions: a generated source (tones, a
# swept tone and sharp clicks every 125 ms, peaking at 0.6) converted by
# `wavesmithy --convert` in short parts, against the same source converted as
# one part (a one-pass encode through the same tools). For stereo, 5.1 and
# stereo resampled to 44.1 kHz it prints the length difference in samples,
# the error within 25 ms of each join over the median error inside the parts,
# the largest sample error at the joins, and the first-10-s SNR of each part
# against the rest of it.
# SIGNAL=tones leaves the clicks out: a single encode then meets the join
# targets in absolute terms (3 dB over the in-part median, 0.02), which no
# encode of the clicks does at these bit rates.
#   BUILD_DIR=build-seam SECONDS_LONG=100 PART=30 SIX_PART=30 bash bench/seamless_joins.sh
# CASES="six" runs only the named cases (stereo, six, resampled).
# TOOLS_DIR=<folder> takes the companion tools from another folder (to measure
# an older build); wavesmithy runs from a copy beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(realpath "${BUILD_DIR:-build}")
LEN=${SECONDS_LONG:-100}
PART=${PART:-30}
SIX_PART=${SIX_PART:-$PART} # the job's own for 5.1 is 32
cmake --build "$BUILD_DIR" --target wavesmithy tromvax kardune aacenc seamless_measure -j2 >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
BIN=$BUILD_DIR/bin
if [[ -n "${TOOLS_DIR:-}" ]]; then
    mkdir -p "$WORK/bin"
    cp "$BIN/wavesmithy" "$WORK/bin/"
    cp "$TOOLS_DIR"/{tromvax,kardune,aacenc} "$WORK/bin/"
    BIN=$WORK/bin
fi
MEASURE=$BUILD_DIR/bin/seamless_measure
export XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME/Orvelle" "$XDG_DATA_HOME" "$WORK/tmp"

# exp(-400 * time since the last click); mod() is spelt out, as commas split filters.
click() { [[ "${SIGNAL:-clicks}" == tones ]] && echo 0 && return; echo "0.25*exp(-400*((t+0.125-$1)-0.125*floor(8*(t+0.125-$1))))*sin(2*PI*$2*t)"; }
# chirp F0 DEPTH: a tone swept by DEPTH Hz around F0 over 100 s (stays in band however long the source)
chirp() { echo "0.15*sin(2*PI*$1*t+$(($2 * 100))*(1-cos(2*PI*0.01*t)))"; }
stereo="0.2*sin(2*PI*440*t)+$(chirp 300 150)+$(click 0.007 2500)|0.2*sin(2*PI*660*t)+$(chirp 500 200)+$(click 0.013 3100)"
six="$stereo|0.2*sin(2*PI*550*t)+$(click 0.02 1800)|0.3*sin(2*PI*50*t)|0.2*sin(2*PI*350*t)+$(click 0.001 4000)|0.2*sin(2*PI*770*t)+$(click 0.11 2200)"
ffmpeg -v error -y -f lavfi -i "aevalsrc=exprs=$stereo:s=48000:d=$LEN:c=stereo" -c:a ac3 -b:a 384k "$WORK/stereo.ac3"
ffmpeg -v error -y -f lavfi -i "aevalsrc=exprs=$six:s=48000:d=$LEN:c=5.1" -c:a ac3 -b:a 448k "$WORK/six.ac3"

# run NAME SOURCE CHANNELS RATE [settings words...]
run() {
    local name=$1 src=$2 ch=$3 rate=$4
    shift 4
    local PART=$PART
    [[ $ch == 6 ]] && PART=$SIX_PART
    local conf=$XDG_CONFIG_HOME/Orvelle/Wavesmithy.conf
    "$MEASURE" settings "$conf" 100000 temp "$WORK/tmp/" "$@"
    local t0=$(date +%s.%N)
    "$BIN/wavesmithy" --convert "$src" --output "$WORK/$name-one.aac" --overwrite >/dev/null
    local t1=$(date +%s.%N)
    "$MEASURE" settings "$conf" "$PART" temp "$WORK/tmp/" "$@"
    "$BIN/wavesmithy" --convert "$src" --output "$WORK/$name-parts.aac" --overwrite >/dev/null
    local t2=$(date +%s.%N)
    # The reference: the source through the same tools, not encoded.
    local ssrc=()
    [[ "$rate" != 48000 ]] && ssrc=(-ssrc\( --rate "$rate" \))
    local mode=-2ch
    [[ $ch == 6 ]] && mode=-6chwav
    "$BIN/tromvax" -core\( -input "$src" -output "$WORK/$name-ref.wav" $mode \) "${ssrc[@]}" >/dev/null
    echo "== $name: $LEN s source, parts of $PART s, ${ch} channels at $rate Hz"
    printf 'time: one part %.2f s, in parts %.2f s\n' "$(awk -v a="$t1" -v b="$t0" 'BEGIN { print a - b }')" "$(awk -v a="$t2" -v b="$t1" 'BEGIN { print a - b }')"
    "$MEASURE" compare "$WORK/$name-ref.wav" "$WORK/$name-parts.aac" "$WORK/$name-one.aac" "$PART" "$ch" "$rate"
}
CASES=" ${CASES:-stereo six resampled} "
[[ $CASES == *" stereo "* ]] && run stereo "$WORK/stereo.ac3" 2 48000
[[ $CASES == *" six "* ]] && run six "$WORK/six.ac3" 6 48000 six
[[ $CASES == *" resampled "* ]] && run resampled "$WORK/stereo.ac3" 2 44100 rate 44100
leftover=$(find "$WORK/tmp" -type f | wc -l)
echo "temporary files left: $leftover"
