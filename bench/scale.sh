#!/usr/bin/env bash
# Whole pelmora-cli runs of the scale cases: time (hyperfine) and peak
# memory (/usr/bin/time's maximum resident set). Run from the source folder
# after building pelmora-cli and make_large_case; cases go to a temporary
# folder. Needs hyperfine (Debian package hyperfine).
# hpv and tii stand in for protein crystals (P1 cells of the size and atom
# count of 1hpv and 1tii) up to 2-theta 30 degrees with Cu Ka.
set -euo pipefail
BIN=${BIN:-build/bin}
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
for a in 60 120; do
  sed "s#<a>5.640200</a><b>5.640200</b><c>5.640200</c>#<a>$a</a><b>$a</b><c>$a</c>#" examples/NaCl.xml >"$DIR/nacl$a.xml"
done
"$BIN/make_large_case" "$DIR/large.xml"
"$BIN/make_large_case" "$DIR/cell2000.xml" 2000 40
"$BIN/make_large_case" "$DIR/hpv.xml" 9800 63.4 --hex 83.8
"$BIN/make_large_case" "$DIR/tii.xml" 34000 105.7 --hex 171.6
declare -A ARGS=([hpv]="--range 2 30 --source 'Cu Ka' --data-dir Data" [tii]="--range 2 30 --source 'Cu Ka' --data-dir Data")
CASES=(nacl60 nacl120 large cell2000 hpv tii)
for c in "${CASES[@]}"; do
  eval "/usr/bin/time -f '$c: %e s wall, %U s user, %M KB peak' '$BIN/pelmora-cli' calc '$DIR/$c.xml' ${ARGS[$c]:-} --reflections /dev/null"
done
COMMANDS=()
for c in "${CASES[@]}"; do COMMANDS+=("$BIN/pelmora-cli calc $DIR/$c.xml ${ARGS[$c]:-} --reflections /dev/null"); done
hyperfine --warmup 1 --runs "${RUNS:-3}" "${COMMANDS[@]}"
# Protein entries of Debian's pymol-data, when installed: HIV protease (1hpv,
# P 61, 9786 atoms in the cell) and 1tii (P 31 2 1, 34104 atoms), Cu Ka to
# 2-theta = 30 degrees.
PDB_RUNS=()
for f in /usr/share/pymol/data/tut/1hpv.pdb /usr/share/pymol/data/demo/1tii.pdb; do
  [ -f "$f" ] || { echo "$f absent (Debian package pymol-data): skipped"; continue; }
  args=(calc "$f" --data-dir Data --source "Cu Ka" --range 0.5 30 --reflections /dev/null)
  /usr/bin/time -f "$(basename "$f"): %e s wall, %U s user, %M KB peak" "$BIN/pelmora-cli" "${args[@]}"
  PDB_RUNS+=("$BIN/pelmora-cli calc $f --data-dir Data --source 'Cu Ka' --range 0.5 30 --reflections /dev/null")
done
if [ ${#PDB_RUNS[@]} -gt 0 ]; then
  hyperfine --runs "${RUNS:-3}" "${PDB_RUNS[@]}"
fi
