#!/usr/bin/env bash
# Builds Pelmora and runs every test. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
# The readers of outside files, briefly fuzzed from the seed corpus.
bash scripts/fuzz-smoke.sh 20000
# The core and command-line tests under the address, undefined-behaviour and
# thread sanitizers, each in a build folder of its own.
bash scripts/sanitize.sh
# The Debian packages only on request (PELMORA_TEST_DEB=1): building them is
# a second full build, with Debian's compiler flags.
if [ "${PELMORA_TEST_DEB:-0}" = 1 ]; then
  bash tests/package/check_deb.sh
fi
# Last, so that its summary closes the output.
ctest --test-dir build --output-on-failure -j"$(nproc)"
