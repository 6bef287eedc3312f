#!/usr/bin/env bash
# Builds Pelmora and starts the desktop application on one or more
# structures (default: examples/NaCl.xml), each calculated once open, so
# that the first thing to see is a diffractogram.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display to show the window on; try: xvfb-run -a $0 $*" >&2
  exit 1
fi
[ $# -gt 0 ] || set -- examples/NaCl.xml
exec ./build/bin/pelmora --calculate "$@"
