#!/usr/bin/env bash
# Speed and peak memory of aacenc against ffmpeg's own command line with the
# same encoder and bit rate, on one 256-second part (a stereo 44.1 kHz WAV, as
# the default job makes) and on a long WAV (two hours by default).
#   BIN_DIR=build/bin LONG=7200 bash bench/aacenc_speed.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BIN_DIR=${BIN_DIR:-build/bin}
AACENC=$(realpath "$BIN_DIR/aacenc")
LONG=${LONG:-7200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

measure() { # LABEL SECONDS-OF-AUDIO COMMAND...
    local label=$1 audio=$2
    shift 2
    /usr/bin/time -v -o time.txt "$@" >/dev/null
    local wall rss cpu
    cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' time.txt)
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' time.txt)
    rss=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' time.txt)
    LAST_WALL=$wall
    LAST_CPU=$cpu
    printf '%-40s %7.2f s wall %7s s CPU %6.1fx real time  peak %6s MB\n' "$label" "$wall" "$cpu" \
        "$(awk -v a="$audio" -v w="$wall" 'BEGIN { print (w > 0 ? a / w : 0) }')" "$rss"
}

for seconds in 256 "$LONG"; do
    echo "== ${seconds} s stereo 44.1 kHz 16-bit WAV (pink noise and a tone)"
    ffmpeg -hide_banner -loglevel error -f lavfi -i "anoisesrc=c=pink:a=0.08:r=44100:d=$seconds" \
        -f lavfi -i "sine=f=440:r=44100:d=$seconds" \
        -filter_complex "[0][1]amix=inputs=2:normalize=0,aformat=channel_layouts=stereo" -c:a pcm_s16le in.wav
    measure "aacenc -normal" "$seconds" "$AACENC" -if in.wav -normal -of a.aac
    ours=$LAST_WALL
    oursCpu=$LAST_CPU
    measure "ffmpeg -c:a aac -b:a 170k -cutoff 20500" "$seconds" ffmpeg -nostdin -hide_banner -loglevel error -y \
        -i in.wav -c:a aac -b:a 170k -cutoff 20500 b.aac
    awk -v a="$ours" -v b="$LAST_WALL" -v c="$oursCpu" -v d="$LAST_CPU" \
        'BEGIN { printf "aacenc / ffmpeg: wall time %.2f, CPU time %.2f\n", (b > 0 ? a / b : 0), (d > 0 ? c / d : 0) }'
    cmp -s a.aac b.aac && echo "outputs identical: yes" || echo "outputs identical: no (ffmpeg's own header bytes differ)"
    rm -f in.wav a.aac b.aac
done
