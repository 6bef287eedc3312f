#!/usr/bin/env bash
# Real data written by others, taken from Debian's packages for the
# refinement's tests: the Rietveld round robin's PbSO4 patterns (R. J. Hill,
# J. Appl. Cryst. 25 (1992) 589), X-ray and neutron, as objcryst-fox ships
# them, and anglesite from libavogadro-data (COD 9004484). Only the data
# files are kept. Usage: fetch-test-data.sh DIR; exit 77 when the packages
# cannot be had (no network), which the tests take for "skipped".
set -euo pipefail
dest=$1
mkdir -p "$dest"
cd "$dest"
[ -s xray.dat ] && [ -s neutron.dat ] && [ -s PbSO4-Anglesite.cif ] && exit 0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$tmp" && apt-get download objcryst-fox libavogadro-data >/dev/null 2>&1) || exit 77
for deb in "$tmp"/*.deb; do dpkg -x "$deb" "$tmp/x"; done
example=$tmp/x/usr/share/doc/objcryst-fox/example/tutorial-pbso4
zcat "$example/xray.dat.gz" >xray.dat.part && mv xray.dat.part xray.dat
zcat "$example/neutron.dat.gz" >neutron.dat.part && mv neutron.dat.part neutron.dat
cp "$tmp/x/usr/share/avogadro2/crystals/sulfates/PbSO4-Anglesite.cif" PbSO4-Anglesite.cif
