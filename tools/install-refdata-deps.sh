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

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq -o DPkg::Lock::Timeout=300
  $SUDO apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
fi
