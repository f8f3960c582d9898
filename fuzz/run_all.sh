#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ and runs each for a bounded time
# on its seed corpus, two at a time. Exits non-zero when a target finds a
# crash, a hang, a sanitizer report or a failed check.
#   bash fuzz/run_all.sh [seconds per target, default 30] [target ...]
# New inputs go to build-fuzz/work/<target>/ (never into the repository);
# reproducers of findings to build-fuzz/artifacts/<target>/.
set -u
seconds="${1:-30}"
shift || true
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QOR_FUZZ_BUILD:-$root/build-fuzz}"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(settings param_file needcalc run help numbers library); fi

mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
  -DQOR_FUZZ=ON -DQOR_BENCH=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 --target qor_fuzz_all || exit 1

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"

run_one() {
  local t="$1"
  local work="$build/work/$t" artifacts="$build/artifacts/$t/" log="$build/logs/$t.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  local dict=()
  [ -f "$root/fuzz/dict/$t.dict" ] && dict=(-dict="$root/fuzz/dict/$t.dict")
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -max_len=4200 -print_final_stats=1 -artifact_prefix="$artifacts" "${dict[@]}" \
    "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1
  local status=$?
  local execs
  execs="$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')"
  if [ $status -eq 0 ]; then
    echo "fuzz $t: ok, ${execs:-?} executions in ${seconds}s"
  else
    echo "fuzz $t: FINDING (status $status), see $log and $artifacts"
    tail -n 60 "$log"
  fi
  return $status
}

failed=0
running=0
for t in "${targets[@]}"; do
  if [ $running -ge 2 ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [ $running -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done

if [ $failed -ne 0 ]; then
  echo "fuzzing found problems"
  exit 1
fi
echo "fuzzing: every target ran ${seconds}s without a finding"
