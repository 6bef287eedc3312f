#!/usr/bin/env bash
# Installs everything Pelmora needs to build, test and run, from Debian's
# packages. Safe to run again: it does nothing when all is there already.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build ccache pkg-config
  libxml2-dev libcli11-dev
  # CIF import: gemmi is header-only and declares none of what it needs.
  gemmi-dev tao-pegtl-dev zlib1g-dev libstb-dev
  # Real protein entries (1hpv, 1tii) for the PDB import's test and the scale benchmark.
  pymol-data
  # Finding the space group of a structure given as a whole cell.
  libsymspg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # libFuzzer and the sanitizers' runtime for scripts/fuzz-smoke.sh; clang
  # only recommends it, and recommends are not installed here.
  clang libclang-rt-dev
  # LLVM's OpenMP for the ThreadSanitizer build of scripts/sanitize.sh.
  libomp-14-dev
  qt6-base-dev libqt6opengl6-dev qt6-svg-dev qt6-translations-l10n
  # lrelease makes the English translation; lupdate checks it is complete.
  qt6-l10n-tools
  # The chart's metafile export (EMF records) and the printing tests, which
  # read the printed PDF with pdftotext. Qt's print support is in qt6-base-dev.
  libuemf-dev poppler-utils
  # f' and f'' computed for radiation sources that no table covers.
  libxrl-dev
  # Measured patterns: xylib reads them, Eigen's Levenberg-Marquardt fits to
  # them; compressed ones are unpacked with zlib and libbzip2 first.
  libxy-dev libeigen3-dev libbz2-dev
  libgl-dev libglu1-mesa-dev libpng-dev
  xvfb xauth libgl1-mesa-dri fonts-dejavu-core
  # Trying the windows by hand under Xvfb as a user would (keys, clicks).
  xdotool
  locales
  # tools/include_graph.py, which a test runs over the source folders.
  python3
  # The Python module, its tests and examples (Dask, matplotlib).
  pybind11-dev python3-dev python3-numpy python3-pytest python3-dask python3-distributed python3-matplotlib
)

bash "$(dirname "$0")/apt-install.sh" "${PKGS[@]}"

# Tests check that numbers keep their decimal point under a locale whose
# separator is a comma: make sure one exists.
if ! locale -a 2>/dev/null | grep -qi '^pl_PL\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO localedef -i pl_PL -f UTF-8 pl_PL.UTF-8 || echo "warning: could not generate pl_PL.UTF-8" >&2
fi
