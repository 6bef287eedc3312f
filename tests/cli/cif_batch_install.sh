#!/bin/sh
# Command-line checks of the CIF import, the batch runs and the installation.
# Usage: cif_batch_install.sh convert|batch|install CLI SOURCE_DIR WORK_DIR [BUILD_DIR CMAKE]
set -eu
mode=$1 cli=$2 src=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"
export XDG_CONFIG_HOME="$work/config"
cifs="$src/tests/data/cif"

case $mode in
convert)
  # A converted CIF calculates as the CIF itself; of two structures in one
  # file the first by default, the other by --block (calc and convert; fit
  # opens its files the same way), each run naming the blocks it left.
  cat "$cifs/anatase.cif" "$cifs/rutile.cif" >two.cif
  "$cli" calc two.cif >first.txt 2>first.err
  "$cli" calc "$cifs/anatase.cif" | cmp - first.txt
  grep -q 'read data block "anatase"; the file also holds "rutile"' first.err
  "$cli" calc "$cifs/rutile.cif" >second.txt
  "$cli" convert two.cif --block RUTILE rutile.xml 2>/dev/null
  "$cli" calc rutile.xml | cmp - second.txt
  set +e
  "$cli" calc two.cif --block brookite >/dev/null 2>missing.err
  status=$?
  set -e
  test "$status" -eq 2
  grep -q '"brookite"; bloki pliku: "anatase", "rutile"' missing.err
  ;;
batch)
  # Three files at once give the bytes of three single runs; a broken file
  # among them is reported, the others are written, the status says so.
  printf 'data_broken\n_cell_length_a 4\n' >broken.cif
  set +e
  "$cli" calc "$cifs/anatase.cif" "$src/examples/NaCl.xml" broken.cif "$cifs/monoclinic-C.cif" \
    --out-dir out --pattern --profile Gauss -j 3 2>batch.err
  status=$?
  set -e
  test "$status" -eq 2
  grep -q 'broken.cif' batch.err
  for input in "$cifs/anatase.cif" "$src/examples/NaCl.xml" "$cifs/monoclinic-C.cif"; do
    stem=$(basename "$input"); stem=${stem%.*}
    "$cli" calc "$input" -o single.txt --pattern single-pattern.txt --profile Gauss
    cmp single.txt "out/$stem.reflections.txt"
    cmp single-pattern.txt "out/$stem.pattern.txt"
  done
  test ! -e out/broken.reflections.txt
  ;;
install)
  build=$5 cmake=$6
  "$cmake" --install "$build" --prefix "$work/prefix" >install.log
  for f in bin/pelmora bin/pelmora-cli lib/pelmora/Data/ions.xml lib/pelmora/Plugins/pearson7.so lib/pelmora/Plugins/pngformat.so \
           share/applications/pelmora.desktop share/icons/hicolor/scalable/apps/pelmora.svg \
           share/mime/packages/pelmora.xml; do
    test -e "prefix/$f" || { echo "missing $f"; exit 1; }
  done
  # Started through its link from elsewhere, the program finds its data and plug-ins.
  cd /
  "$work/prefix/bin/pelmora-cli" calc "$src/examples/NaCl.xml" --source "Mo Ka" | grep -q 'Ka1    2    0    0    14\.449'
  "$work/prefix/bin/pelmora-cli" plugins | grep -q '"Pearson VII"'
  # The Python package, where Debian's interpreter looks for this prefix,
  # finds the installed data (a CIF needs the ion tables) and plug-ins.
  if [ -d "$build/python/pelmora" ]; then
    site=$(/usr/bin/python3 -c 'import sys; print("lib/python%d.%d/dist-packages" % sys.version_info[:2])')
    PYTHONPATH="$work/prefix/$site" /usr/bin/python3 -c "
import sys, warnings, pelmora
warnings.simplefilter('ignore')
assert pelmora.__file__.startswith('$work/prefix/'), pelmora.__file__
assert 'Pearson VII' in pelmora.profiles()
assert len(pelmora.read('$src/tests/data/cif/rutile.cif').reflections()['h']) > 10
" || { echo "the installed Python package does not work"; exit 1; }
  fi
  ;;
esac
