#!/usr/bin/env bash
# compare_outputs.sh SRC BUILD OUT: the reflection lists (both lines, extinct too),
# pseudo-Voigt patterns and converted CIF/XML of every example, test CIF and
# cross-check structure, for byte-for-byte comparison between builds.
set -u
SRC=$1; B=$2; OUT=$3
mkdir -p "$OUT"
export XDG_CONFIG_HOME=$(mktemp -d) XDG_DATA_HOME=$(mktemp -d)
for f in "$SRC"/examples/*.xml "$SRC"/tests/data/cif/*.cif "$SRC"/tests/data/cif/*.xml "$SRC"/tests/data/xcheck/*.xml "$SRC"/examples/python/*.cif; do
  n=$(echo "$f" | sed "s|$SRC/||; s|/|_|g")
  "$B/bin/pelmora-cli" calc "$f" --ka2 --extinct -o "$OUT/$n.list" > /dev/null 2> "$OUT/$n.err"
  "$B/bin/pelmora-cli" calc "$f" --pattern "$OUT/$n.pat" --profile "pseudo Voigt" > /dev/null 2>> "$OUT/$n.err"
  "$B/bin/pelmora-cli" calc "$f" --source "Mo Ka" --range 5 60 -o "$OUT/$n.mo" > /dev/null 2>> "$OUT/$n.err"
  "$B/bin/pelmora-cli" convert "$f" "$OUT/$n.conv.cif" > /dev/null 2>> "$OUT/$n.err"
  "$B/bin/pelmora-cli" convert "$f" "$OUT/$n.conv.xml" > /dev/null 2>> "$OUT/$n.err"
done
echo "$(ls "$OUT" | wc -l) files in $OUT"
