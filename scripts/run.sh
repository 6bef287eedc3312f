#!/usr/bin/env bash
# Builds Pelmora and runs it on a structure (default: examples/NaCl.xml).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
exec ./build/bin/pelmora-cli calc "${1:-examples/NaCl.xml}"
