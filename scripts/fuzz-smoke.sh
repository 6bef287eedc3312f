#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer) in their own build
# folder and runs each briefly from the seed corpus in tests/fuzz/corpus.
# New inputs go to a scratch folder; the corpus in the repository is only
# read. Then each target runs once on every input in
# tests/fuzz/regressions/<target>/, the inputs that made it fail before.
# Usage: scripts/fuzz-smoke.sh [runs per target, default 20000]
# A fixed seed and a fixed number of runs make the smoke repeatable: CI must
# not turn red by chance. Long runs: see tests/fuzz/README.md.
set -euo pipefail

RUNS_PER_TARGET="${1:-20000}"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${PELMORA_FUZZ_BUILD:-$ROOT/build-fuzz}"
JOBS="${PELMORA_JOBS:-2}"

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_FUZZ=ON \
  -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=OFF >/dev/null

TARGETS=(structure_file tolvo_input source_xml aparat_xml ions_xml izos_xml anomals_xml cif macromolecule measured)
cmake --build "$BUILD" -j "$JOBS" --target "${TARGETS[@]/#/fuzz_}"

SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT
# Qt and libxml2 are not instrumented; leaks of their one-time set-up are not ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
# Nor are the leaks inside xylib (tests/fuzz/lsan.supp).
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ROOT/tests/fuzz/lsan.supp}"

status=0
for t in "${TARGETS[@]}"; do
  mkdir -p "$SCRATCH/$t"
  dict=()
  [ "$t" != tolvo_input ] && [ "$t" != cif ] && [ "$t" != measured ] && dict=(-dict="$ROOT/tests/fuzz/xml.dict")
  [ "$t" = cif ] && dict=(-dict="$ROOT/tests/fuzz/cif.dict")
  # xylib leaks on most malformed files; checking each input for leaks
  # would then cost a heap scan per run. The exit check still runs. Its text
  # reader runs slowly under AddressSanitizer, on some long mutated inputs
  # for minutes: a fortieth of the runs, shorter inputs, and a cap on the
  # whole run (checked between inputs, so it ends the smoke cleanly).
  runs="$RUNS_PER_TARGET"
  maxlen=4096
  [ "$t" = measured ] && dict=(-detect_leaks=0 -max_total_time=120) && runs=$(( RUNS_PER_TARGET / 40 )) && maxlen=1024
  echo "== fuzz_$t (${runs} runs)"
  if ! (cd "$SCRATCH" && "$BUILD/bin/fuzz_$t" "${dict[@]}" -runs="$runs" -seed=1 \
        -max_len="$maxlen" -print_final_stats=1 "$SCRATCH/$t" "$ROOT/tests/fuzz/corpus/$t" 2>"$SCRATCH/$t.log"); then
    tail -n 40 "$SCRATCH/$t.log"
    echo "fuzz_$t FAILED"
    status=1
  else
    grep -E 'stat::number_of_executed_units' "$SCRATCH/$t.log" || true
  fi
  # The inputs that once failed (scripts/fuzz-long.sh keeps them), each run
  # once as it is, whatever its length; one that hangs again fails after
  # ten seconds instead of holding up the smoke.
  shopt -s nullglob
  kept=("$ROOT/tests/fuzz/regressions/$t"/*)
  shopt -u nullglob
  [ ${#kept[@]} -eq 0 ] && continue
  echo "== fuzz_$t: ${#kept[@]} regression inputs"
  if ! (cd "$SCRATCH" && "$BUILD/bin/fuzz_$t" "${dict[@]}" -timeout=10 "${kept[@]}" >"$SCRATCH/$t.replay.log" 2>&1); then
    tail -n 40 "$SCRATCH/$t.replay.log"
    echo "fuzz_$t FAILED on a regression input"
    status=1
  fi
done
[ $status -eq 0 ] && echo "fuzz smoke: all targets passed"
exit $status
