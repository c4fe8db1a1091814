#!/usr/bin/env bash
# Whole conversions against a one-pass ffmpeg encode, side by side in one run:
#  - a 20-minute stereo AC3 through the default job (`wavesmithy --convert`,
#    256 s parts), against `ffmpeg -i SRC -ac 2 -c:a aac -b:a 170k` with the
#    job's output channels and rate;
#  - a 5-minute 5.1 AC3 through the 5.1 job (32 s parts, fixed 0 dB gain),
#    against ffmpeg with the same channels and the 5.1 preset's 440k;
#  - aacenc on one thread against `ffmpeg -i WAV -c:a aac` on the same WAV,
#    and aacenc on every core against one thread (the speed-up);
#  - the splice figures of aacenc's chunks against its single encode, and
#    the join figures of the stereo job against the same job in one part.
# The source: two tones and a slow chirp per channel, sharp clicks every
# 125 ms, and pink noise that swells and fades (music-like, hard to code).
# Wall times on a shared machine wander by tens of per cent from run to run,
# so the job and ffmpeg run in PAIRS interleaved pairs (alternating which
# goes first) and the median ratio counts; CORES first shows how much the
# second core gives (two encodes at once against one).
#   BUILD_DIR=build LONG=1200 SIX=300 PAIRS=3 bash bench/parallel_encode.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(realpath "${BUILD_DIR:-build}")
LONG=${LONG:-1200}
SIX=${SIX:-300}
PAIRS=${PAIRS:-3}
cmake --build "$BUILD_DIR" --target wavesmithy tromvax kardune aacenc seamless_measure chunk_measure -j2 >/dev/null
BIN=$BUILD_DIR/bin
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data TMPDIR=$WORK/tmp QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME/Orvelle" "$XDG_DATA_HOME" "$TMPDIR"
CONF=$XDG_CONFIG_HOME/Orvelle/Wavesmithy.conf
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

click() { echo "0.2*400*((t+0.125-$1)-0.125*floor(8*(t+0.125-$1)))*exp(1-400*((t+0.125-$1)-0.125*floor(8*(t+0.125-$1))))*sin(2*PI*$2*t)"; }
chan() { echo "0.15*sin(2*PI*$1*t)+0.1*sin(2*PI*$2*t)+0.08*sin(2*PI*($3+0.5*t)*t)+$(click "$4" "$5")"; }
make_source() { # SECONDS LAYOUT OUT BITRATE EXPRS...
    local secs=$1 layout=$2 out=$3 rate=$4
    shift 4
    local exprs
    exprs=$(IFS='|'; echo "$*")
    ffmpeg -v error -y -f lavfi -i "aevalsrc=exprs=$exprs:s=48000:d=$secs:c=$layout" \
        -f lavfi -i "anoisesrc=c=pink:a=0.04:r=48000:d=$secs:seed=7" \
        -filter_complex "[1]volume='0.2+0.8*abs(sin(t/7))':eval=frame,aformat=channel_layouts=$layout[n];[0][n]amix=inputs=2:normalize=0,aformat=channel_layouts=$layout" \
        -c:a ac3 -b:a "$rate" "$out"
}
make_source "$LONG" stereo "$WORK/stereo.ac3" 384k "$(chan 220 277 300 0.007 2500)" "$(chan 330 415 500 0.071 3100)"
make_source "$SIX" 5.1 "$WORK/six.ac3" 448k "$(chan 220 277 300 0.007 2500)" "$(chan 330 415 500 0.071 3100)" \
    "$(chan 247 370 400 0.02 1800)" "0.3*sin(2*PI*50*t)" "$(chan 196 294 350 0.001 4000)" "$(chan 262 392 600 0.11 2200)"

seconds() { # COMMAND... -> prints the wall time
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null
    t1=$(date +%s.%N)
    awk -v a="$t1" -v b="$t0" 'BEGIN { printf "%.3f\n", a - b }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
probe() { ffprobe -v error -show_entries "stream=$2" -of csv=p=0 "$1"; }

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
# pairs LABEL TARGET JOB_COMMAND... -- FFMPEG_COMMAND...: PAIRS interleaved runs
pairs() {
    local label=$1 target=$2
    shift 2
    local job=() ff=()
    while [[ $1 != -- ]]; do job+=("$1"); shift; done
    shift
    ff=("$@")
    local ratios="" a b
    for ((k = 1; k <= PAIRS; ++k)); do
        if ((k % 2)); then
            a=$(seconds "${job[@]}"); b=$(seconds "${ff[@]}")
        else
            b=$(seconds "${ff[@]}"); a=$(seconds "${job[@]}")
        fi
        ratios+=" $(ratio "$a" "$b")"
        echo "$label pair $k: ours $a s, ffmpeg $b s, ratio $(ratio "$a" "$b")"
    done
    echo "$label: median ratio $(echo "$ratios" | median) over $PAIRS pairs (target at most $target)"
}

echo "== the machine's cores: one encode alone, then two at once"
ffmpeg -v error -y -i "$WORK/stereo.ac3" -t 120 -c:a pcm_s16le "$WORK/probe.wav"
alone=$(seconds ffmpeg -nostdin -v error -y -i "$WORK/probe.wav" -c:a aac -b:a 170k "$WORK/c0.aac")
t0=$(date +%s.%N)
ffmpeg -nostdin -v error -y -i "$WORK/probe.wav" -c:a aac -b:a 170k "$WORK/c1.aac" &
ffmpeg -nostdin -v error -y -i "$WORK/probe.wav" -c:a aac -b:a 170k "$WORK/c2.aac"
wait
both=$(awk -v a="$(date +%s.%N)" -v b="$t0" 'BEGIN { printf "%.3f", a - b }')
echo "one encode $alone s, two at once $both s: the two cores give $(ratio "$(awk -v a="$alone" 'BEGIN { print 2 * a }')" "$both") times one core's work"

echo "== ${LONG} s stereo AC3, default job (256 s parts)"
rm -f "$CONF"
"$BIN/wavesmithy" --convert "$WORK/stereo.ac3" --output "$WORK/job.aac" --overwrite >/dev/null
rate=$(probe "$WORK/job.aac" sample_rate)
pairs stereo 0.75 "$BIN/wavesmithy" --convert "$WORK/stereo.ac3" --output "$WORK/job.aac" --overwrite -- \
    ffmpeg -nostdin -v error -y -i "$WORK/stereo.ac3" -ac 2 -ar "$rate" -c:a aac -b:a 170k "$WORK/ff.aac"

echo "== ${SIX} s 5.1 AC3, 5.1 job (32 s parts)"
"$BIN/seamless_measure" settings "$CONF" 32 six temp "$TMPDIR/"
"$BIN/wavesmithy" --convert "$WORK/six.ac3" --output "$WORK/job6.aac" --overwrite >/dev/null
ch6=$(probe "$WORK/job6.aac" channels)
pairs 5.1 1.0 "$BIN/wavesmithy" --convert "$WORK/six.ac3" --output "$WORK/job6.aac" --overwrite -- \
    ffmpeg -nostdin -v error -y -i "$WORK/six.ac3" -ac "$ch6" -c:a aac -b:a 440k "$WORK/ff6.aac"

echo "== aacenc on the ${LONG} s stereo WAV"
ffmpeg -v error -y -i "$WORK/stereo.ac3" -c:a pcm_s16le "$WORK/stereo.wav"
pairs "aacenc -threads 1" 1.0 "$BIN/aacenc" -if "$WORK/stereo.wav" -normal -threads 1 -of "$WORK/one.aac" -- \
    ffmpeg -nostdin -v error -y -i "$WORK/stereo.wav" -c:a aac -b:a 170k -cutoff 20500 "$WORK/ffw.aac"
one=$(seconds "$BIN/aacenc" -if "$WORK/stereo.wav" -normal -threads 1 -of "$WORK/one.aac")
all=$(seconds "$BIN/aacenc" -if "$WORK/stereo.wav" -normal -of "$WORK/all.aac")
echo "aacenc -threads 1 $one s, on $(nproc) threads $all s: speed-up $(ratio "$one" "$all")"
"$BIN/aacenc" -if "$WORK/stereo.wav" -normal -of "$WORK/all2.aac" >/dev/null
cmp -s "$WORK/all.aac" "$WORK/all2.aac" && echo "second run: the same bytes" || echo "second run: DIFFERENT bytes"
"$BIN/chunk_measure" "$WORK/stereo.wav" "$WORK/one.aac" "$WORK/all.aac" "$(nproc)"

echo "== joins of the stereo job against the same job in one part"
"$BIN/seamless_measure" settings "$CONF" 100000 temp "$TMPDIR/"
"$BIN/wavesmithy" --convert "$WORK/stereo.ac3" --output "$WORK/onepart.aac" --overwrite >/dev/null
"$BIN/tromvax" -core\( -input "$WORK/stereo.ac3" -output "$WORK/ref.wav" -2ch \) >/dev/null
"$BIN/seamless_measure" compare "$WORK/ref.wav" "$WORK/job.aac" "$WORK/onepart.aac" 256 2 "$rate"

echo "== joins of the 5.1 job against the same job in one part"
"$BIN/seamless_measure" settings "$CONF" 32 six temp "$TMPDIR/"
"$BIN/wavesmithy" --convert "$WORK/six.ac3" --output "$WORK/job6.aac" --overwrite >/dev/null
"$BIN/seamless_measure" settings "$CONF" 100000 six temp "$TMPDIR/"
"$BIN/wavesmithy" --convert "$WORK/six.ac3" --output "$WORK/onepart6.aac" --overwrite >/dev/null
"$BIN/tromvax" -core\( -input "$WORK/six.ac3" -output "$WORK/ref6.wav" -6chwav \) >/dev/null
"$BIN/seamless_measure" compare "$WORK/ref6.wav" "$WORK/job6.aac" "$WORK/onepart6.aac" 32 6 48000
