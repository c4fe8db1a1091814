#!/usr/bin/env bash
# The whole default job on a generated 20-minute stereo 48 kHz AC3, against
# ffmpeg's own one-pass conversion in the same run: both wall times, their
# ratio, the share of the job spent in each step, and the front end's cost
# per tool run. Then each tool's peak resident memory on a two-hour source.
#   BIN_DIR=build/bin bash bench/job_speed.sh
#   DURATION=1200 LONG=7200 (seconds; LONG=0 skips the memory runs)
set -euo pipefail
cd "$(dirname "$0")/.."
BIN_DIR=$(realpath "${BIN_DIR:-build/bin}")
DURATION=${DURATION:-1200}
LONG=${LONG:-7200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data" "$work/tmp" "$work/replay"
# A private settings home: the job runs with the design defaults, and its
# temporary folder (the system's temporary folder by default) is $work/tmp.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data TMPDIR=$work/tmp
# The job finds the tools beside itself; the replay below finds them on PATH.
export PATH=$BIN_DIR:$PATH

gen() { # SECONDS OUTPUT
    ffmpeg -hide_banner -loglevel error -y -f lavfi \
        -i "anoisesrc=c=pink:a=0.1:r=48000:d=$1" -f lavfi -i "sine=f=440:r=48000:d=$1" \
        -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=c0+0.2*c1|c1=c0-0.2*c1" -c:a ac3 -b:a 192k "$2"
}
now() { echo "$EPOCHREALTIME"; }

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg) (shared with other work)"
echo "generating a ${DURATION} s stereo 48 kHz AC3 ..."
gen "$DURATION" "$work/src.ac3"

# The job, each printed line stamped as it arrives.
t0=$(now)
"$BIN_DIR/wavesmithy" --convert "$work/src.ac3" --output "$work/job.aac" --overwrite |
    while IFS= read -r line; do printf '%s\t%s\n' "$EPOCHREALTIME" "$line"; done >"$work/job.txt"
t1=$(now)
job=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')

t0=$(now)
ffmpeg -hide_banner -loglevel error -y -i "$work/src.ac3" -ac 2 -ar 44100 -c:a aac -b:a 170k "$work/ffmpeg.aac"
t1=$(now)
ff=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')

printf '\nwavesmithy --convert (default job): %8.2f s\n' "$job"
printf 'ffmpeg one pass (aac 170k, 44.1k):  %8.2f s\n' "$ff"
printf 'ratio job / ffmpeg:                 %8.2f (target at most 1.25)\n\n' \
    "$(awk -v a="$job" -v b="$ff" 'BEGIN { print a / b }')"

# Share of each step: the time from one status line to the next.
echo "share of the job per step:"
awk -F'\t' -v total="$job" '
    function step(s) {
        if (s ~ /^Finding maximal/) return "gain measurement (tromvax)"
        if (s ~ /^Extracting/) return "substream extraction (tromvax)"
        if (s ~ /^Splitting/) return "split (kardune)"
        if (s ~ /^Decoding part/) return "decode of the parts (tromvax)"
        if (s ~ /^Encoding part/) return "encode of the parts (aacenc)"
        if (s ~ /^Joining/) return "join (kardune)"
        if (s ~ /^Deleting/) return "clean-up"
        return ""
    }
    { k = step($2) }
    k != "" { if (cur != "") t[cur] += $1 - since; cur = k; since = $1; if (!(k in seen)) { seen[k] = 1; order[n++] = k } }
    END { if (cur != "") t[cur] += $1 - since
          for (i = 0; i < n; i++) printf "  %-32s %8.2f s %5.1f %%\n", order[i], t[order[i]], 100 * t[order[i]] / total }
' "$work/job.txt"

# The tools' own times: the job's command lines run again one by one, in the
# same order, straight from this script (the whole line as one argument, as
# the tools accept it); the job's list file is written again before the join.
echo
runs=0
own=0
list=$work/tmp/Kardune.lst
while IFS=$'\t' read -r _ line; do
    [[ $line == \"* ]] || continue
    prog=${line#\"}
    prog=${prog%%\"*}
    rest=${line#\"$prog\" }
    if [[ $rest == *"-join -type aac"* || $rest == *"-addriff"* ]]; then
        : >"$list"
        for p in "$work"/tmp/[0-9]*.aac; do printf '%s\r\n' "$p" >>"$list"; done
    fi
    a=$(now)
    "$prog" "$rest" >/dev/null 2>&1 || echo "replay failed: $line" >&2
    b=$(now)
    own=$(awk -v o="$own" -v a="$a" -v b="$b" 'BEGIN { printf "%.6f", o + b - a }')
    runs=$((runs + 1))
done <"$work/job.txt"
printf 'tool runs: %d, their own time together %.2f s\n' "$runs" "$own"
printf 'front end overhead per tool run: %.1f ms (job wall time minus the tools'"'"' own, per run; target at most 5 ms)\n' \
    "$(awk -v j="$job" -v o="$own" -v n="$runs" 'BEGIN { print 1000 * (j - o) / n }')"
rm -f "$work"/tmp/*
[ "$LONG" -gt 0 ] || exit 0

# Peak resident memory of each tool on a long source, running the job's own
# kinds of command on it: the gain measurement and a decode (tromvax), the
# split and the join (kardune), the encode (aacenc).
echo
echo "generating a ${LONG} s source for the memory figures ..."
gen "$LONG" "$work/long.ac3"
peak() { # LABEL PROGRAM ARGS...
    local label=$1
    shift
    /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>&1 || echo "$label failed" >&2
    printf '  %-28s peak %6.1f MB\n' "$label" \
        "$(awk -F': ' '/Maximum resident set size/ { print $2 / 1024 }' "$work/time.txt")"
}
T=$work/tmp
peak "tromvax gain measurement" "$BIN_DIR/tromvax" "-core( -input \"$work/long.ac3\" -output \"$T/w.wav\" -logfile $T/log -2chnothing ) -ota( -g max )"
peak "tromvax decode" "$BIN_DIR/tromvax" "-core( -input \"$work/long.ac3\" -output \"$T/w.wav\" -logfile $T/log -2ch ) -azid( -s surround -c normal -L -3db ) -ota( -g 0db )"
peak "aacenc -normal" "$BIN_DIR/aacenc" -if "$T/w.wav" -normal -of "$T/long.aac"
rm -f "$T/w.wav"
peak "kardune split (256 s parts)" "$BIN_DIR/kardune" "-core( -input \"$work/long.ac3\" -prefix $T/ -logfile $T/log -type ac3 -r -ending ) -split( 0 $(yes 256 | head -29 | tr '\n' ' ')) -profile( Wavesmithy v0.51 )"
rm -f "$T"/[0-9]*.ac3
printf '%s\r\n' "$T/long.aac" "$T/long.aac" >"$T/list.lst"
peak "kardune join (2 x ${LONG} s)" "$BIN_DIR/kardune" "-core( -input \"$T/list.lst\" -join -type aac -prefix \"$T/joined.aac\"  -logfilea $T/log ) -profile( Wavesmithy v0.51 )"
