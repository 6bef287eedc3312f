#!/usr/bin/env bash
# pelmora-cli calc --chart: each picture format by its extension, and an
# unknown extension refused with status 1 before anything is written.
# Usage: cli_chart.sh PELMORA-CLI STRUCTURE OUTPUT-FOLDER
set -u
cli="$1" structure="$2" out="$3"
mkdir -p "$out"
rm -f "$out"/chart.*
fail() { echo "FAIL: $*"; exit 1; }

for ext in png svg pdf emf; do
  "$cli" calc "$structure" --chart "$out/chart.$ext" --profile "pseudo Voigt" --descriptions --size 1000x700 ||
    fail "$ext: exit status $?"
done
[ "$(head -c 8 "$out/chart.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "png signature"
grep -q '<svg' "$out/chart.svg" || fail "svg element"
[ "$(head -c 5 "$out/chart.pdf")" = "%PDF-" ] || fail "pdf signature"
# EMR_HEADER first, " EMF" at byte 40.
[ "$(head -c 4 "$out/chart.emf" | od -An -tx1 | tr -d ' ')" = 01000000 ] || fail "emf header record"
[ "$(dd if="$out/chart.emf" bs=1 skip=40 count=4 2>/dev/null)" = " EMF" ] || fail "emf signature"

"$cli" calc "$structure" --chart "$out/chart.bmp"
[ $? -eq 1 ] || fail "unknown extension not refused with status 1"
[ ! -e "$out/chart.bmp" ] || fail "a file was written for the unknown extension"
"$cli" calc "$structure" --chart "$out/chart.png" --size 20x20
[ $? -eq 1 ] || fail "a chart too small was not refused"
echo "all chart formats written"
