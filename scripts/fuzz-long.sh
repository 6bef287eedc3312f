#!/usr/bin/env bash
# Runs every libFuzzer target for MINUTES minutes each, seeded with real
# files: the repository's examples, test data and reference files, and the
# CIFs and PDB entries of two Debian packages (libavogadro-data's crystals,
# from the Crystallography Open Database, public domain; pymol-data's PDB
# entries), fetched with apt-get download when they can be had.
# Every crash, timeout or out-of-memory input it finds is kept in
# tests/fuzz/regressions/<target>/, which scripts/fuzz-smoke.sh replays; add
# the ones worth keeping to git together with the fix (trim or minimise
# them first: build-fuzz/bin/fuzz_X -minimize_crash=1 -runs=10000 FILE).
# Usage: scripts/fuzz-long.sh [MINUTES per target, default 10] [TARGET...]
set -euo pipefail

MINUTES="${1:-10}"
shift || true
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${PELMORA_FUZZ_BUILD:-$ROOT/build-fuzz}"
JOBS="${PELMORA_JOBS:-2}"
SEEDS="${PELMORA_FUZZ_SEEDS:-$BUILD/seeds}"
REGRESSIONS="$ROOT/tests/fuzz/regressions"

ALL=(structure_file tolvo_input source_xml aparat_xml ions_xml izos_xml anomals_xml cif macromolecule measured)
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=("${ALL[@]}")

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_FUZZ=ON \
  -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target "${TARGETS[@]/#/fuzz_}"

# The Debian packages' files, once; without network the repository's own
# files seed the run alone.
debian="$SEEDS/debian"
if [ ! -e "$debian/.done" ]; then
  rm -rf "$debian" && mkdir -p "$debian"
  if (cd "$debian" && apt-get download libavogadro-data pymol-data >/dev/null 2>&1); then
    for deb in "$debian"/*.deb; do dpkg -x "$deb" "$debian/x"; done
    rm -f "$debian"/*.deb
    touch "$debian/.done"
  else
    echo "fuzz-long: libavogadro-data and pymol-data could not be downloaded; seeding from the repository only" >&2
  fi
fi

# Copies FILE into DIR under a name of its own, with PREFIX (bytes given as
# printf's escapes) before its contents.
seed() {
  local dir=$1 prefix=$2 file=$3
  local name
  name="$(basename "$file" | tr -c 'A-Za-z0-9._\n-' _)-$(printf '%s' "$file" | md5sum | cut -c1-8)"
  { printf "$prefix"; cat "$file"; } >"$dir/$name"
}

# The measured target's first byte picks the file name the format is
# guessed from, in the order of fuzz_measured.cpp's list; ten more, the
# same name packed.
measured_index() {
  case "${1,,}" in
    *.xy) echo 0 ;; *.raw) echo 1 ;; *.uxd) echo 2 ;; *.xrdml) echo 3 ;; *.rd) echo 5 ;;
    *.udf) echo 6 ;; *.cpi) echo 7 ;; *.csv) echo 8 ;; *.txt) echo 9 ;; *) echo 4 ;;
  esac
}

make_seeds() {
  local t=$1 dir=$2 f
  rm -rf "$dir" && mkdir -p "$dir"
  case "$t" in
    structure_file)
      for f in "$ROOT"/examples/*.xml "$ROOT"/tests/data/*/*.xml; do
        grep -q '<pelmora>' "$f" 2>/dev/null && seed "$dir" '' "$f"
      done ;;
    tolvo_input) for f in "$ROOT"/tests/data/*.dat; do seed "$dir" '' "$f"; done ;;
    source_xml) seed "$dir" '' "$ROOT/Data/source.xml" ;;
    aparat_xml) seed "$dir" '' "$ROOT/Data/aparat.xml" ;;
    ions_xml) seed "$dir" '' "$ROOT/Data/ions.xml" ;;
    izos_xml) seed "$dir" '' "$ROOT/Data/izos.xml" ;;
    anomals_xml) seed "$dir" '' "$ROOT/Data/anomals.xml" ;;
    cif)
      while IFS= read -r -d '' f; do seed "$dir" '' "$f"; done < <(find "$ROOT/tests/data" "$debian/x" -iname '*.cif' \
        ! -name 'chem_comp*' -print0 2>/dev/null) ;;
    macromolecule)
      # An even first byte reads the rest as PDB, an odd one as mmCIF.
      while IFS= read -r -d '' f; do
        grep -q '^CRYST1' "$f" && seed "$dir" 'P' "$f"
      done < <(find "$ROOT/tests/data" "$debian/x" \( -iname '*.pdb' -o -iname '*.ent' \) -print0 2>/dev/null)
      while IFS= read -r -d '' f; do
        grep -q '_atom_site.Cartn_x' "$f" && seed "$dir" 'M' "$f"
      done < <(find "$ROOT/tests/data" "$debian/x" -iname '*.cif' -print0 2>/dev/null) ;;
    measured)
      for f in "$ROOT"/tests/data/measured/*; do
        case "$f" in *.cif | *.md) continue ;; esac
        i=$(measured_index "$f")
        seed "$dir" "$(printf '\\%03o' "$i")" "$f"
        # Its start packed by gzip and by bzip2, short enough to stay whole
        # within -max_len: a packed file cut short is only refused.
        for pack in gzip bzip2; do
          packed="$dir/$(basename "$f").$pack"
          head -c 4000 "$f" | "$pack" -c >"$packed"
          seed "$dir" "$(printf '\\%03o' $((i + 10)))" "$packed"
          rm -f "$packed"
        done
      done ;;
  esac
  return 0
}

SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ROOT/tests/fuzz/lsan.supp}"

found=0
for t in "${TARGETS[@]}"; do
  make_seeds "$t" "$SEEDS/$t"
  args=(-max_total_time=$((MINUTES * 60)) -timeout=60 -rss_limit_mb=4096 -print_final_stats=1)
  case "$t" in
    tolvo_input) ;;
    cif) args+=(-dict="$ROOT/tests/fuzz/cif.dict") ;;
    measured) args+=(-detect_leaks=0) ;;
    *) args+=(-dict="$ROOT/tests/fuzz/xml.dict") ;;
  esac
  # Real files are long: room for a whole PDB or CIF header and its first
  # atoms; xylib's text reader is slow on long inputs under the sanitizer.
  case "$t" in
    cif | macromolecule) args+=(-max_len=65536) ;;
    measured) args+=(-max_len=4096) ;;
    *) args+=(-max_len=16384) ;;
  esac
  # The corpus grown stays in the build folder: the next run goes on from it.
  out="$SCRATCH/$t"
  mkdir -p "$BUILD/long-corpus/$t" "$out/artifacts"
  echo "== fuzz_$t: ${MINUTES} min from $(ls "$SEEDS/$t" | wc -l) real files"
  # Fork mode goes on after a crash, so that one run finds more than one.
  (cd "$out" && "$BUILD/bin/fuzz_$t" "${args[@]}" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
      -artifact_prefix="$out/artifacts/" "$BUILD/long-corpus/$t" "$SEEDS/$t" "$ROOT/tests/fuzz/corpus/$t" >"$out/log" 2>&1) || true
  grep -E '^#[0-9]+: cov:|stat::' "$out/log" | tail -n 1 || true
  shopt -s nullglob
  artifacts=("$out"/artifacts/*)
  shopt -u nullglob
  if [ ${#artifacts[@]} -gt 0 ]; then
    mkdir -p "$REGRESSIONS/$t"
    cp "${artifacts[@]}" "$REGRESSIONS/$t/"
    echo "fuzz_$t: ${#artifacts[@]} failing inputs kept in tests/fuzz/regressions/$t/"
    grep -E 'ERROR: AddressSanitizer|ERROR: libFuzzer|SUMMARY|deadly signal' "$out/log" | sort | uniq -c | head -n 10
    found=$((found + ${#artifacts[@]}))
  fi
done
echo "fuzz-long: $found failing inputs"
[ $found -eq 0 ]
