#!/usr/bin/env bash
# Prints the bit rate aacenc achieves for every preset (stereo and 5.1) and for
# a few qualities, on a generated test signal: independent pink noise in each
# channel plus a common tone, 48 kHz. Sizes include the ADTS headers.
#   BIN_DIR=build/bin bash bench/aacenc_bitrates.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BIN_DIR=${BIN_DIR:-build/bin}
AACENC="$BIN_DIR/aacenc"
SECONDS_LONG=${SECONDS_LONG:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_signal() { # channels layout out
    local n=$1 layout=$2 out=$3 inputs=() graph="" map=""
    local names=(FL FR FC LFE BL BR)
    for ((c = 0; c < n; c++)); do
        inputs+=(-f lavfi -i "anoisesrc=c=pink:a=0.08:r=48000:d=$SECONDS_LONG:seed=$((c + 1))")
        graph+="[$c]"
        map+="${map:+|}$c.0-${names[$c]}"
    done
    inputs+=(-f lavfi -i "sine=f=330:r=48000:d=$SECONDS_LONG")
    ffmpeg -hide_banner -loglevel error -y "${inputs[@]}" -filter_complex \
        "${graph}join=inputs=$n:channel_layout=$layout:map=$map[j];[$n]aformat=channel_layouts=$layout[t];[j][t]amix=inputs=2:normalize=0" \
        -c:a pcm_s16le "$out"
}

make_signal 2 stereo "$work/stereo.wav"
make_signal 6 5.1 "$work/six.wav"

kbps() { # file
    echo "$(stat -c %s "$1") $SECONDS_LONG" | awk '{printf "%.1f", $1 * 8 / $2 / 1000}'
}

echo "aacenc bit rates on ${SECONDS_LONG} s of pink noise and a tone, 48 kHz (kbit/s);"
echo "the 5.1 columns encode a six-channel WAV without -lfe (coded as 5.0)"
printf '%-10s %9s %7s %9s %11s %13s\n' preset cut-off target achieved "target 5.1" "achieved 5.1"
for p in tape:64:165:13000 radio:83:210:14000 internet:100:255:15000 streaming:130:330:18500 \
         normal:170:440:20500 extreme:210:535:20500 archive:270:600:20500 ultra:310:700:20500; do
    IFS=: read -r name t2 t6 cut <<<"$p"
    "$AACENC" -if "$work/stereo.wav" "-$name" -of "$work/s.aac" >/dev/null
    "$AACENC" -if "$work/six.wav" "-$name" -of "$work/m.aac" >/dev/null
    printf '%-10s %6s Hz %7s %9s %11s %13s\n' "$name" "$cut" "$t2" "$(kbps "$work/s.aac")" "$t6" "$(kbps "$work/m.aac")"
done
echo
echo "quality (-vbrhi -qvbr N): target = (16 + 144 * N/100) kbit/s per full-range channel"
printf '%-8s %9s %9s %13s %13s\n' quality "target 2" achieved "target 5.0" "achieved 5.0"
for q in 5 20 35 50 75 100; do
    "$AACENC" -if "$work/stereo.wav" -vbrhi -qvbr "$q" -of "$work/s.aac" >/dev/null
    "$AACENC" -if "$work/six.wav" -vbrhi -qvbr "$q" -of "$work/m.aac" >/dev/null
    t=$(awk -v q="$q" 'BEGIN { printf "%.0f", 16 + 1.44 * q }')
    printf '%-8s %9s %9s %13s %13s\n' "$(awk -v q="$q" 'BEGIN { printf "%.2f", q / 100 }')" "$((t * 2))" "$(kbps "$work/s.aac")" "$((t * 5))" "$(kbps "$work/m.aac")"
done
