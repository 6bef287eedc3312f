#!/usr/bin/env bash
# Installs the Debian packages that tools/make_refdata.py needs to regenerate
# Data/ (and that tools/crosscheck_cctbx.py and tools/make_xcheck_structures.py
# use). Pelmora itself does not use Python: the generated files are committed.
# Safe to run again: it does nothing when all is there already.
set -euo pipefail

PKGS=(
  python3          # /usr/bin/python3, the interpreter Debian's modules belong to
  python3-cctbx    # IT Vol. C form factors, Sears scattering lengths, Sasaki f', f''
  python3-xraydb   # Chantler f', f''
  libncrystal1     # isotope scattering lengths (read through its C interface)
)

bash "$(dirname "$0")/../scripts/apt-install.sh" "${PKGS[@]}"
