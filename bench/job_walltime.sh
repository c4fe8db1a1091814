#!/usr/bin/env bash
# The whole default job (`wavesmithy --convert`, stored design defaults: 256 s
# parts, stereo) on a generated 20-minute 48 kHz AC3, against a one-pass
# `ffmpeg -c:a aac -b:a 170k` of the same source: both wall times and their
# ratio (target at most 1.15), and the peak size of the job's temporary
# folder, polled while it runs, against the source size plus two parts' WAVs
# (the target). The tools run from a copy, so a rebuild cannot disturb them.
#   BIN_DIR=build/bin DURATION=1200 bash bench/job_walltime.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BIN_DIR=$(realpath "${BIN_DIR:-build/bin}")
DURATION=${DURATION:-1200}
work=$(mktemp -d)
poller=
cleanup() {
    [[ -n "$poller" ]] && kill "$poller" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/config" "$work/data" "$work/tmp" "$work/bin"
cp "$BIN_DIR"/{wavesmithy,tromvax,kardune,aacenc} "$work/bin/"
# A private settings home: the job runs with the design defaults, and its
# temporary folder (the system's temporary folder by default) is $work/tmp.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data TMPDIR=$work/tmp
now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg) before the runs (shared with other work)"
ffmpeg -hide_banner -loglevel error -y -f lavfi \
    -i "anoisesrc=c=pink:a=0.1:r=48000:d=$DURATION" -f lavfi -i "sine=f=440:r=48000:d=$DURATION" \
    -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=c0+0.2*c1|c1=c0-0.2*c1" -c:a ac3 -b:a 192k \
    "$work/src.ac3"
src_bytes=$(stat -c %s "$work/src.ac3")

# The temporary folder's size, every 0.2 s; the largest seen goes to a file.
(
    peak=0
    while :; do
        size=$(du -sb "$work/tmp" 2>/dev/null | cut -f1 || echo 0)
        if ((size > peak)); then
            peak=$size
            echo "$peak" >"$work/peak"
        fi
        sleep 0.2
    done
) &
poller=$!

t0=$(now)
"$work/bin/wavesmithy" --convert "$work/src.ac3" --output "$work/job.aac" --overwrite >"$work/job.txt"
t1=$(now)
kill "$poller" 2>/dev/null || true
wait "$poller" 2>/dev/null || true
poller=
load_job=$(cut -d' ' -f1-3 /proc/loadavg)
grep -q "Task Complete" "$work/job.txt" || { echo "the job failed:"; tail -20 "$work/job.txt"; exit 1; }

t2=$(now)
ffmpeg -hide_banner -loglevel error -y -i "$work/src.ac3" -c:a aac -b:a 170k "$work/ffmpeg.aac"
t3=$(now)

job=$(elapsed "$t0" "$t1")
ff=$(elapsed "$t2" "$t3")
rate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 "$work/job.aac")
channels=$(ffprobe -v error -select_streams a:0 -show_entries stream=channels -of csv=p=0 "$work/job.aac")
# A part's WAV: 256 s of 16-bit PCM at the output's rate and channels.
part_wav=$((256 * rate * channels * 2))
peak=$(cat "$work/peak" 2>/dev/null || echo 0)
left=$(find "$work/tmp" -type f | wc -l)

printf 'source: %d s stereo 48 kHz AC3, %d bytes; output %s Hz, %s channels\n' "$DURATION" "$src_bytes" "$rate" "$channels"
printf 'job (wavesmithy --convert, defaults): %8.2f s\n' "$job"
printf 'ffmpeg one pass (aac 170k):           %8.2f s\n' "$ff"
printf 'ratio job / ffmpeg:                   %8.2f (target at most 1.15)\n' \
    "$(awk -v a="$job" -v b="$ff" 'BEGIN { print a / b }')"
printf 'peak temporary folder size:           %8.1f MB\n' "$(awk -v p="$peak" 'BEGIN { print p / 1e6 }')"
printf 'source + two parts'"'"' WAVs:             %8.1f MB (target: the peak at most this)\n' \
    "$(awk -v s="$src_bytes" -v w="$part_wav" 'BEGIN { print (s + 2 * w) / 1e6 }')"
printf 'temporary files left: %d\n' "$left"
echo "load after the job: $load_job; now: $(cut -d' ' -f1-3 /proc/loadavg)"
