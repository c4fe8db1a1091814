#!/usr/bin/env bash
# Decoding speed of tromvax against the ffmpeg program on the same machine:
# a generated 5.1 AC3 source (448 kb/s, 48 kHz) decoded to a stereo 44.1 kHz
# 16-bit WAV, by
#   ffmpeg -i SRC -ac 2 -ar 44100 OUT.wav
#   tromvax with the front end's default part-decode switches and -ssrc( --rate 44100 )
# run alternately RUNS times each; prints the best wall-clock time of each,
# their ratio (above 1: tromvax is faster), the processor time of that run
# (tromvax decodes on a second thread, so it uses more processor time than
# wall-clock time on an idle machine, and gains nothing on a saturated one)
# and the peak resident memory.
#   BIN_DIR=build/bin SECONDS_LONG=600 RUNS=3 bash bench/tromvax_decode.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BIN_DIR=${BIN_DIR:-build/bin}
TROMVAX="$BIN_DIR/tromvax"
SECONDS_LONG=${SECONDS_LONG:-600}
RUNS=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A tone plus noise in every channel, so the decoder has real work to do.
ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "sine=f=440:r=48000:d=$SECONDS_LONG" \
    -f lavfi -i "anoisesrc=c=pink:a=0.2:r=48000:d=$SECONDS_LONG" \
    -filter_complex "[0][1]amix=inputs=2,pan=5.1(side)|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" \
    -c:a ac3 -b:a 448k "$work/src.ac3"

# Prints "seconds peak-KB cpu-seconds" of one command.
measure() {
    /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
        cat "$work/stderr" >&2
        exit 1
    }
    awk '{ print $1, $2, $3 + $4 }' "$work/time"
}

best_ff=999999 best_tv=999999 mem_ff=0 mem_tv=0 cpu_ff=0 cpu_tv=0
for ((i = 1; i <= RUNS; i++)); do
    read -r t m c < <(measure ffmpeg -hide_banner -loglevel error -y -i "$work/src.ac3" -ac 2 -ar 44100 "$work/ff.wav")
    if awk -v a="$best_ff" -v b="$t" 'BEGIN { exit !(b < a) }'; then best_ff=$t cpu_ff=$c; fi
    mem_ff=$m
    read -r t m c < <(measure "$TROMVAX" -core\( -input "$work/src.ac3" -output "$work/tv.wav" \
        -logfile "$work/tromvax.log" -2ch \) -azid\( -L -3db -c normal -s surround \) \
        -ssrc\( --rate 44100 \) -profile\( The Wavesmithy v0.51 \) -ota\( -sc 1024 -g 0db \))
    if awk -v a="$best_tv" -v b="$t" 'BEGIN { exit !(b < a) }'; then best_tv=$t cpu_tv=$c; fi
    mem_tv=$m
done

echo "source: ${SECONDS_LONG} s of 5.1 AC3 at 448 kb/s; best of $RUNS runs; $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
printf "ffmpeg  %8.2f s  (processor %6.2f s)  %7d KB peak\n" "$best_ff" "$cpu_ff" "$mem_ff"
printf "tromvax %8.2f s  (processor %6.2f s)  %7d KB peak\n" "$best_tv" "$cpu_tv" "$mem_tv"
awk -v f="$best_ff" -v t="$best_tv" 'BEGIN { printf "ratio ffmpeg/tromvax: %.2f (above 1: tromvax is faster)\n", f / t }'
