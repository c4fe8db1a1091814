#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz) with clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer in a build folder of their own and runs each
# target in turn for a given time, then prints per target the executions,
# the coverage and whether anything was found.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target: the first argument, else $FUZZ_SECONDS, else 120.
# TARGET: names from tests/fuzz (command_line, settings, ...); all by default.
# $FUZZ_BUILD_DIR: the build folder (build-fuzz). Inputs that reach new code
# are kept in $FUZZ_BUILD_DIR/fuzz-corpus/TARGET (the seed corpus in the
# source tree is read, never written); crashes, leaks and time-outs land in
# $FUZZ_BUILD_DIR/fuzz-findings/TARGET/, with each run's log. $FUZZ_TMPDIR:
# where targets write their scratch files (/dev/shm when there is one).
# Exits 1 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${FUZZ_SECONDS:-120}
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
build=${FUZZ_BUILD_DIR:-build-fuzz}
case $build in /*) ;; *) build=$root/$build ;; esac

all=(command_line span_note part_comment wav_header aac_headers log_scan settings drop_list disc_list)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
for t in "${targets[@]}"; do
  [ -d "tests/fuzz/corpus/$t" ] || { echo "fuzz.sh: no fuzz target $t (known: ${all[*]})" >&2; exit 2; }
done

# clang and libFuzzer's runtime, for this build only.
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  bash scripts/setup.sh --fuzz
fi

mkdir -p "$build"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVESMITHY_FUZZ=ON >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
for t in "${targets[@]}"; do
  echo "== building fuzz_$t"
  cmake --build "$build" --target "fuzz_$t" -j"${FUZZ_JOBS:-2}" >"$build/fuzz_$t.build.log" 2>&1 ||
    { tail -40 "$build/fuzz_$t.build.log"; exit 1; }
done

# Targets that read files write them to a scratch folder of their own under
# $TMPDIR: memory-backed where the machine has /dev/shm, which is much faster.
if [ -z "${FUZZ_TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  FUZZ_TMPDIR=/dev/shm
fi
[ -z "${FUZZ_TMPDIR:-}" ] || export TMPDIR=$FUZZ_TMPDIR

# AddressSanitizer keeps every distinct allocation stack for its reports;
# over millions of inputs through Qt that store alone grows by gigabytes and
# trips the memory limit. Short allocation stacks keep it flat; run a
# finding's input through its program again (build-fuzz/fuzz/fuzz_TARGET
# FILE) for full stacks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=2}

summary=()
found=0
for t in "${targets[@]}"; do
  corpus=$build/fuzz-corpus/$t
  findings=$build/fuzz-findings/$t
  mkdir -p "$corpus" "$findings"
  log=$findings/run.log
  echo "== fuzzing $t for $seconds s"
  set +e
  # One target at a time on one process: the machine is shared.
  # A unit that runs 10 s or longer counts as a hang; more than 2 GB of
  # memory as unbounded.
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" "$corpus" "$root/tests/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  # libFuzzer's last status line ("#N DONE cov: C ft: F corp: ...") and its final stats.
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  added=$(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
  status=clean
  if [ $rc -ne 0 ]; then
    found=1
    status="FOUND (exit $rc): $(grep -m1 -E 'ERROR: |runtime error|fuzz check failed|Test unit written' "$log" || echo 'see log')"
  fi
  line=$(printf '%-13s execs %-9s (%s/s)  cov %-5s ft %-6s corpus %-10s new %-5s rss %s MB  %s' \
    "$t" "${execs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "${added:-?}" "${rss:-?}" "$status")
  echo "$line"
  summary+=("$line")
done

echo
echo "== summary ($seconds s per target; logs and findings in $build/fuzz-findings/)"
printf '%s\n' "${summary[@]}"
exit $found
