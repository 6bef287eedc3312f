#!/usr/bin/env bash
# The core tests and the command-line tests under AddressSanitizer and
# UndefinedBehaviorSanitizer (GCC), and the threaded calculation under
# ThreadSanitizer (clang), each in a build folder of its own with only the
# targets they need; ccache keeps the rebuilds short.
# Usage: scripts/sanitize.sh [address|thread|all]   (default all)
#
# ThreadSanitizer takes clang and LLVM's OpenMP: the reflection search and
# the rating run on OpenMP threads, and GCC's libgomp synchronises them in
# ways ThreadSanitizer cannot see, so it would report races that are none.
# LLVM's runtime loads its archer tool, which tells ThreadSanitizer where
# OpenMP's barriers and tasks order the threads. Building without OpenMP
# would hide the very threads this run is for.
set -euo pipefail

WHAT="${1:-all}"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
JOBS="${PELMORA_JOBS:-2}"
COMMON=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_BUILD_GUI=OFF -DPELMORA_BUILD_PYTHON=OFF
        -DPELMORA_BUILD_BENCH=OFF)

stamp() { date +%s; }

address() {
  local build="${PELMORA_ASAN_BUILD:-$ROOT/build-asan}" t0
  t0=$(stamp)
  CC=gcc CXX=g++ cmake -S "$ROOT" -B "$build" "${COMMON[@]}" -DPELMORA_SANITIZE=address,undefined >/dev/null
  # Qt and libxml2 are not instrumented; leaks of their one-time set-up are
  # not ours (tests/sanitize/lsan.supp).
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitize/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # Set before the build, whose test discovery runs the instrumented programs.
  cmake --build "$build" -j "$JOBS" --target core_tests thread_tests pelmora-cli
  # The fetched round-robin pattern needs the network and a long fit; the
  # other command-line fits run.
  ctest --test-dir "$build" --output-on-failure -j "$JOBS" -E '^cli_refine_pbso4$'
  echo "address,undefined: $(( $(stamp) - t0 )) s"
}

thread() {
  local build="${PELMORA_TSAN_BUILD:-$ROOT/build-tsan}" t0
  t0=$(stamp)
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$build" "${COMMON[@]}" -DPELMORA_SANITIZE=thread >/dev/null
  cmake --build "$build" -j "$JOBS" --target thread_tests
  local archer
  archer="$(ls /usr/lib/llvm-*/lib/libarcher.so 2>/dev/null | tail -n 1)"
  [ -n "$archer" ] || { echo "LLVM's libarcher.so (libomp-14-dev) is missing"; return 1; }
  export OMP_TOOL_LIBRARIES="$archer"
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$ROOT/tests/sanitize/tsan.supp"
  # More threads than cores, so that they interleave.
  export OMP_NUM_THREADS="${OMP_NUM_THREADS:-4}"
  # The large cell on the runner's worker, its search, kernel and rating on
  # the OpenMP threads, and a run cancelled from outside.
  "$build/bin/thread_tests"
  echo "thread: $(( $(stamp) - t0 )) s"
}

case "$WHAT" in
  address) address ;;
  thread) thread ;;
  all) address && thread ;;
  *) echo "usage: $0 [address|thread|all]" >&2; exit 1 ;;
esac
echo "sanitizers: clean"
