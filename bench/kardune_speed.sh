#!/usr/bin/env bash
# Time and peak memory of kardune on a generated long source (two hours by
# default): the split of a stereo 48 kHz AC3 into 256-second parts, the split
# of a six-channel 24-bit WAV ("pcm") into 32-second parts, and the join of
# the AAC parts made from the AC3 split (stream-copied ADTS frames).
#   BIN_DIR=build/bin DURATION=7200 bash bench/kardune_speed.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BIN_DIR=${BIN_DIR:-build/bin}
KARDUNE=$(realpath "$BIN_DIR/kardune")
DURATION=${DURATION:-7200}
WAV_DURATION=${WAV_DURATION:-$DURATION}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "generating sources (${DURATION} s AC3, ${WAV_DURATION} s 5.1 WAV) ..."
ffmpeg -hide_banner -loglevel error -f lavfi -i "anoisesrc=c=pink:a=0.1:r=48000:d=$DURATION" \
    -ac 2 -c:a ac3 -b:a 192k src.ac3
ffmpeg -hide_banner -loglevel error -f lavfi -i "anoisesrc=c=pink:a=0.1:r=48000:d=$WAV_DURATION" \
    -af "aformat=channel_layouts=5.1" -c:a pcm_s24le -f wav -rf64 auto src.pcm

# measure LABEL SECONDS-OF-AUDIO COMMAND...: prints wall time, speed and peak memory.
measure() {
    local label=$1 audio=$2
    shift 2
    /usr/bin/time -v -o time.txt "$@" >/dev/null
    local wall rss cpu
    cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' time.txt)
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' time.txt)
    rss=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' time.txt)
    printf '%-34s %7.2f s wall %7s s CPU %8.0fx real time  peak %6s MB\n' "$label" "$wall" "$cpu" \
        "$(awk -v a="$audio" -v w="$wall" 'BEGIN { print (w > 0 ? a / w : 0) }')" "$rss"
}

mkdir ac3parts pcmparts
measure "split AC3 (256 s parts)" "$DURATION" "$KARDUNE" -core\( -input src.ac3 -prefix ac3parts/ -logfile k.log \
    -type ac3 -r -ending \) -split\( 0 $(yes 256 | head -29 | tr '\n' ' ') \) -profile\( Wavesmithy v0.51 \)
measure "split 5.1 24-bit WAV (32 s parts)" "$WAV_DURATION" "$KARDUNE" -core\( -input src.pcm -prefix pcmparts/ \
    -logfile k.log -type pcm -r -ending \) -split\( 0 $(yes 32 | head -225 | tr '\n' ' ') \) -profile\( Wavesmithy v0.51 \)
cmp -s <(cat ac3parts/*.ac3) src.ac3 && echo "AC3 parts put together give back the source: yes"

# AAC parts for the join: each AC3 part turned into ADTS by ffmpeg (copying
# the parts' length, not their content, matters here).
: >list.lst
for p in ac3parts/*.ac3; do
    ffmpeg -hide_banner -loglevel error -i "$p" -c:a aac -b:a 170k -aac_coder fast "${p%.ac3}.aac"
    echo "$work/${p%.ac3}.aac" >>list.lst
done
measure "join $(wc -l <list.lst) ADTS parts" "$DURATION" "$KARDUNE" -core\( -input list.lst -join -type aac \
    -prefix out.aac -logfilea k.log \) -profile\( Wavesmithy v0.51 \)
measure "join with a wave header" "$DURATION" "$KARDUNE" -core\( -input list.lst -addriff -type aac \
    -output out.wav -logfilea k.log \) -profile\( Wavesmithy v0.51 \)
stat -c '%n %s bytes' src.ac3 src.pcm out.aac out.wav
